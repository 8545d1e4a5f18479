// A park machine streams its log to a headless instance: the instance asks
// it by rcon (--stream-logs), the machine sends its lines over UDP, and the
// events come out as JSON lines. A stranger's datagram to the same port
// does not; on a clean exit the machine is asked to stop. A machine that
// stops answering runs the --on-change command, and so does an rcon attack
// the server logs. A restarted machine, which forgets where it streamed, is
// asked again.
#include "support/LoopbackPorts.h"
#include "support/SimulatedPark.h"
#include "support/TestBytes.h"

#include <QElapsedTimer>
#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

namespace {

QStringList oneServer(bool rcon)
{
    QStringList arguments{QStringLiteral("--servers"), QStringLiteral("1"), QStringLiteral("--port"),
                          QStringLiteral("0")};
    if (rcon)
        arguments << QStringLiteral("--rcon") << QStringLiteral("secret");
    return arguments;
}

QStringList streaming(quint16 logPort)
{
    return {QStringLiteral("--rcon"), QStringLiteral("secret"), QStringLiteral("--log-listen"),
            loopbackAt(logPort), QStringLiteral("--stream-logs")};
}

// The JSON lines printed since the last call, whole lines only.
QList<QJsonObject> newLines(QProcess& process, QByteArray& pending)
{
    pending += process.readAllStandardOutput();
    QList<QJsonObject> lines;
    qsizetype end = 0;
    while ((end = pending.indexOf('\n')) >= 0) {
        lines << QJsonDocument::fromJson(pending.left(end)).object();
        pending.remove(0, end + 1);
    }
    return lines;
}

// The one line the --on-change command wrote, once the program is gone.
QJsonObject onlyAlert(QProcess& quorvane, const QString& path)
{
    quorvane.kill();
    quorvane.waitForFinished(5000);
    const QList<QByteArray> lines = fileBytes(path).trimmed().split('\n');
    return lines.size() == 1 ? QJsonDocument::fromJson(lines.front()).object() : QJsonObject();
}

} // namespace

class TestLogStream : public QObject
{
    Q_OBJECT

private slots:
    // Then the server restarts: it forgets where it streamed, and once its
    // rcon comes back it is asked again and its lines come again.
    void streamedEventsComeOutAsJsonAndAfterARestart()
    {
        SimulatedPark park;
        QVERIFY2(park.start(oneServer(true)), qPrintable(park.errorString()));
        const quint16 logPort = unusedUdpPort();
        const QString server = loopbackAt(park.serverPorts()[0]);
        QProcess quorvane;
        quorvane.start(QStringLiteral(QUORVANE_BINARY),
                       QStringList{QStringLiteral("--headless"), QStringLiteral("--json"),
                                   QStringLiteral("--server"), server} +
                           streaming(logPort));
        QVERIFY(quorvane.waitForStarted(10000));

        QUdpSocket stranger;
        QVERIFY(stranger.bind(QHostAddress::LocalHost, 0));
        std::map<QString, QList<QJsonObject>> events; // by event name
        QByteArray pending;
        // The park's server greets each new stream (each "log on") with this line.
        int greetings = 0;
        const auto readEvents = [&] {
            for (const QJsonObject& line : newLines(quorvane, pending)) {
                if (line.contains(QLatin1String("event")))
                    events[line.value(QLatin1String("event")).toString()].append(line);
                if (line.value(QLatin1String("text")).toString() == QLatin1String("hello from the park"))
                    ++greetings;
            }
            // Once the stream runs, a stranger claims a line of its own.
            if (!events.empty())
                stranger.writeDatagram(
                    "\xFF\xFF\xFF\xFFlog L 10/05/2024 - 14:22:01: \"x<1><STEAM_0:0:1><CT>\" say "
                    "\"spoofed\"\n",
                    QHostAddress::LocalHost, logPort);
            return events.count(QStringLiteral("say")) > 0 && events.count(QStringLiteral("map")) > 0 &&
                   events[QStringLiteral("connect")].size() >= 2;
        };
        QTRY_VERIFY_WITH_TIMEOUT(readEvents(), 30000);
        // A little longer, for the stranger's datagrams to be (not) printed.
        QTest::qWait(1500);
        readEvents();
        QCOMPARE(greetings, 1);

        QVERIFY(ParkProbe(park.serverPorts()[0]).control("sim_restart"));
        QElapsedTimer sinceRestart;
        sinceRestart.start();
        // Rcon is refused once (the old challenge) and regained within a
        // poll cycle of six seconds; the stream is asked for again at once.
        QTRY_VERIFY_WITH_TIMEOUT((readEvents(), greetings == 2), 12000);
        qInfo("lines again %lld ms after the restart", static_cast<long long>(sinceRestart.elapsed()));

        // A clean exit asks the server to stop streaming here.
        quorvane.terminate();
        QVERIFY(quorvane.waitForFinished(5000));
        const QByteArray history =
            ParkProbe(park.serverPorts()[0]).control("sim_history").value_or(QByteArray());
        const QByteArray target = "127.0.0.1 " + QByteArray::number(logPort) + '\n';
        for (const QByteArray& command :
             {"logaddress_add " + target, QByteArray("\nlog on\n"), "logaddress_del " + target})
            QVERIFY2(history.contains(command), history.constData());

        const QJsonObject say = events[QStringLiteral("say")].front();
        QCOMPARE(say.value(QLatin1String("text")).toString(), QStringLiteral("hello from the park"));
        QVERIFY(say.value(QLatin1String("steamid")).toString().startsWith(QLatin1String("STEAM_0:")));
        for (const auto& [name, list] : events) {
            for (const QJsonObject& event : list) {
                QCOMPARE(event.value(QLatin1String("object")).toString(), server);
                QVERIFY(event.value(QLatin1String("text")).toString() != QLatin1String("spoofed"));
            }
        }
    }

