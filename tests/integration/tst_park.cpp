// End to end on loopback: the document and its objects, with their real
// sockets, against the simulated park.
#include "layout/CQuorvaneDoc.h"
#include "layout/CanvasLayout.h"
#include "layout/LayoutFile.h"
#include "objects/CHLTV.h"
#include "support/FtpServer.h"
#include "support/SimulatedPark.h"
#include "support/TestContext.h"
#include "support/TickUntil.h"

#include <QDir>
#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

// Servers: 0 the cup server (password, six players, a running match),
// 1 a current-only server, 2 a current-only server that demands the
// challenge. Proxies: 0 classic status text, 1 current status text behind
// the byte today's proxies put before it.
const char* const kParkConfig = R"({
  "seed": 7,
  "servers": [
    {"hostname": "Cup #1", "map": "de_dust2", "rcon": "secret", "players": 6, "max_players": 12,
     "moves": false,
     "match": {"state": 2, "team_a": "Red", "team_b": "Blue", "score_a1": 3, "score_b1": 1, "moves": false}},
    {"hostname": "Modern", "map": "cs_office", "modern_only": true, "players": 4, "moves": false},
    {"hostname": "Challenged", "map": "cs_italy", "modern_only": true, "challenge": true, "players": 3,
     "moves": false}
  ],
  "proxies": [
    {"hostname": "TV classic", "style": "old", "rcon": "tv", "moves": false},
    {"hostname": "TV current", "style": "current", "framing": "backtick", "rcon": "tv", "moves": false}
  ]
})";

} // namespace

class TestPark : public QObject
{
    Q_OBJECT

    TestContext env;
    QTemporaryDir dir;
    SimulatedPark park;
    std::unique_ptr<CQuorvaneDoc> doc;

    std::string serverName(int index) const
    {
        return "127.0.0.1:" + std::to_string(park.serverPorts()[index]);
    }

    template <class Done> bool tickUntil(Done done, int maxTicks)
    {
        return ::tickUntil(env.clock, *doc, done, maxTicks);
    }

    CHLServer* addServer(int index, const std::string& password)
    {
        return static_cast<CHLServer*>(
            doc->AddServer("127.0.0.1", park.serverPorts()[index], password, doc->m_groups[0].get()));
    }

    CHLTV* addProxy(int index)
    {
        const int port = park.proxyPorts()[index];
        return static_cast<CHLTV*>(doc->AddProxy("127.0.0.1", port, doc->m_groups[1].get(), "tv", "",
                                                 "127.0.0.1", port, true, false));
    }

    QByteArray history(quint16 port)
    {
        ParkProbe probe(port);
        return probe.control("sim_history").value_or(QByteArray());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY2(park.startWithConfig(kParkConfig), qPrintable(park.errorString()));
        QCOMPARE(park.serverPorts().size(), 3);
        QCOMPARE(park.proxyPorts().size(), 2);
    }

    void init()
    {
        env.op = ScriptedOperator{};
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
    }

    void cleanup() { doc.reset(); }

    void serverReachesControlWithItsState()
    {
        CHLServer* server = addServer(0, "secret");
        QVERIFY(tickUntil([&] { return server->m_nStatus == CSStatus_CONTROL; }, 6));
        QVERIFY(tickUntil([&] { return server->m_bMatchRunning && server->m_nPlayers == 6; }, 6));
        QCOMPARE(server->m_strHostname, std::string("Cup #1"));
        QCOMPARE(server->m_strMap, std::string("de_dust2"));
        QCOMPARE(server->m_strTeamA, std::string("Red"));
        QCOMPARE(server->m_strTeamB, std::string("Blue"));
        QCOMPARE(server->m_nMatchState, 2);
        QCOMPARE(server->m_nScoreA1, 3);
        QCOMPARE(server->m_nScoreB1, 1);

        // The names are those the server's own status text lists.
        ParkProbe probe(park.serverPorts()[0]);
        const QByteArray status = probe.rcon("secret", "status").value_or(QByteArray());
        QVERIFY(status.contains("Cup #1"));
        for (int i = 0; i < server->m_nPlayers; ++i)
            QVERIFY2(
                status.contains(QByteArray::fromStdString(server->m_strPlayers[static_cast<std::size_t>(i)])),
                server->m_strPlayers[static_cast<std::size_t>(i)].c_str());
        QVERIFY(env.op.messages.empty());
    }

