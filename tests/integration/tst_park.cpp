// End to end on loopback: the document and its objects, with their real
// sockets, and the program itself, against the simulated park.
#include "layout/CQuorvaneDoc.h"
#include "layout/CanvasLayout.h"
#include "layout/LayoutFile.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "support/LoopbackPorts.h"
#include "support/SimulatedPark.h"
#include "support/TestContext.h"
#include "support/TickUntil.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <csignal>

namespace {

// Servers: 0 the cup server (password, six players, a running match), 1 a
// current-only server that demands the challenge. One proxy with the classic
// status text (both kinds of text are relayed in tst_relaychain). One hub
// manager, whose first hub relays the cup server.
const char* const kParkConfig = R"({
  "seed": 7,
  "servers": [
    {"hostname": "Cup #1", "map": "de_dust2", "rcon": "secret", "players": 6, "max_players": 12,
     "moves": false,
     "match": {"state": 2, "team_a": "Red", "team_b": "Blue", "score_a1": 3, "score_b1": 1, "moves": false}},
    {"hostname": "Challenged", "map": "cs_italy", "modern_only": true, "challenge": true, "players": 3,
     "moves": false}
  ],
  "proxies": [{"hostname": "TV classic", "style": "old", "rcon": "tv", "moves": false}],
  "hubs": [{"hostname": "Cup GTV", "rcon": "gtv", "clients": 7, "max_clients": 40, "moves": false,
            "hubs": [{"num": 2, "desc": "Final stage", "parent": "server:0", "players": 4, "following": 1},
                     {"num": 5, "desc": "Warm-up", "parent": "", "players": 0, "following": -1}]}]
})";

struct Run
{
    int code = -1;
    std::map<QString, QJsonObject> reports; // by object name
    QByteArray errors;
};

Run runQuorvane(const QStringList& arguments)
{
    QProcess quorvane;
    quorvane.start(QStringLiteral(QUORVANE_BINARY), arguments);
    if (!quorvane.waitForFinished(30000))
        quorvane.kill();
    Run run{quorvane.exitCode(), {}, quorvane.readAllStandardError()};
    for (const QByteArray& line : quorvane.readAllStandardOutput().split('\n')) {
        const QJsonObject report = QJsonDocument::fromJson(line).object();
        if (!report.isEmpty())
            run.reports[report.value(QLatin1String("object")).toString()] = report;
    }
    return run;
}

QString field(const QJsonObject& report, const char* key)
{
    return report.value(QLatin1String(key)).toString();
}

} // namespace

class TestPark : public QObject
{
    Q_OBJECT

    TestContext env;
    QTemporaryDir dir;
    SimulatedPark park;
    std::unique_ptr<CQuorvaneDoc> doc;

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

    QByteArray history(quint16 port, SimulatedPark::Kind kind = SimulatedPark::Kind::Server)
    {
        return ParkProbe(port, kind).control("sim_history").value_or(QByteArray());
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY2(park.startWithConfig(kParkConfig), qPrintable(park.errorString()));
        QCOMPARE(park.machines().size(), 4);
    }

    void init()
    {
        env.op = ScriptedOperator{};
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
    }

    void cleanup() { doc.reset(); }

    void hubsFollowAndLink()
    {
        CCommonObject* server = addServer(0, "");
        auto* manager = static_cast<CGTV*>(
            doc->AddHubManager("127.0.0.1", park.hubPorts()[0], "gtv", doc->m_groups[2].get()));
        // Both hubs' replies, which arrive one after the other.
        QVERIFY(tickUntil(
            [&] {
                return manager->m_nStatus == CSStatus_CONTROL && manager->m_nHubs == 2 &&
                       manager->m_hubs[0].m_nCount == 4 && !manager->m_hubs[1].m_strDesc.empty();
            },
            12));
        QCOMPARE(manager->m_nSvMaxClients, 40);
        CHubInfo& final = manager->m_hubs[0];
        QCOMPARE(final.m_strDesc, std::string("Final stage"));
        QCOMPARE(final.m_nFollowing, 1);
        QCOMPARE(manager->m_hubs[1].m_strDesc, std::string("Warm-up"));
        QCOMPARE(manager->m_hubs[1].FollowedName(), nullptr);

        // Linked to the server its parent names, within six ticks.
        QVERIFY(tickUntil([&] { return final.m_pLinked == server; }, 6));
        QCOMPARE(manager->m_hubs[1].m_pLinked, nullptr);

        // Change POV: the park follows the new slot, the next reply says so.
        manager->m_pSelectedHub = &final;
        const std::size_t other = final.m_nSlots[0] == final.m_nFollowing ? 1 : 0;
        const std::int32_t slot = final.m_nSlots[other];
        manager->ChangePOV(final.m_strNames[other]);
        QVERIFY(QTest::qWaitFor([&] { return final.m_nFollowing == slot; }, 3000)); // as the park now says
        QCOMPARE(*final.FollowedName(), final.m_strNames[other]);
        QVERIFY(env.op.messages.empty());
        manager->SendCommand("gtv_follow 1 2"); // leave the park as configured
    }

