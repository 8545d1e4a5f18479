// The park's bans end to end against the simulated park: a ban reaches
// every server of its scope and a server restarted afterwards gets it back
// within a poll cycle; an unban goes everywhere and does not come back; the
// ledger keeps both for the next run; values that could end an argument
// never reach a server.
#include "layout/CQuorvaneDoc.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerQuery.h"
#include "objects/CHLServer.h"
#include "support/SimulatedPark.h"
#include "support/TestContext.h"
#include "support/TickUntil.h"

#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <optional>

namespace {

const char* const kParkConfig = R"({
  "seed": 23,
  "servers": [
    {"hostname": "Cup #1", "rcon": "secret", "players": 3, "moves": false},
    {"hostname": "Cup #2", "rcon": "secret", "players": 0, "moves": false},
    {"hostname": "Public", "rcon": "secret", "players": 0, "moves": false}
  ]
})";

constexpr const char* kSteamId = "STEAM_0:1:4242";
// A poll cycle for the restarted server to be taken back under rcon, and
// one more for its lists to be compared.
constexpr int kHealTicks = 14;

} // namespace

class TestBansPark : public QObject
{
    Q_OBJECT

    TestContext env;
    SimulatedPark park;
    QTemporaryDir dir;

    QByteArray listing(int server, const QByteArray& command)
    {
        return ParkProbe(park.serverPorts()[server]).rcon("secret", command).value_or("no answer");
    }

    QByteArray history(int server)
    {
        return ParkProbe(park.serverPorts()[server]).control("sim_history").value_or("no answer");
    }

    // The three servers, two in the "LAN Local" zone and one in "Internet";
    // empty unless the first `underRcon` are under rcon within a poll cycle.
    std::vector<CHLServer*> addServers(CQuorvaneDoc& doc, int underRcon = 3)
    {
        std::vector<CHLServer*> servers;
        for (int i = 0; i < 3; ++i)
            servers.push_back(static_cast<CHLServer*>(doc.AddServer(
                "127.0.0.1", park.serverPorts()[i], "secret", doc.m_groups[i < 2 ? 0 : 2].get())));
        const bool controlled = ::tickUntil(
            env.clock, doc,
            [&] {
                return std::all_of(servers.begin(), servers.begin() + underRcon,
                                   [](CHLServer* s) { return s->m_nStatus == CSStatus_CONTROL; });
            },
            12);
        return controlled ? servers : std::vector<CHLServer*>{};
    }

    void idle(CQuorvaneDoc& doc, int ticks)
    {
        for (int tick = 0; tick < ticks; ++tick) {
            env.clock.advance(1);
            doc.TickSecond();
            QTest::qWait(100);
        }
    }

    bool allInState(const CQuorvaneDoc& doc, const std::string& key, ParkBans::State state,
                    std::size_t servers)
    {
        const ParkBans::Ban* ban = doc.bans().Find(key);
        return ban && ban->servers.size() == servers &&
               std::all_of(ban->servers.begin(), ban->servers.end(),
                           [state](const auto& entry) { return entry.second == state; });
    }