    void wrongPasswordEndsMonitored()
    {
        CHLServer* server = addServer(0, "wrong");
        QVERIFY(tickUntil([&] { return server->RconSuspended(); }, 6));
        QCOMPARE(server->m_nStatus, CSStatus_MONITORING);
        QCOMPARE(server->m_strRconPassword, std::string("wrong")); // kept for the next save
        std::vector<std::string> lines;
        for (int i = 0; i < server->m_log.count(); ++i)
            lines.push_back(server->m_log.line(i));
        const auto notice =
            std::find(lines.begin(), lines.end(),
                      "Quorvane : Bad rcon_password detected. Internal rcon has been disabled to "
                      "prevent being banned.");
        QVERIFY(notice != lines.end());
        QVERIFY(notice + 1 != lines.end());
        QCOMPARE(*(notice + 1), std::string("Quorvane : Please re-enter the good rcon_password"));
        // And it stays monitored: no more rcon, no control.
        QVERIFY(!tickUntil([&] { return server->m_nStatus != CSStatus_MONITORING; }, 6));
    }

    // A restart makes the server forget the challenge: it rejects the next
    // command, is asked for a new challenge and stays under control with its
    // password. A ban takes control away for good.
    void restartedThenBannedServer()
    {
        CHLServer* server = addServer(0, "secret");
        QVERIFY(
            tickUntil([&] { return server->m_nStatus == CSStatus_CONTROL && server->m_bMatchRunning; }, 12));
        const std::uint32_t before = server->m_nChallenge;
        ParkProbe(park.serverPorts()[0]).control("sim_restart");
        ParkProbe(park.serverPorts()[0]).control("sim_match 0");
        QVERIFY(tickUntil([&] { return !server->m_bMatchRunning; }, 13));
        QVERIFY(server->m_nChallenge != before);
        QCOMPARE(server->m_nStatus, CSStatus_CONTROL);
        QVERIFY(!server->RconSuspended());
        ParkProbe(park.serverPorts()[0]).control("sim_match 2 Red Blue 3 0 1 0");

        // Once banned, only a probe that holds its challenge from before can steer.
        ParkProbe steer(park.serverPorts()[0]);
        QVERIFY(steer.control("sim_ban 1"));
        QVERIFY(tickUntil([&] { return server->RconSuspended(); }, 7));
        steer.control("sim_history clear");
        QVERIFY(!tickUntil([&] { return server->m_nStatus != CSStatus_MONITORING; }, 12));
        const QByteArray sent = steer.control("sim_history").value_or(QByteArray());
        QVERIFY(steer.control("sim_ban 0"));
        QVERIFY2(sent.endsWith("-- 0 commands\n"), sent.constData());
        int notices = 0;
        for (int i = 0; i < server->m_log.count(); ++i)
            notices += server->m_log.line(i) == "You have been banned from this server." ? 1 : 0;
        QCOMPARE(notices, 1);
    }

    void currentOnlyServers_data()
    {
        QTest::addColumn<int>("index");
        QTest::addColumn<int>("players");
        QTest::addColumn<QByteArray>("map");
        QTest::addRow("info and players queries") << 1 << 4 << QByteArray("cs_office");
        QTest::addRow("with the challenge") << 2 << 3 << QByteArray("cs_italy");
    }

    void currentOnlyServers()
    {
        QFETCH(int, index);
        QFETCH(int, players);
        QFETCH(QByteArray, map);
        CHLServer* server = addServer(index, "");
        QVERIFY(tickUntil([&] { return server->m_nStatus == CSStatus_MONITORING; }, 6));
        QVERIFY(tickUntil([&] { return server->m_nPlayers == players; }, 6));
        QCOMPARE(QByteArray::fromStdString(server->m_strMap), map);
        QCOMPARE(server->m_nStatus, CSStatus_MONITORING);
    }

    void proxyLinksAndRecords_data()
    {
        QTest::addColumn<int>("proxyIndex");
        QTest::addRow("classic status") << 0;
        QTest::addRow("current status") << 1;
    }