    void headlessOnce()
    {
        // The server's password comes from a file, out of the process list.
        const QString passwordFile = dir.filePath(QStringLiteral("rcon.txt"));
        QFile secret(passwordFile);
        QVERIFY(secret.open(QIODevice::WriteOnly));
        secret.write("secret\r\nnot this line\n");
        secret.close();
        const QString server = loopbackAt(park.serverPorts()[0]);
        const QString proxyName = loopbackAt(park.proxyPorts()[0]);
        const QString hubName = loopbackAt(park.hubPorts()[0]);
        const QStringList arguments{"--headless", "--once", "--json",  "--server", server, "--rcon-file",
                                    passwordFile, "--proxy", proxyName, "--rcon",   "tv",   "--hub",
                                    hubName,      "--rcon",  "gtv"};
        const Run run = runQuorvane(arguments);
        QCOMPARE(run.code, 0);
        QCOMPARE(run.reports.size(), std::size_t{3});
        const QJsonObject cup = run.reports.at(server);
        for (const auto& [name, report] : run.reports)
            QCOMPARE(field(report, "status"), QStringLiteral("Rcon Controled"));
        QCOMPARE(field(cup, "hostname"), QStringLiteral("Cup #1"));
        QCOMPARE(cup.value(QLatin1String("names")).toArray().size(), 6);
        QCOMPARE(field(cup.value(QLatin1String("match")).toObject(), "teamA"), QStringLiteral("Red"));
        QCOMPARE(field(run.reports.at(proxyName), "kind"), QStringLiteral("proxy"));
        const QJsonObject hub = run.reports.at(hubName);
        QCOMPARE(hub.value(QLatin1String("clients")).toInt(), 7);
        const QJsonArray hubList = hub.value(QLatin1String("hubs")).toArray();
        QCOMPARE(hubList.size(), 2);
        QCOMPARE(field(hubList[0].toObject(), "linked"), server);
        QCOMPARE(hubList[0].toObject().value(QLatin1String("players")).toArray().size(), 4);
        QVERIFY(hubList[1].toObject().value(QLatin1String("linked")).isNull());

        // A machine that does not answer makes the run fail.
        QUdpSocket silent;
        QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
        const Run failed = runQuorvane(arguments + QStringList{"--server", loopbackAt(silent.localPort())});
        QCOMPARE(failed.code, 1);
        QCOMPARE(field(failed.reports.at(loopbackAt(silent.localPort())), "status"), QStringLiteral("Timeout"));

        // Wrong passwords: no machine is under control, and none is sent its
        // refused command again on every poll.
        const quint16 proxyPort = park.proxyPorts()[0];
        const quint16 hubPort = park.hubPorts()[0];
        ParkProbe(proxyPort).control("sim_history clear");
        ParkProbe(hubPort, SimulatedPark::Kind::Hub).control("sim_history clear");
        const Run wrong = runQuorvane({"--headless", "--server", server, "--rcon", "wrong", "--proxy", proxyName,
                                       "--rcon", "wrong", "--hub", hubName, "--rcon", "wrong", "--json", "--once"});
        QCOMPARE(wrong.code, 0);
        QCOMPARE(wrong.reports.size(), std::size_t{3});
        for (const auto& [name, report] : wrong.reports)
            QCOMPARE(field(report, "status"), QStringLiteral("Monitor only"));
        QCOMPARE(history(proxyPort).count("(refused) status"), 1);
        QCOMPARE(history(hubPort, SimulatedPark::Kind::Hub).count("(refused) gtv_follow"), 1);
    }