    void downMachineRunsOnChange()
    {
        const QString tee = QStandardPaths::findExecutable(QStringLiteral("tee"));
        QVERIFY(!tee.isEmpty());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("alerts with space.txt"));
        SimulatedPark park;
        QVERIFY2(park.start(oneServer(false)), qPrintable(park.errorString()));
        const QString server = loopbackAt(park.serverPorts()[0]);
        QProcess quorvane;
        // Quotes group a path with a space; no shell is involved.
        quorvane.start(QStringLiteral(QUORVANE_BINARY),
                       {QStringLiteral("--headless"), QStringLiteral("--json"), QStringLiteral("--server"),
                        server, QStringLiteral("--on-change"),
                        QStringLiteral("%1 -a \"%2\"").arg(tee, path)});
        QVERIFY(quorvane.waitForStarted(10000));
        QByteArray printed;
        QTRY_VERIFY_WITH_TIMEOUT((printed += quorvane.readAllStandardOutput()).contains("\"Monitor only\""),
                                 15000);
        // Coming up at the start is no news.
        QTest::qWait(1500);
        QVERIFY(!QFile::exists(path));

        QVERIFY(ParkProbe(park.serverPorts()[0]).control("sim_silence 1"));
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(path).endsWith('\n'), 25000);
        const QJsonObject report = onlyAlert(quorvane, path);
        QCOMPARE(report.value(QLatin1String("object")).toString(), server);
        QCOMPARE(report.value(QLatin1String("change")).toString(), QStringLiteral("down"));
        QCOMPARE(report.value(QLatin1String("status")).toString(), QStringLiteral("Timeout"));
    }

    void rconAttackRunsOnChange()
    {
        const QString tee = QStandardPaths::findExecutable(QStringLiteral("tee"));
        QVERIFY(!tee.isEmpty());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("attacks.txt"));
        SimulatedPark park;
        QVERIFY2(park.start(oneServer(true)), qPrintable(park.errorString()));
        const QString server = loopbackAt(park.serverPorts()[0]);
        QProcess quorvane;
        quorvane.start(QStringLiteral(QUORVANE_BINARY),
                       QStringList{QStringLiteral("--headless"), QStringLiteral("--server"), server} +
                           streaming(unusedUdpPort()) +
                           QStringList{QStringLiteral("--on-change"), QStringLiteral("%1 -a %2").arg(tee, path)});
        QVERIFY(quorvane.waitForStarted(10000));
        // Wrong passwords, one at a time, until the server's log has told of enough.
        ParkProbe attacker(park.serverPorts()[0]);
        int sent = 0;
        QTRY_VERIFY_WITH_TIMEOUT(
            (attacker.rcon("guess" + QByteArray::number(++sent), "status"), fileBytes(path).endsWith('\n')), 30000);
        QTest::qWait(500);
        const QJsonObject report = onlyAlert(quorvane, path);
        QCOMPARE(report.value(QLatin1String("change")).toString(), QStringLiteral("rcon-attack"));
        QCOMPARE(report.value(QLatin1String("object")).toString(), server);
        QCOMPARE(report.value(QLatin1String("source")).toString(), QStringLiteral("127.0.0.1"));
        QCOMPARE(report.value(QLatin1String("refused")).toInt(), 6);
    }
};

QTEST_GUILESS_MAIN(TestLogStream)
#include "tst_logstream.moc"