    void proxyLinksAndRecords()
    {
        QFETCH(int, proxyIndex);
        const quint16 proxyPort = park.proxyPorts()[proxyIndex];
        ParkProbe control(proxyPort);
        control.control("sim_history clear");
        CHLServer* server = addServer(0, "secret");
        CHLTV* proxy = addProxy(proxyIndex);
        QVERIFY(
            tickUntil([&] { return proxy->m_nStatus == CSStatus_CONTROL && server->m_bMatchRunning; }, 12));

        proxy->DropOn(server);
        QVERIFY(
            history(proxyPort).contains(QByteArray("connect ") + QByteArray::fromStdString(serverName(0))));
        QVERIFY(tickUntil([&] { return proxy->m_strLinkedAddress == serverName(0); }, 7));
        QVERIFY(tickUntil([&] { return proxy->m_pLinked == server; }, 6));

        // Auto record during the running match, with the generated name.
        proxy->m_bAutoRecord = true;
        QVERIFY(tickUntil([&] { return !proxy->m_strRecordFile.empty(); }, 13));
        const QByteArray commands = history(proxyPort);
        QVERIFY2(commands.contains("record ") && commands.contains("_de_dust2_Red_Blue"),
                 commands.constData());

        // The match ends: the recording stops.
        ParkProbe(park.serverPorts()[0]).control("sim_match 0");
        QVERIFY(tickUntil([&] { return proxy->m_strRecordFile.empty(); }, 19));
        QVERIFY(history(proxyPort).contains("stoprecord"));
        QVERIFY(!server->m_bMatchRunning);
        ParkProbe(park.serverPorts()[0]).control("sim_match 2 Red Blue 3 0 1 0");
        ParkProbe(proxyPort).control("sim_history clear");
        proxy->m_bAutoRecord = false;
        proxy->SendCommand("disconnect");
        QVERIFY(env.op.messages.empty());
    }

    void headlessOnce()
    {
        // The server's password comes from a file, out of the process list.
        const QString passwordFile = dir.filePath(QStringLiteral("rcon.txt"));
        QFile secret(passwordFile);
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("secret\r\nnot this line\n");
        secret.close();
        const auto runOnce = [this, passwordFile](const QStringList& extra) {
            QProcess quorvane;
            QStringList arguments{QStringLiteral("--headless"),
                                  QStringLiteral("--once"),
                                  QStringLiteral("--json"),
                                  QStringLiteral("--server"),
                                  QString::fromStdString(serverName(0)),
                                  QStringLiteral("--rcon-file"),
                                  passwordFile,
                                  QStringLiteral("--proxy"),
                                  QStringLiteral("127.0.0.1:%1").arg(park.proxyPorts()[0]),
                                  QStringLiteral("--rcon"),
                                  QStringLiteral("tv")};
            quorvane.start(QStringLiteral(QUORVANE_BINARY), arguments + extra);
            if (!quorvane.waitForFinished(30000))
                quorvane.kill();
            std::map<QString, QJsonObject> reports;
            for (const QByteArray& line : quorvane.readAllStandardOutput().split('\n')) {
                const QJsonObject report = QJsonDocument::fromJson(line).object();
                if (!report.isEmpty())
                    reports[report.value(QLatin1String("object")).toString()] = report;
            }
            return std::pair{quorvane.exitCode(), reports};
        };

        const auto [code, reports] = runOnce({});
        QCOMPARE(code, 0);
        QCOMPARE(reports.size(), std::size_t{2});
        const QJsonObject server = reports.at(QString::fromStdString(serverName(0)));
        QCOMPARE(server.value(QLatin1String("kind")).toString(), QStringLiteral("server"));
        QCOMPARE(server.value(QLatin1String("status")).toString(), QStringLiteral("Rcon Controled"));
        QCOMPARE(server.value(QLatin1String("hostname")).toString(), QStringLiteral("Cup #1"));
        QCOMPARE(server.value(QLatin1String("map")).toString(), QStringLiteral("de_dust2"));
        QCOMPARE(server.value(QLatin1String("players")).toInt(), 6);
        QCOMPARE(server.value(QLatin1String("names")).toArray().size(), 6);
        const QJsonObject match = server.value(QLatin1String("match")).toObject();
        QCOMPARE(match.value(QLatin1String("teamA")).toString(), QStringLiteral("Red"));
        QCOMPARE(match.value(QLatin1String("scoreA")).toInt(), 3);
        QVERIFY(match.value(QLatin1String("running")).toBool());
        const QJsonObject proxy = reports.at(QStringLiteral("127.0.0.1:%1").arg(park.proxyPorts()[0]));
        QCOMPARE(proxy.value(QLatin1String("kind")).toString(), QStringLiteral("proxy"));
        QCOMPARE(proxy.value(QLatin1String("status")).toString(), QStringLiteral("Rcon Controled"));
        QVERIFY(proxy.value(QLatin1String("slots")).toInt() > 0);
        QVERIFY(proxy.contains(QLatin1String("linked")));

        // A machine that does not answer makes the run fail.
        QUdpSocket silent;
        QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
        const auto [failedCode, failedReports] =
            runOnce({QStringLiteral("--server"), QStringLiteral("127.0.0.1:%1").arg(silent.localPort())});
        QCOMPARE(failedCode, 1);
        QCOMPARE(failedReports.at(QStringLiteral("127.0.0.1:%1").arg(silent.localPort()))
                     .value(QLatin1String("status"))
                     .toString(),
                 QStringLiteral("Timeout"));
    }