    void headlessFromALayoutAndRender()
    {
        addServer(0, "secret");
        addProxy(0);
        const QString path = dir.filePath(QStringLiteral("park.layout"));
        QString error;
        QVERIFY(layoutfile::saveToFile(*doc, path, error));
        const Run run = runQuorvane({"--headless", "--once", "--json", path});
        QCOMPARE(run.code, 0);
        QCOMPARE(run.reports.size(), std::size_t{2});
        QCOMPARE(field(run.reports.at(loopbackAt(park.serverPorts()[0])), "status"), QStringLiteral("Rcon Controled"));

        // The canvas drawn to a picture of the layout's size.
        const QString picture = dir.filePath(QStringLiteral("render.png"));
        QCOMPARE(runQuorvane({"--render", path, picture}).code, 0);
        QCOMPARE(QImage(picture).size(), RecalcLayout(*doc));

        // A file that is not a layout is reported, and nothing is monitored.
        QFile broken(dir.filePath(QStringLiteral("broken.layout")));
        QVERIFY(broken.open(QIODevice::WriteOnly));
        broken.write("not a layout at all");
        broken.close();
        const Run refused = runQuorvane({"--headless", "--once", broken.fileName()});
        QVERIFY(refused.errors.contains("Unexpected file format."));
        QVERIFY(refused.reports.empty());
        const Run missing = runQuorvane({"--headless", dir.filePath(QStringLiteral("missing.layout"))});
        QCOMPARE(missing.code, 2);
        QVERIFY(missing.errors.contains("Failed to open document."));
    }

    void headlessReportsChangesAndStopsOnSignals()
    {
        for (const int signal : {SIGTERM, SIGINT}) {
            QProcess quorvane;
            quorvane.start(QStringLiteral(QUORVANE_BINARY),
                           {QStringLiteral("--headless"), QStringLiteral("--server"),
                            loopbackAt(park.serverPorts()[1])});
            QVERIFY(quorvane.waitForStarted(5000));
            // The server's first answers change its state: a line is printed.
            QVERIFY(QTest::qWaitFor([&] { return quorvane.readAllStandardOutput().contains("Monitor only"); },
                                    10000));
            ::kill(static_cast<pid_t>(quorvane.processId()), signal);
            QVERIFY(quorvane.waitForFinished(5000));
            QCOMPARE(quorvane.exitStatus(), QProcess::NormalExit);
            QCOMPARE(quorvane.exitCode(), 0);
        }
    }

    // Last: it takes the park down and brings it back.
    void serversReachTheirStatesAndComeBackAfterAKill()
    {
        CHLServer* server = addServer(0, "secret");
        CHLServer* challenged = addServer(1, "");
        CHLTV* proxy = addProxy(0);
        const auto both = [&](CSStatus status) {
            return server->m_nStatus == status && proxy->m_nStatus == status;
        };
        QVERIFY(tickUntil([&] { return server->m_nStatus == CSStatus_CONTROL; }, 6));
        QVERIFY(tickUntil([&] { return both(CSStatus_CONTROL); }, 6));
        QVERIFY(tickUntil([&] { return server->m_bMatchRunning && server->m_nPlayers == 6; }, 6));
        QCOMPARE(server->m_strHostname, std::string("Cup #1"));
        QCOMPARE(server->m_strTeamB, std::string("Blue"));
        QCOMPARE(server->m_nScoreA1, 3);
        // Current queries only, with the challenge: monitored, with its players.
        QVERIFY(tickUntil([&] { return challenged->m_nPlayers == 3; }, 6));
        QCOMPARE(challenged->m_strMap, std::string("cs_italy"));
        QCOMPARE(challenged->m_nStatus, CSStatus_MONITORING);
        QVERIFY(env.op.messages.empty());

        // The server times out in the first second past ten without a reply;
        // the proxy, whose last reply may have come a few seconds later, after it.
        park.kill();
        QVERIFY(tickUntil([&] { return server->m_nStatus == CSStatus_TIMEOUT; }, 15));
        QVERIFY(env.clock.now() - server->m_timeLastReply > 10);
        QVERIFY(env.clock.now() - server->m_timeLastReply <= 11);
        QVERIFY(tickUntil([&] { return both(CSStatus_TIMEOUT); }, 15));

        // The same machines on the same ports: the channels, which saw
        // "port unreachable" meanwhile, take the replies again, and the
        // objects climb back to control with the park's state.
        QVERIFY2(park.restart(), qPrintable(park.errorString()));
        QVERIFY(tickUntil([&] { return both(CSStatus_CONTROL) && server->m_nPlayers == 6; }, 15));
        QCOMPARE(server->m_strHostname, std::string("Cup #1"));
        QCOMPARE(proxy->m_strHostname, std::string("TV classic"));
    }
};

QTEST_GUILESS_MAIN(TestPark)
#include "tst_park.moc"
