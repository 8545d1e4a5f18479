// The simulated park as only a raw client sees it; what the console's objects
// prove against it end to end is left to tests/integration.
#include "support/SimulatedPark.h"

#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <csignal>

namespace {

using Kind = SimulatedPark::Kind;

const QByteArray kPrefix("\xFF\xFF\xFF\xFF", 4);

const auto withNul = [](const char* text) { return QByteArray(text) + '\0'; };
const auto address = [](quint16 port) { return "127.0.0.1:" + QByteArray::number(port); };
const auto withoutColourCodes = [](const QByteArray& name) { // byte-wise: a cut name stays as it is
    return QString::fromLatin1(name).remove(QRegularExpression(QStringLiteral("\\^[0-9]"))).toLatin1();
};

} // namespace

class TestSim : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    SimulatedPark park; // listed as in its file: two servers, a proxy, two hub managers
    quint16 oldServer = 0;
    quint16 cupHubs = 0;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QFile config(dir.filePath(QStringLiteral("park.json")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(R"({"seed": 7,
            "servers": [{"players": 5, "max_players": 32, "moves": false},
                        {"modern_only": true, "challenge": true, "moves": false}],
            "proxies": [{"style": "current", "framing": "backtick", "moves": false}],
            "hubs": [{"moves": false, "hubs": [{"num": 2, "desc": "Final \\ stage", "parent": "server:1"}]},
                     {"hubs": [], "bad_password": "silent", "moves": false}]})");
        config.close();
        QVERIFY2(park.start({QStringLiteral("--config"), config.fileName(), QStringLiteral("--port"),
                             QStringLiteral("0"), QStringLiteral("--rcon"), QStringLiteral("pw")}),
                 qPrintable(park.errorString()));
        oldServer = park.serverPorts().value(0);
        cupHubs = park.hubPorts().value(0);
    }

    // --port 0: a port for each machine, servers listed first; rcon challenge
    // numbers of ten digits, kept, some beyond a signed 32-bit number.
    void listingAndChallengeNumbers()
    {
        QList<Kind> kinds;
        QSet<quint16> ports;
        bool aboveSignedRange = false;
        for (const auto& [kind, port] : park.machines()) {
            kinds.append(kind);
            ports.insert(port);
            if (kind == Kind::Hub)
                continue; // rcon without a challenge
            const QByteArray challenge = ParkProbe(port).rconChallenge().value_or(QByteArray());
            QCOMPARE(challenge.size(), 10);
            QVERIFY(challenge.toULongLong() <= 4294967295ull);
            QCOMPARE(ParkProbe(port).rconChallenge(), challenge);
            aboveSignedRange = aboveSignedRange || challenge.toULongLong() > 2147483647ull;
        }
        QCOMPARE(kinds, (QList<Kind>{Kind::Server, Kind::Server, Kind::Proxy, Kind::Hub, Kind::Hub}));
        QCOMPARE(ports.size(), 5);
        QVERIFY(aboveSignedRange);
    }

    void longOutputSplitAtLineEnds()
    {
        ParkProbe probe(oldServer);
        QVERIFY(probe.control("sim_players 32"));
        const auto replies = probe.rconReplies("pw", "status");
        QVERIFY(replies && replies->size() >= 2);
        QString text;
        for (const QByteArray& reply : *replies) {
            QVERIFY(reply.size() <= 1400);
            QVERIFY(reply.startsWith(kPrefix + 'l') && reply.endsWith(QByteArray("\n") + '\0'));
            text += QString::fromUtf8(reply.mid(5, reply.size() - 6));
        }
        // every row whole: #, slot, quoted name, ...
        const QRegularExpression row(QStringLiteral("^# ?\\d+ \".*\" \\d+ "),
                                     QRegularExpression::MultilineOption);
        QCOMPARE(text.count(row), 32);
        QVERIFY(text.endsWith(QStringLiteral("\n32 users\n")));
    }

    // A datagram from a stray socket: its answer or none; the machine answers on.
    void strayDatagrams_data()
    {
        QTest::addColumn<int>("machine"); // in listing order; -1: every machine, -2: all but hub managers
        QTest::addColumn<QByteArray>("datagram"); // CHALLENGE: the machine's rcon challenge
        QTest::addColumn<QByteArray>("answer");   // how it ends; empty: none
        const auto ignored = [](const char* name, const QByteArray& datagram) {
            QTest::addRow("%s", name) << -1 << datagram << QByteArray();
        };
        ignored("empty", QByteArray());
        ignored("three bytes of the prefix", QByteArray(3, '\xFF'));
        ignored("prefix alone", kPrefix);
        ignored("wrong prefix", "\xFF\xFF\xFF\xFE" + withNul("details"));
        ignored("info query cut short", kPrefix + "TSource Eng");
        ignored("players query, short challenge", kPrefix + "U\x01\x02");
        ignored("rcon word alone", kPrefix + "rcon");
        ignored("oversized", kPrefix + QByteArray(3000, 'x'));
        ignored("binary noise", kPrefix + QByteArray::fromHex("00ff7f80c3a9e2").repeated(200));
        ignored("hub number not a number", kPrefix + withNul("gethubinfo two"));
        ignored("hub number too large", kPrefix + withNul("gethubinfo 99999999999999999999"));
        // refused, never run, by game servers and proxies
        const auto refused = [](const char* name, const QByteArray& datagram) {
            QTest::addRow("%s", name) << -2 << datagram << withNul("Bad rcon_password.\n");
        };
        refused("rcon without challenge", kPrefix + "rcon \"pw\" status");
        refused("rcon challenge too large", kPrefix + "rcon 99999999999 \"pw\" status");
        refused("rcon password not closed", kPrefix + "rcon 1 \"pw");
        refused("rcon password only", kPrefix + "rcon \"pw\"");
        QTest::addRow("modern-only: details") << 1 << kPrefix + withNul("details") << QByteArray();
        QTest::addRow("modern-only: players") << 1 << kPrefix + withNul("players") << QByteArray();
        QTest::addRow("current proxy: wrong password")
            << 2 << kPrefix + withNul("rcon CHALLENGE \"wrong\" status") << QByteArray();
        QTest::addRow("silent manager: wrong password")
            << 4 << kPrefix + withNul("rcon \"wrong\" gtv_follow") << QByteArray();
        QTest::addRow("manager: no such hub") << 3 << kPrefix + withNul("gethubinfo 1") << QByteArray();
        QTest::addRow("server: wrong challenge, never asked")
            << 0 << kPrefix + withNul("rcon 1 \"pw\" status")
            << kPrefix + withNul("9No challenge for your address.\n");
        QTest::addRow("manager: the servers' rcon form")
            << 3 << kPrefix + withNul("rcon 1234567890 \"pw\" status")
            << kPrefix + withNul("print\nBad rcon_password.\n");
    }

    void strayDatagrams()
    {
        QFETCH(int, machine);
        QFETCH(QByteArray, datagram);
        QFETCH(QByteArray, answer);
        for (qsizetype i = 0; i < park.machines().size(); ++i) {
            const auto [kind, port] = park.machines()[i];
            if ((machine >= 0 && machine != i) || (machine == -2 && kind == Kind::Hub))
                continue;
            ParkProbe probe(port, kind);
            if (kind != Kind::Hub)
                datagram.replace("CHALLENGE", probe.rconChallenge().value_or("0"));
            QUdpSocket stray;
            QCOMPARE(stray.writeDatagram(datagram, QHostAddress::LocalHost, port), datagram.size());
            // a machine answers in order: any answer to the stray datagram came before the marker's
            QCOMPARE(probe.control("sim_echo alive"), QByteArray("alive\n"));
            const auto reply =
                stray.hasPendingDatagrams() ? std::optional(stray.receiveDatagram().data()) : std::nullopt;
            if (answer.isEmpty())
                QVERIFY2(!reply, reply.value_or("").toHex(' ').constData());
            else if (reply || machine >= 0) // to every machine: an answer, if any, is the refusal
                QVERIFY2(reply && reply->endsWith(answer), reply.value_or("(none)").constData());
        }
        QVERIFY(park.isRunning());
    }

    void silenceAndBack()
    {
        for (const auto& [kind, port] : park.machines()) {
            ParkProbe probe(port, kind);
            const QByteArray query = withNul(kind == Kind::Hub ? "getManagerInfo" : "TSource Engine Query");
            QCOMPARE(probe.control("sim_silence 1"), QByteArray("sim_silence 1\n"));
            probe.send(query);
            QCOMPARE(probe.rcon("pw", "status"), QByteArray()); // nothing came before the marker's answer
            QCOMPARE(probe.control("sim_silence 0"), QByteArray("sim_silence 0\n"));
            probe.send(query);
            QVERIFY(probe.receive());
        }
    }

    void hubNamesAreWholeUtf8AndDistinct()
    {
        ParkProbe probe(cupHubs, Kind::Hub);
        QCOMPARE(probe.control("sim_players 32 2"), QByteArray("sim_players 32 2\n"));
        QHash<QByteArray, QByteArray> full;
        for (const auto& [key, value] : ParkProbe::keyValues(probe.ask("gethubinfo 2").value_or("")))
            full.insert(key, value);
        QCOMPARE(full.value("desc"), QByteArray("Final / stage")); // a backslash would start a key
        QSet<QByteArray> plainNames;
        bool codeInside = false;
        for (int slot = 0; slot < 32; ++slot) {
            const QByteArray name = full.value("p" + QByteArray::number(slot) + 'n');
            // as sent, colour codes included: no code cuts a character in two
            QVERIFY2(!name.isEmpty() && QString::fromUtf8(name).toUtf8() == name, name.constData());
            plainNames.insert(withoutColourCodes(name));
            codeInside = codeInside || withoutColourCodes(name.mid(1)) != name.mid(1);
        }
        QCOMPARE(plainNames.size(), 32);
        QVERIFY(codeInside); // a colour code after the first letter, as in "^1Zo^2rro"
    }

    void exampleConfigurationConnectsItsMachines()
    {
        const QString example = QFINDTESTDATA("../../tools/sim/example-park.json");
        SimulatedPark sample;
        QVERIFY2(sample.start({QStringLiteral("--config"), example, QStringLiteral("--port"),
                               QStringLiteral("0"), QStringLiteral("--rcon"), QStringLiteral("pw")}),
                 qPrintable(sample.errorString()));
        const QByteArray cupServer = address(sample.serverPorts().value(0));
        const quint16 cupTv = sample.proxyPorts().value(0);
        const auto status = [](quint16 port) { return ParkProbe(port).rcon("pw", "status").value_or(""); };
        QVERIFY(status(cupTv).contains("\nHLTV proxy connected to " + cupServer + ','));
        QVERIFY(status(sample.proxyPorts().value(1))
                    .contains("\nConnected to HLTV Proxy " + address(cupTv) + '\n'));
        const auto hub = ParkProbe(sample.hubPorts().value(0)).ask("gethubinfo 1").value_or("");
        QVERIFY2(hub.contains("\\parent\\" + cupServer + '\\'), hub.constData());
    }

    void configurationMistakeEndsWithCode2_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const char* json, const char* reason) {
            QTest::addRow("%s", name) << QByteArray(json) << QString::fromUtf8(reason);
        };
        row("not JSON", R"({"servers": [)", "offset");
        row("typo", R"({"servers": [{"max_player": 10}]})", "max_player");
        row("wrong type", R"({"proxies": [{"slots": "64"}]})", "slots");
        row("server key on a hub manager", R"({"hubs": [{"map": "de_dust2"}]})", "map");
        row("hub number twice", R"({"hubs": [{"hubs": [{}, {"num": 1}]}]})", "used twice");
        row("no such parent", R"({"hubs": [{"hubs": [{"parent": "server:0"}]}]})", "server:0");
    }

    void configurationMistakeEndsWithCode2()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, reason);
        QFile config(dir.filePath(QStringLiteral("mistake.json")));
        QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
        config.write(json);
        config.close();
        QProcess sim;
        sim.start(SimulatedPark::binaryPath(), {QStringLiteral("--config"), config.fileName(),
                                                QStringLiteral("--port"), QStringLiteral("0")});
        QVERIFY(sim.waitForFinished(10000));
        QVERIFY(sim.readAllStandardOutput().isEmpty()); // no listing, no "ready"
        const QString error = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(sim.exitCode(), 2);
    }

    // --count-queries: the traffic so far on SIGUSR1, the totals on SIGTERM.
    void countQueriesOnExit()
    {
        QProcess sim;
        sim.start(SimulatedPark::binaryPath(),
                  {QStringLiteral("--servers"), QStringLiteral("1"), QStringLiteral("--port"),
                   QStringLiteral("0"), QStringLiteral("--count-queries")});
        QVERIFY(sim.waitForStarted(10000));
        QByteArray listing;
        while (!listing.endsWith("ready\n") && sim.waitForReadyRead(10000))
            listing += sim.readAllStandardOutput();
        const QList<QByteArray> words = listing.split('\n').value(0).split(':');
        QCOMPARE(words.size(), 2);
        ParkProbe probe(static_cast<quint16>(words[1].toUInt()));
        probe.send(withNul("details"));
        QVERIFY(probe.receive());
        ::kill(static_cast<pid_t>(sim.processId()), SIGUSR1);
        sim.setReadChannel(QProcess::StandardError);
        QByteArray sofar;
        while (!sofar.contains("machines") && sim.waitForReadyRead(10000))
            sofar += sim.readAllStandardError();
        QCOMPARE(sofar, QByteArray("queries details=1\nreplies m=1\nmachines 1 asked 1 answered 1\n"));
        probe.send("U" + QByteArray(4, '\xFF'));
        const auto challenge = probe.receive(); // 'A' and the challenge
        QVERIFY(challenge && challenge->size() == 9 && challenge->at(4) == 'A');
        probe.send("U" + challenge->mid(5));
        QVERIFY(probe.receive()); // 'D'
        sim.terminate();
        QVERIFY(sim.waitForFinished(10000));
        QCOMPARE(sim.readAllStandardError(), QByteArray("queries U=2 details=1\n"
                                                        "replies A=1 D=1 m=1\n"
                                                        "machines 1 asked 1 answered 1\n"));
    }

    // What real machines do that the console must cope with: a restart
    // forgets the rcon challenge (a '9' reject, then the refusal), a ban
    // answers everything with one text, and proxies put a byte before their
    // print text.
    void restartBanAndFramingByte()
    {
        ParkProbe asker(oldServer);
        const QByteArray old = asker.rconChallenge().value_or(QByteArray());
        QCOMPARE(asker.control("sim_restart"), QByteArray("sim_restart\n"));
        QTRY_VERIFY(ParkProbe(oldServer).rconChallenge() != old); // it restarts a moment later
        asker.send("rcon " + old + " \"pw\" status" + '\0');
        QCOMPARE(asker.receive().value_or(QByteArray()),
                 kPrefix + withNul("9No challenge for your address.\n"));
        QCOMPARE(asker.receive().value_or(QByteArray()), kPrefix + withNul("lBad rcon_password.\n"));
        ParkProbe fresh(oldServer);
        QVERIFY(fresh.rcon("pw", "status").value_or(QByteArray()).contains("hostname"));

        QCOMPARE(fresh.control("sim_ban 1"), QByteArray("sim_ban 1\n"));
        QCOMPARE(fresh.ask("details").value_or(QByteArray()),
                 QByteArray("lYou have been banned from this server.\n"));
        QCOMPARE(fresh.rcon("pw", "status").value_or(QByteArray()),
                 QByteArray("You have been banned from this server.\n"));
        QCOMPARE(fresh.control("sim_ban 0"), QByteArray("sim_ban 0\n"));
        QVERIFY(fresh.ask("details").value_or(QByteArray()).startsWith('m'));

        ParkProbe proxy(park.proxyPorts().value(0));
        const auto replies = proxy.rconReplies("pw", "status");
        QVERIFY(replies && !replies->isEmpty());
        QVERIFY(replies->first().startsWith(kPrefix + "l`--- HLTV Status ---\n"));
    }

    void restartKeepsPortsAndChallenges()
    {
        SimulatedPark small;
        QVERIFY2(small.start({QStringLiteral("--servers"), QStringLiteral("1"), QStringLiteral("--proxies"),
                              QStringLiteral("1"), QStringLiteral("--port"), QStringLiteral("0")}),
                 qPrintable(small.errorString()));
        const quint16 server = small.serverPorts().value(0);
        const auto challenge = ParkProbe(server).rconChallenge();
        QVERIFY(challenge);
        // restart() fails unless the park lists the same machines on the same ports
        QVERIFY2(small.restart(), qPrintable(small.errorString()));
        QCOMPARE(ParkProbe(server).rconChallenge(), challenge); // answered, the same number
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
