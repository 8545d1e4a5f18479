// The relay chain end to end against the simulated park: a proxy whose
// server goes away is relay lost and is connected again; a refused
// recording, a recording that ends during the match, a refused password and
// a machine that never answers are told, not left on a console line.
#include "core/Clock.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/CommandIds.h"
#include "ledger/Ledger.h"
#include "objects/CHLTV.h"
#include "objects/ObjectReport.h"
#include "support/LoopbackPorts.h"
#include "support/SimulatedPark.h"
#include "support/TestContext.h"
#include "support/TickUntil.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char* const kParkConfig = R"({
  "seed": 11,
  "servers": [
    {"hostname": "Cup #1", "map": "de_dust2", "rcon": "secret", "players": 6, "max_players": 12, "moves": false,
     "match": {"state": 2, "team_a": "Red", "team_b": "Blue", "moves": false}}
  ],
  "proxies": [
    {"hostname": "TV classic", "style": "old", "rcon": "tv", "moves": false},
    {"hostname": "TV current", "style": "current", "framing": "backtick", "rcon": "tv", "moves": false},
    {"hostname": "TV at start", "style": "current", "rcon": "tv", "moves": false, "connect": "server:0"}
  ]
})";

bool consoleHas(const CCommonObject& object, const std::string& text)
{
    for (int i = 0; i < object.m_log.count(); ++i)
        if (object.m_log.line(i).find(text) != std::string::npos)
            return true;
    return false;
}

} // namespace