    void headlessOnceFromALayout()
    {
        addServer(0, "secret");
        addProxy(0);
        const QString path = dir.filePath(QStringLiteral("park.layout"));
        QString error;
        QVERIFY(layoutfile::saveToFile(*doc, path, error));

        QProcess quorvane;
        quorvane.start(
            QStringLiteral(QUORVANE_BINARY),
            {QStringLiteral("--headless"), QStringLiteral("--once"), QStringLiteral("--json"), path});
        QVERIFY(quorvane.waitForFinished(30000));
        QCOMPARE(quorvane.exitCode(), 0);
        const QList<QByteArray> lines = quorvane.readAllStandardOutput().trimmed().split('\n');
        QCOMPARE(lines.size(), 2);
        QCOMPARE(QJsonDocument::fromJson(lines[0]).object().value(QLatin1String("status")).toString(),
                 QStringLiteral("Rcon Controled"));

        // A file that is not a layout is reported, and nothing is monitored.
        QFile broken(dir.filePath(QStringLiteral("broken.layout")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a layout at all");
        broken.close();
        quorvane.start(QStringLiteral(QUORVANE_BINARY),
                       {QStringLiteral("--headless"), QStringLiteral("--once"), broken.fileName()});
        QVERIFY(quorvane.waitForFinished(30000));
        QVERIFY(quorvane.readAllStandardError().contains("Unexpected file format."));
        QVERIFY(quorvane.readAllStandardOutput().isEmpty());
        quorvane.start(QStringLiteral(QUORVANE_BINARY),
                       {QStringLiteral("--headless"), dir.filePath(QStringLiteral("missing.layout"))});
        QVERIFY(quorvane.waitForFinished(30000));
        QCOMPARE(quorvane.exitCode(), 2);
        QVERIFY(quorvane.readAllStandardError().contains("Failed to open document."));
    }

    void renderWritesTheCanvas()
    {
        addServer(0, "secret");
        addProxy(0);
        const QString layout = dir.filePath(QStringLiteral("render.layout"));
        const QString picture = dir.filePath(QStringLiteral("render.png"));
        QString error;
        QVERIFY(layoutfile::saveToFile(*doc, layout, error));
        QProcess quorvane;
        quorvane.start(QStringLiteral(QUORVANE_BINARY), {QStringLiteral("--render"), layout, picture});
        QVERIFY(quorvane.waitForFinished(30000));
        QCOMPARE(quorvane.exitCode(), 0);

        const QImage image(picture);
        QCOMPARE(image.size(), RecalcLayout(*doc));
        // Live boxes: the players' blue bar of the controlled server is there.
        bool playerBar = false;
        for (int y = 0; y < image.height() && !playerBar; ++y)
            for (int x = 0; x < image.width() && !playerBar; ++x)
                playerBar = image.pixel(x, y) == qRgb(0, 0, 255);
        QVERIFY(playerBar);
    }

    void headlessPublishesThePage()
    {
        FtpServer ftp;
        QVERIFY2(ftp.start(), qPrintable(ftp.errorString()));
        addServer(0, "secret");
        addProxy(0);
        CModuleAutoWeb& module = doc->m_moduleAutoWeb;
        module.m_bEnabled = 1;
        module.m_strFtpServer = "127.0.0.1:" + std::to_string(ftp.port());
        module.m_strLogin = FtpServer::kUser;
        module.m_strPassword = FtpServer::kPassword;
        module.m_strRemoteFile = "/live.html";
        QTemporaryDir workDir;
        QString error;
        QVERIFY(layoutfile::saveToFile(*doc, workDir.filePath(QStringLiteral("park.layout")), error));
        QFile page(workDir.filePath(QStringLiteral("web_template.html")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.write("[SECTION_ALWAYS]<h1>Live</h1>[/SECTION_ALWAYS][SECTION_HLTV][SECTION_HLTV_LOOP]"
                   "<p>[#HOSTNAME]: [#NBSPEC]/[#NBSPECMAX]</p>[/SECTION_HLTV_LOOP][/SECTION_HLTV]");
        page.close();

        QProcess quorvane;
        quorvane.setWorkingDirectory(workDir.path());
        quorvane.start(QStringLiteral(QUORVANE_BINARY),
                       {QStringLiteral("--headless"), QStringLiteral("park.layout")});
        // The page goes out on the 30-second tick.
        QVERIFY(ftp.waitForLine("received /live.html", 45000));
        quorvane.terminate();
        QVERIFY(quorvane.waitForFinished(10000));
        QCOMPARE(quorvane.exitCode(), 0);
        const QByteArray published = ftp.file(QStringLiteral("/live.html")).value_or(QByteArray());
        // One row: the exported proxy, controlled by then, with its slots.
        QVERIFY2(published.startsWith("<h1>Live</h1><p>"), published.constData());
        QCOMPARE(published.count("<p>"), 1);
        QVERIFY(!published.contains("/0</p>"));
    }

    void headlessReportsChangesAndStopsOnSignals()
    {
        for (const bool interrupt : {false, true}) {
            QProcess quorvane;
            quorvane.start(QStringLiteral(QUORVANE_BINARY),
                           {QStringLiteral("--headless"), QStringLiteral("--server"),
                            QString::fromStdString(serverName(1))});
            QVERIFY(quorvane.waitForStarted(5000));
            // The server's first answers change its state: a line is printed.
            QVERIFY(QTest::qWaitFor([&] { return quorvane.readAllStandardOutput().contains("Monitor only"); },
                                    10000));
            ::kill(static_cast<pid_t>(quorvane.processId()), interrupt ? SIGINT : SIGTERM);
            QVERIFY(quorvane.waitForFinished(5000));
            QCOMPARE(quorvane.exitStatus(), QProcess::NormalExit);
            QCOMPARE(quorvane.exitCode(), 0);
        }
    }

    void demoIsLiveAndStopsItsPark()
    {
        const auto demoParks = [] {
            int running = 0;
            for (const QString& pid : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
                QFile cmdline(QStringLiteral("/proc/%1/cmdline").arg(pid));
                if (cmdline.open(QIODevice::ReadOnly) && cmdline.readAll().contains("demo-park.json"))
                    ++running;
            }
            return running;
        };
        const int before = demoParks();
        QProcess quorvane;
        quorvane.start(QStringLiteral(QUORVANE_BINARY),
                       {QStringLiteral("--demo"), QStringLiteral("--headless")});
        QByteArray output;
        // Within six seconds every box is live: nothing is left in Timeout.
        const bool live = QTest::qWaitFor(
            [&] {
                output += quorvane.readAllStandardOutput();
                std::map<QByteArray, QByteArray> last;
                for (const QByteArray& line : output.split('\n'))
                    if (line.contains(' '))
                        last[line.left(line.indexOf(' '))] = line;
                if (last.size() < 6)
                    return false;
                return std::none_of(last.begin(), last.end(),
                                    [](const auto& entry) { return entry.second.contains(" Timeout "); });
            },
            8000);
        QVERIFY2(live, output.constData());
        QCOMPARE(demoParks(), before + 1);
        quorvane.terminate();
        QVERIFY(quorvane.waitForFinished(10000));
        QCOMPARE(quorvane.exitCode(), 0);
        QVERIFY(QTest::qWaitFor([&] { return demoParks() == before; }, 5000));
    }

    // Last: it takes the park down and brings it back.
    void killedParkTimesOutAndComesBack()
    {
        CHLServer* server = addServer(0, "secret");
        CHLTV* proxy = addProxy(0);
        QVERIFY(tickUntil(
            [&] { return server->m_nStatus == CSStatus_CONTROL && proxy->m_nStatus == CSStatus_CONTROL; },
            12));
        park.kill();
        QVERIFY(tickUntil(
            [&] { return server->m_nStatus == CSStatus_TIMEOUT && proxy->m_nStatus == CSStatus_TIMEOUT; },
            15));
        QVERIFY(env.clock.now() - server->m_timeLastReply > 10);
        QVERIFY(env.clock.now() - server->m_timeLastReply <= 11);

        // The same machines on the same ports: the channels, which saw
        // "port unreachable" meanwhile, take the replies again, and the
        // objects climb back to control with the park's state.
        QVERIFY2(park.restart(), qPrintable(park.errorString()));
        QVERIFY(tickUntil(
            [&] {
                return server->m_nStatus == CSStatus_CONTROL && proxy->m_nStatus == CSStatus_CONTROL &&
                       server->m_nPlayers == 6;
            },
            15));
        QCOMPARE(QByteArray::fromStdString(server->m_strHostname), QByteArray("Cup #1"));
        QCOMPARE(QByteArray::fromStdString(proxy->m_strHostname), QByteArray("TV classic"));
    }
};

QTEST_GUILESS_MAIN(TestPark)
#include "tst_park.moc"