    // Ticks until the server's own list holds (or lacks) text.
    bool tickUntilListed(CQuorvaneDoc& doc, int server, const QByteArray& command, const QByteArray& text,
                         bool held, int ticks)
    {
        for (int tick = 0; tick < ticks; ++tick) {
            env.clock.advance(1);
            doc.TickSecond();
            QTest::qWait(150);
            if (listing(server, command).contains(text) == held)
                return true;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY2(park.startWithConfig(kParkConfig), qPrintable(park.errorString()));
    }

    void banSyncUnbanAndTheLedger()
    {
        Ledger::Options options;
        options.settings.target.path = dir.filePath(QStringLiteral("ledger.sqlite"));
        options.settings.instance = QStringLiteral("bans test");
        options.threaded = false;
        Ledger ledger(options, env.clock);
        auto doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        doc->AttachLedger(&ledger);
        const std::vector<CHLServer*> servers = addServers(*doc);
        QVERIFY(!servers.empty());

        CQuorvaneDoc::BanRequest request;
        request.steamId = kSteamId;
        request.name = "<b>eve</b>";
        request.reason = "wallhack";
        request.scope = BanScope::Kind::Park;
        QVERIFY(doc->BanPlayer(*servers[0], request));
        QCOMPARE(doc->bans().bans().size(), std::size_t(1));
        const std::string parkKey = doc->bans().bans().back().key;
        QVERIFY(::tickUntil(
            env.clock, *doc, [&] { return allInState(*doc, parkKey, ParkBans::State::Applied, 3); }, 6));
        for (int i = 0; i < 3; ++i) {
            QVERIFY(listing(i, "listid").contains(kSteamId));
            QVERIFY(history(i).contains("writeid"));
        }

        // By address, on the zone of server 0 only: a player without a SteamID of his own.
        CQuorvaneDoc::BanRequest byIp;
        byIp.steamId = "STEAM_ID_LAN";
        byIp.ip = "127.0.0.9";
        byIp.userId = 2;
        byIp.scope = BanScope::Kind::Zone;
        QVERIFY(doc->BanPlayer(*servers[0], byIp));
        const std::string zoneKey = doc->bans().bans().back().key;
        QVERIFY(::tickUntil(
            env.clock, *doc, [&] { return allInState(*doc, zoneKey, ParkBans::State::Applied, 2); }, 6));
        QVERIFY(listing(1, "listip").contains("127.  0.  0.  9"));
        QVERIFY(!listing(2, "listip").contains("127.  0.  0.  9"));
        QVERIFY(history(0).contains("kick #2"));

        // A restart forgets every ban; the park gives them back.
        QVERIFY(ParkProbe(park.serverPorts()[1]).control("sim_restart"));
        QTest::qWait(400);
        QVERIFY(listing(1, "listid").contains("UserID filter list: empty"));
        QVERIFY(tickUntilListed(*doc, 1, "listid", kSteamId, true, kHealTicks));
        QVERIFY(tickUntilListed(*doc, 1, "listip", "127.  0.  0.  9", true, 3));

        // The unban goes everywhere, and stays after another restart.
        QVERIFY(doc->Unban(parkKey));
        QVERIFY(!doc->Unban(parkKey));
        QVERIFY(::tickUntil(
            env.clock, *doc, [&] { return allInState(*doc, parkKey, ParkBans::State::Lifted, 3); }, 6));
        for (int i = 0; i < 3; ++i)
            QVERIFY(!listing(i, "listid").contains(kSteamId));
        QVERIFY(history(2).contains("removeid " + QByteArray(kSteamId)));
        QVERIFY(ParkProbe(park.serverPorts()[2]).control("sim_restart"));
        QTest::qWait(400);
        idle(*doc, kHealTicks);
        QVERIFY(servers[2]->m_nStatus == CSStatus_CONTROL);
        QVERIFY(!listing(2, "listid").contains(kSteamId));
        QVERIFY(allInState(*doc, parkKey, ParkBans::State::Lifted, 3));

        // The next run finds both in the ledger, the unban with them.
        for (int i = 0; i < 20 && ledger.queued() > 0; ++i)
            ledger.pump();
        QCOMPARE(ledger.queued(), std::size_t(0));
        // `quorvane ledger bans` lists both, each with where every server of its scope stands.
        QString error;
        LedgerQuery::Filter byReason;
        byReason.find = QStringLiteral("WALLHACK");
        const auto listed = LedgerQuery::run(options.settings.target, LedgerQuery::Kind::Bans, byReason, error);
        QVERIFY2(listed && listed->rows.size() == 1, qPrintable(error));
        const auto column = [&](const char* name) { return listed->columns.indexOf(QLatin1String(name)); };
        QCOMPARE(listed->rows[0][column("target")].toString(), QString::fromLatin1(kSteamId));
        QVERIFY(listed->rows[0][column("lifted_at")].toLongLong() > 0);
        QCOMPARE(listed->rows[0][column("servers")].toString().count(QLatin1String(" lifted")), 3);
        const auto both = LedgerQuery::run(options.settings.target, LedgerQuery::Kind::Bans, {}, error);
        QVERIFY2(both && both->rows.size() == 2, qPrintable(error));
        QCOMPARE(both->rows[1][column("servers")].toString().count(QLatin1String(" applied")), 2);
        doc.reset();
        auto next = std::make_unique<CQuorvaneDoc>(env.context());
        next->OnNewDocument();
        next->AttachLedger(&ledger);
        QVERIFY(QTest::qWaitFor(
            [&] {
                next->TickSecond();
                return next->bans().bans().size() == 2;
            },
            5000));
        const ParkBans::Ban* lifted = next->bans().Find(parkKey);
        QVERIFY(lifted && lifted->lifted());
        QCOMPARE(lifted->name, std::string("<b>eve</b>"));
        QCOMPARE(lifted->reason, std::string("wallhack"));
        QCOMPARE(lifted->servers.size(), std::size_t(3));
        const ParkBans::Ban* zone = next->bans().Find(zoneKey);
        QVERIFY(zone && !zone->lifted() && zone->byIp);
        QCOMPARE(zone->scope.text(), std::string("zone LAN Local"));
    }

    // Then a ban for one minute: on the server, and gone from the list once expired.
    void unsafeValuesNeverReachAServerAndExpiredBansLeave()
    {
        CQuorvaneDoc doc(env.context());
        doc.OnNewDocument();
        const std::vector<CHLServer*> servers = addServers(doc, 1);
        QVERIFY(!servers.empty());
        QVERIFY(ParkProbe(park.serverPorts()[0]).control("sim_history clear"));
        const std::size_t before = env.op.messages.size();
        for (const std::string& bad : {std::string("\""), std::string(";quit"), std::string("\rquit"),
                                       std::string("\nquit"), std::string(1, '\0') + "quit"}) {
            CQuorvaneDoc::BanRequest request;
            request.steamId = "STEAM_0:1:5" + bad;
            request.ip = "127.0.0.5" + bad;
            request.userId = 1;
            request.scope = BanScope::Kind::Park;
            QVERIFY(!doc.BanPlayer(*servers[0], request));
            QVERIFY(!doc.BanAddressOnPark("127.0.0.6" + bad, 0, "attack"));
        }
        QCOMPARE(env.op.messages.size(), before + 10);
        QVERIFY(doc.bans().bans().empty());
        idle(doc, 3);
        const QByteArray sent = history(0);
        QVERIFY2(!sent.contains("banid") && !sent.contains("addip") && !sent.contains("quit"), sent.constData());

        QVERIFY(doc.BanAddressOnPark("127.0.0.8", 1, "one minute"));
        QVERIFY(::tickUntil(
            env.clock, doc, [&] { return listing(0, "listip").contains("127.  0.  0.  8"); }, 6));
        env.clock.advance(60);
        doc.TickSecond();
        QVERIFY(doc.bans().bans().empty());
    }

    // A server whose list takes no more is failed after its attempts, never
    // shown applied; taken back under rcon after a restart, it is tried again.
    void aServerThatTakesNoBanIsFailedThenTriedAgain()
    {
        CQuorvaneDoc doc(env.context());
        doc.OnNewDocument();
        QVERIFY(!addServers(doc).empty());
        QVERIFY(ParkProbe(park.serverPorts()[2]).control("sim_banfull 1"));
        QVERIFY(doc.BanAddressOnPark("127.0.0.7", 0, "flood"));
        const std::string key = doc.bans().bans().back().key;
        const std::string full = "127.0.0.1:" + std::to_string(park.serverPorts()[2]);
        const auto stateOf = [&](const std::string& server) -> std::optional<ParkBans::State> {
            const ParkBans::Ban* ban = doc.bans().Find(key);
            if (!ban || !ban->servers.count(server))
                return std::nullopt;
            return ban->servers.at(server);
        };
        QVERIFY(::tickUntil(
            env.clock, doc, [&] { return stateOf(full) == ParkBans::State::Failed; }, 20));
        QCOMPARE(stateOf("127.0.0.1:" + std::to_string(park.serverPorts()[0])), ParkBans::State::Applied);
        QVERIFY(!listing(2, "listip").contains("127.  0.  0.  7"));

        QVERIFY(ParkProbe(park.serverPorts()[2]).control("sim_banfull 0"));
        QVERIFY(ParkProbe(park.serverPorts()[2]).control("sim_restart"));
        QTest::qWait(400);
        QVERIFY(tickUntilListed(doc, 2, "listip", "127.  0.  0.  7", true, kHealTicks));
        QVERIFY(::tickUntil(
            env.clock, doc, [&] { return stateOf(full) == ParkBans::State::Applied; }, 6));
        QVERIFY(doc.Unban(key));
        QVERIFY(::tickUntil(
            env.clock, doc, [&] { return allInState(doc, key, ParkBans::State::Lifted, 3); }, 6));
    }
};

QTEST_GUILESS_MAIN(TestBansPark)
#include "tst_banspark.moc"