class TestRelayChain : public QObject
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
    std::string serverName() const { return loopbackAt(park.serverPorts()[0]).toStdString(); }
    CHLServer* addServer(const std::string& password = "secret", int port = 0)
    {
        return static_cast<CHLServer*>(doc->AddServer("127.0.0.1", port ? port : park.serverPorts()[0],
                                                      password, doc->m_groups[0].get()));
    }
    CHLTV* addProxy(int index)
    {
        const int port = park.proxyPorts()[index];
        return static_cast<CHLTV*>(doc->AddProxy("127.0.0.1", port, doc->m_groups[1].get(), "tv", "",
                                                 "127.0.0.1", port, true, false));
    }
    QByteArray history(int proxyIndex)
    {
        return ParkProbe(park.proxyPorts()[proxyIndex]).control("sim_history").value_or(QByteArray());
    }
    // A server under rcon and a proxy that relays it.
    std::pair<CHLServer*, CHLTV*> relayed(int proxyIndex)
    {
        ParkProbe(park.proxyPorts()[proxyIndex]).control("sim_history clear");
        CHLServer* server = addServer();
        CHLTV* proxy = addProxy(proxyIndex);
        if (!tickUntil([&] { return proxy->m_nStatus == CSStatus_CONTROL && server->m_bMatchRunning; }, 14))
            return {nullptr, nullptr};
        proxy->DropOn(server);
        if (!tickUntil([&] { return proxy->m_strLinkedAddress == serverName(); }, 8))
            return {nullptr, nullptr};
        return {server, proxy};
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY2(park.startWithConfig(kParkConfig), qPrintable(park.errorString()));
    }

    void init()
    {
        env.op = ScriptedOperator{};
        env.clock.set(1'000'000);
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
    }

    void cleanup()
    {
        for (quint16 port : park.proxyPorts())
            ParkProbe(port).rcon("tv", "autoretry 1");
        doc.reset();
    }

    void relayLostIsToldAndHealed_data()
    {
        QTest::addColumn<int>("proxyIndex");
        QTest::addRow("classic status") << 0;
        QTest::addRow("current status") << 1;
    }

    void relayLostIsToldAndHealed()
    {
        QFETCH(int, proxyIndex);
        auto [server, proxy] = relayed(proxyIndex);
        QVERIFY(proxy);
        QCOMPARE(proxy->m_strWantedUpstream, serverName());
        // The proxy would try again by itself; here the program must.
        proxy->SendCommand("autoretry 0");
        std::vector<DownWatch::Burst> bursts;
        connect(doc.get(), &CQuorvaneDoc::downBurst, this,
                [&bursts](const DownWatch::Burst& burst) { bursts.push_back(burst); });

        ParkProbe serverProbe(park.serverPorts()[0]);
        QVERIFY(serverProbe.control("sim_silence 1"));
        const std::int64_t silenced = env.clock.now();
        QVERIFY(tickUntil([&] { return proxy->IsRelayLost(); }, 14));
        QVERIFY2(env.clock.now() - silenced <= 12, "relay lost within two polls of the proxy saying so");
        QVERIFY(tickUntil([&] { return doc->TroubleNow().relayLost == 1; }, 2));
        QJsonObject report = describeObject(*proxy);
        QCOMPARE(report.value(QLatin1String("relaying")).toBool(true), false);
        QVERIFY(proxy->RelaysNothing());

        // One alert names the server down and the proxy that lost it.
        QVERIFY(tickUntil([&] { return !bursts.empty(); }, 16));
        const DownWatch::Burst burst = bursts.back();
        QCOMPARE(burst.wentDown, std::vector<std::string>{serverName()});
        QCOMPARE(burst.relayLost, std::vector<std::string>{proxy->GetName()});
        QCOMPARE(burst.now.words(), std::string("1 down, 1 relay lost"));
        // Not towards a server that does not answer.
        QVERIFY(!consoleHas(*proxy, "relay lost, connecting"));

        QVERIFY(serverProbe.control("sim_silence 0"));
        // Relays again within 70 s.
        QVERIFY(tickUntil([&] { return proxy->m_strLinkedAddress == serverName(); }, 70));
        QVERIFY(consoleHas(*proxy, "relay lost, connecting to " + serverName() + " again"));
        QVERIFY(!proxy->IsRelayLost());
        QCOMPARE(describeObject(*proxy).value(QLatin1String("relaying")).toBool(false), true);
        QVERIFY(tickUntil([&] { return doc->TroubleNow().total() == 0; }, 3));
    }

    void reconnectAutomaticallyOffWaitsForTheOperator()
    {
        auto [server, proxy] = relayed(0);
        QVERIFY(proxy);
        proxy->SendCommand("autoretry 0");
        doc->SetReconnectAuto(*proxy, false);
        ParkProbe serverProbe(park.serverPorts()[0]);
        QVERIFY(serverProbe.control("sim_silence 1"));
        QVERIFY(tickUntil([&] { return proxy->IsRelayLost(); }, 14));
        QVERIFY(serverProbe.control("sim_silence 0"));
        QVERIFY(tickUntil([&] { return server->m_nStatus == CSStatus_CONTROL; }, 14));
        QVERIFY(!tickUntil([&] { return !proxy->IsRelayLost(); }, CQuorvaneDoc::kHealAfterSeconds + 8));
        QVERIFY(!consoleHas(*proxy, "relay lost, connecting"));

        doc->m_pSelectedObject = proxy;
        doc->ReconnectNow(*proxy);
        QVERIFY(tickUntil([&] { return proxy->m_strLinkedAddress == serverName(); }, 8));

        // Disconnected on purpose: not lost, nothing to heal.
        doc->OnCommand(ID_HLTV_DISCONNECT);
        QVERIFY(tickUntil([&] { return proxy->RelaysNothing(); }, 8));
        QVERIFY(!proxy->IsRelayLost());
        QCOMPARE(doc->TroubleNow().total(), 0);
    }

    void relayPlanSurvivesARestart()
    {
        Ledger::Options options;
        options.settings.target.path = dir.filePath(QStringLiteral("relay.sqlite"));
        options.settings.instance = QStringLiteral("test");
        options.threaded = false;
        {
            Ledger ledger(options, env.clock);
            doc->AttachLedger(&ledger);
            auto [server, proxy] = relayed(0);
            QVERIFY(proxy);
            doc->TickSecond();
            QVERIFY(ledger.pump());
            doc.reset();
        }
        // Meanwhile the proxy lost its server and gave up.
        QVERIFY(ParkProbe(park.proxyPorts()[0]).rcon("tv", "disconnect"));

        Ledger ledger(options, env.clock);
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        doc->AttachLedger(&ledger);
        addServer();
        CHLTV* proxy = addProxy(0);
        QVERIFY(tickUntil([&] { return proxy->IsRelayLost(); }, 14));
        QCOMPARE(proxy->m_strWantedUpstream, serverName());
        QVERIFY(tickUntil([&] { return proxy->m_strLinkedAddress == serverName(); }, 40));
        doc.reset();
    }

    void recordingTroubleIsTold()
    {
        CHLServer* server = addServer();
        CHLTV* proxy = addProxy(0);
        QVERIFY(tickUntil([&] { return proxy->StatusRead() && server->m_bMatchRunning; }, 14));
        proxy->SendCommand("disconnect");
        QVERIFY(tickUntil([&] { return proxy->RelaysNothing(); }, 8));
        QSignalSpy notices(doc.get(), &CQuorvaneDoc::machineNotice);
        proxy->SendCommand("record refused");
        QVERIFY(tickUntil([&] { return !notices.isEmpty(); }, 3));
        QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("Recording refused"));
        QVERIFY(notices.at(0).at(1).toString().contains(QLatin1String("Cannot record, not connected")));
        notices.clear();

        proxy->DropOn(server);
        QVERIFY(tickUntil([&] { return proxy->m_strLinkedAddress == serverName(); }, 8));
        proxy->SendCommand("record cup");
        QVERIFY(tickUntil([&] { return !proxy->m_strRecordFile.empty(); }, 8));
        QVERIFY(notices.isEmpty());
        // Stopped behind the program's back while the match runs.
        QVERIFY(ParkProbe(park.proxyPorts()[0]).rcon("tv", "stoprecord"));
        env.clock.advance(60);
        QVERIFY(tickUntil([&] { return !notices.isEmpty(); }, 8));
        QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("Recording ended during a match"));
        QVERIFY(notices.at(0).at(1).toString().contains(QLatin1String("cup.dem")));
        proxy->SendCommand("disconnect");
    }

    void refusedPasswordAndSilenceAreTold()
    {
        QSignalSpy notices(doc.get(), &CQuorvaneDoc::machineNotice);
        CHLServer* refused = addServer("wrong");
        CCommonObject* silent = addServer("", unusedUdpPort());
        QVERIFY(tickUntil([&] { return refused->PasswordRefused(); }, 14));
        QVERIFY(tickUntil([&] { return !notices.isEmpty(); }, 2));
        QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("Password refused"));
        QCOMPARE(describeObject(*refused).value(QLatin1String("password")).toString(),
                 QStringLiteral("refused"));
        QVERIFY(tickUntil([&] { return silent->IsUnreachable(); }, 14));
        QVERIFY(tickUntil([&] { return doc->TroubleNow().unreachable == 1; }, 2));
        QCOMPARE(doc->TroubleNow().words(), std::string("1 unreachable"));
        // Told once, not at every poll.
        QVERIFY(!tickUntil([&] { return notices.size() > 1; }, 8));
    }

    void headlessReportsTheRelay()
    {
        // The third proxy relays the server from the start; headless, the
        // proxy's own retry brings it back.
        const QString proxyName = loopbackAt(park.proxyPorts()[2]);
        QProcess quorvane;
        quorvane.start(QStringLiteral(QUORVANE_BINARY),
                       {"--headless", "--json", "--no-ledger", "--server", loopbackAt(park.serverPorts()[0]),
                        "--rcon", "secret", "--proxy", proxyName, "--rcon", "tv"});
        QVERIFY(quorvane.waitForStarted());
        QByteArray output;
        const auto saw = [&](const char* relaying) {
            output += quorvane.readAllStandardOutput();
            for (const QByteArray& line : output.split('\n')) {
                const QJsonObject report = QJsonDocument::fromJson(line).object();
                if (report.value(QLatin1String("object")).toString() == proxyName &&
                    QJsonDocument(QJsonObject{{"r", report.value(QLatin1String("relaying"))}})
                        .toJson(QJsonDocument::Compact)
                        .contains(relaying))
                    return true;
            }
            return false;
        };
        QVERIFY(QTest::qWaitFor([&] { return saw("true"); }, 20000));
        output.clear();
        ParkProbe serverProbe(park.serverPorts()[0]);
        QVERIFY(serverProbe.control("sim_silence 1"));
        QVERIFY(QTest::qWaitFor([&] { return saw("false"); }, 20000));
        output.clear();
        QVERIFY(serverProbe.control("sim_silence 0"));
        QVERIFY(QTest::qWaitFor([&] { return saw("true"); }, 70000));
        quorvane.terminate();
        QVERIFY(quorvane.waitForFinished(10000));
    }
};

QTEST_MAIN(TestRelayChain)
#include "tst_relaychain.moc"
