// Which machines are in trouble and how the window counts them: down, relay
// lost and unreachable, gathered into bursts, on the injected clock.
#include "layout/DownWatch.h"
#include "objects/CHLTV.h"
#include "support/TestContext.h"

#include <QTest>

class TestTroubleWatch : public QObject
{
    Q_OBJECT

    TestContext env;
    std::vector<std::unique_ptr<CCommonObject>> objects;

    CHLTV& addProxy(int port)
    {
        auto proxy = std::make_unique<CHLTV>(env.context());
        proxy->m_strAddress = "127.0.0.1";
        proxy->m_nPort = port;
        proxy->m_timeWatchedSince = env.clock.now();
        objects.push_back(std::move(proxy));
        return static_cast<CHLTV&>(*objects.back());
    }
    static void answer(CCommonObject& object, std::int64_t now, CSStatus status = CSStatus_CONTROL)
    {
        object.m_nStatus = status;
        object.m_timeLastReply = now;
    }

private slots:
    void init()
    {
        objects.clear();
        env.clock.set(1'000'000);
    }

    void kindsAreToldApartAndCountedOnce()
    {
        CHLTV& down = addProxy(27001);
        CHLTV& lost = addProxy(27002);
        CHLTV& fresh = addProxy(27003);
        CHLTV& silent = addProxy(27004);
        CHLTV& monitored = addProxy(27005);
        answer(down, env.clock.now(), CSStatus_TIMEOUT);
        answer(lost, env.clock.now());
        lost.m_strWantedUpstream = "127.0.0.1:27015";
        lost.m_timeNotConnectedSince = env.clock.now();
        // Not relaying without rcon says nothing about the relay.
        answer(monitored, env.clock.now(), CSStatus_MONITORING);
        monitored.m_timeNotConnectedSince = env.clock.now();

        QCOMPARE(troubleOf(down), Trouble::Down);
        QCOMPARE(troubleOf(lost), Trouble::RelayLost);
        QCOMPARE(troubleOf(monitored), Trouble::None);
        // Two poll cycles before a machine that never answered is trouble.
        env.clock.advance(CCommonObject::kUnreachableSeconds);
        QCOMPARE(troubleOf(fresh), Trouble::None);
        env.clock.advance(1);
        QCOMPARE(troubleOf(silent), Trouble::Unreachable);

        const TroubleCount count = countTrouble(objects);
        QCOMPARE(count.down, 1);
        QCOMPARE(count.relayLost, 1);
        QCOMPARE(count.unreachable, 2);
        QCOMPARE(count.total(), 4);
        QCOMPARE(count.words(), std::string("1 down, 1 relay lost, 2 unreachable"));
        QCOMPARE(TroubleCount{}.words(), std::string());
        QCOMPARE((TroubleCount{0, 3, 0}.words()), std::string("3 relay lost"));
    }

    void oneBurstForServersDownAndTheirProxiesLost()
    {
        CHLTV& server = addProxy(27001); // any object goes down the same way
        CHLTV& proxy = addProxy(27002);
        answer(server, env.clock.now());
        answer(proxy, env.clock.now());
        proxy.m_strWantedUpstream = server.GetName();
        DownWatch watch;
        QVERIFY(!watch.Update(objects, env.clock.now()));

        server.m_nStatus = CSStatus_TIMEOUT;
        QVERIFY(!watch.Update(objects, env.clock.now()));
        env.clock.advance(2);
        proxy.m_timeNotConnectedSince = env.clock.now();
        QVERIFY(!watch.Update(objects, env.clock.now()));
        QCOMPARE(watch.Count().words(), std::string("1 down, 1 relay lost"));
        // The burst closes once nothing changed for the settle time.
        env.clock.advance(DownWatch::kSettleSeconds - 1);
        QVERIFY(!watch.Update(objects, env.clock.now()));
        env.clock.advance(1);
        const auto burst = watch.Update(objects, env.clock.now());
        QVERIFY(burst);
        QCOMPARE(burst->wentDown, std::vector<std::string>{server.GetName()});
        QCOMPARE(burst->relayLost, std::vector<std::string>{proxy.GetName()});
        QVERIFY(burst->relayBack.empty());
        QCOMPARE(burst->now.total(), 2);
        QVERIFY(!watch.Update(objects, env.clock.now()));

        // Back within one burst: lost and back cancel out, nothing to tell.
        proxy.m_timeNotConnectedSince = 0;
        QVERIFY(!watch.Update(objects, env.clock.now()));
        env.clock.advance(DownWatch::kSettleSeconds);
        const auto back = watch.Update(objects, env.clock.now());
        QVERIFY(back);
        QCOMPARE(back->relayBack, std::vector<std::string>{proxy.GetName()});
        QCOMPARE(back->now.words(), std::string("1 down"));

        proxy.m_timeNotConnectedSince = env.clock.now();
        QVERIFY(!watch.Update(objects, env.clock.now()));
        proxy.m_timeNotConnectedSince = 0;
        env.clock.advance(DownWatch::kSettleSeconds);
        QVERIFY(!watch.Update(objects, env.clock.now()));

        // A deleted machine leaves the count without an alert.
        objects.erase(objects.begin());
        QVERIFY(!watch.Update(objects, env.clock.now()));
        QCOMPARE(watch.Count().total(), 0);
    }
};

QTEST_GUILESS_MAIN(TestTroubleWatch)
#include "tst_troublewatch.moc"
