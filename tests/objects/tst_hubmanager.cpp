#include "objects/CGTV.h"
#include "objects/HubReplies.h"
#include "objects/OobDatagrams.h"
#include "support/LoopbackPeer.h"
#include "support/TestContext.h"

#include <QImage>
#include <QPainter>
#include <QTest>

Q_DECLARE_METATYPE(std::string)

namespace {

using Sent = std::vector<std::string>;

std::string managerInfo(const std::string& keys)
{
    return oobReply("managerInfoResponse" + keys);
}

std::string hubInfo(const std::string& keys)
{
    return oobReply("hubInfoResponse" + keys);
}

std::vector<int> hubNumbers(const CGTV& manager)
{
    std::vector<int> numbers;
    for (int i = 0; i < manager.m_nHubs; ++i)
        numbers.push_back(manager.m_hubs[static_cast<std::size_t>(i)].m_nHubNum);
    return numbers;
}

} // namespace

class TestHubManager : public QObject
{
    Q_OBJECT

    TestContext env;
    std::unique_ptr<LoopbackPeer> peer;
    std::unique_ptr<CGTV> manager;

private slots:
    void init()
    {
        env.op = ScriptedOperator{};
        env.clock.set(5'000'000);
        peer = std::make_unique<LoopbackPeer>();
        manager = std::make_unique<CGTV>(env.context());
        manager->m_strRconPassword = "pw";
        QVERIFY(peer->attach(*manager));
    }

    void cleanup()
    {
        manager.reset();
        peer.reset();
    }

    void keyValues()
    {
        const std::string text =
            "managerInfoResponse\\hostname\\GTV One\\clients\\-12\\p11t\\x\\p1t\\\\bad\\12ab\\last\\7";
        QCOMPARE(hubs::GetKeyValue(text, "hostname"), std::string("GTV One"));
        QCOMPARE(hubs::GetKeyValue(text, "p1t"), std::string()); // present but empty
        QCOMPARE(hubs::GetKeyValue(text, "p11t"), std::string("x"));
        QCOMPARE(hubs::GetKeyValue(text, "last"), std::string("7")); // runs to the end
        QCOMPARE(hubs::GetKeyInt(text, "clients"), -12);
        QCOMPARE(hubs::GetKeyInt(text, "bad"), 12);
        QCOMPARE(hubs::GetKeyInt(text, "missing"), 0);
    }

    void hubLists_data()
    {
        QTest::addColumn<QByteArray>("keys");
        QTest::addColumn<std::vector<int>>("numbers");
        QTest::addRow("pairs") << QByteArray("\\numHubs\\2\\hubs\\1 0 2 1") << std::vector<int>{1, 2};
        QTest::addRow("leading blanks")
            << QByteArray("\\numHubs\\2\\hubs\\   4 0  5 1") << std::vector<int>{4, 5};
        QTest::addRow("last number without its pair")
            << QByteArray("\\numHubs\\2\\hubs\\1 0 2") << std::vector<int>{1, 8}; // 8: kept from before
        QTest::addRow("blank missing") << QByteArray("\\numHubs\\2\\hubs\\1 02 1") << std::vector<int>{1, 8};
        QTest::addRow("not a number") << QByteArray("\\numHubs\\2\\hubs\\x 0 3 0") << std::vector<int>{7, 3};
        QTest::addRow("no hubs key") << QByteArray("\\numHubs\\2") << std::vector<int>{7, 8};
        QTest::addRow("numHubs 0") << QByteArray("\\numHubs\\0\\hubs\\1 0") << std::vector<int>{};
        QTest::addRow("numHubs -1") << QByteArray("\\numHubs\\-1\\hubs\\1 0") << std::vector<int>{};
        QByteArray list;
        std::vector<int> kept;
        for (int i = 0; i < 40; ++i) {
            list += QByteArray::number(100 + i) + " 0 ";
            if (i < 32)
                kept.push_back(100 + i);
        }
        QTest::addRow("40 hubs, 32 kept") << "\\numHubs\\40\\hubs\\" + list << kept;
    }

    void hubLists()
    {
        QFETCH(QByteArray, keys);
        QFETCH(std::vector<int>, numbers);
        for (int i = 0; i < CGTV::kMaxHubs; ++i)
            manager->m_hubs[static_cast<std::size_t>(i)].m_nHubNum = 7 + i;
        manager->OnReply(managerInfo(keys.toStdString()));
        QCOMPARE(hubNumbers(*manager), numbers);
        QCOMPARE(manager->GetBoxSize(), QSize(120, 83 + 40 * int(numbers.size())));
        QCOMPARE(manager->m_nStatus, CSStatus_MONITORING);
        QCOMPARE(manager->m_timeLastReply, std::int64_t{5'000'000});
    }

    void managerFieldsAndProbe()
    {
        manager->OnReply(managerInfo("\\hostname\\GTV\\clients\\5\\sv_maxclients\\20\\numHubs\\0"));
        QCOMPARE(manager->m_nSvClients, 5);
        // Leaving the timeout sends the probe, as rcon without a challenge.
        QCOMPARE(peer->drain(*manager), Sent{std::string("\xFF\xFF\xFF\xFFrcon \"pw\" gtv_follow\0", 25)});

        manager->OnReply(oobReply("print\n  Following slot 3  \n"));
        QCOMPARE(manager->m_nStatus, CSStatus_CONTROL);
        QCOMPARE(manager->m_log.line(0), std::string("Following slot 3"));
        manager->m_nStatus = CSStatus_FULLCONTROL;
        manager->OnReply(oobReply("print x"));
        QCOMPARE(manager->m_nStatus, CSStatus_FULLCONTROL);
        manager->OnReply(oobReply("nothing we know"));
        QCOMPARE(manager->m_log.count(), 2);
    }

    void hubDetailsAndClickPick()
    {
        manager->OnReply(managerInfo("\\numHubs\\2\\hubs\\4 0 9 0"));
        manager->OnReply(hubInfo("\\hubNum\\9\\desc\\Final\\parent\\127.0.0.1:27015\\following\\3"
                                 "\\p3t\\1\\p3n\\^1Zo^2rro\\p0t\\2\\p0n\\Ann\\p5n\\no team key"));
        const CHubInfo& hub = manager->m_hubs[1];
        QCOMPARE(hub.m_strDesc, std::string("Final"));
        QCOMPARE(hub.m_strParent, std::string("127.0.0.1:27015"));
        QCOMPARE(hub.m_nCount, 2);
        QCOMPARE(hub.m_strNames[0], std::string("Ann"));
        QCOMPARE(hub.m_nSlots[1], 3);
        QCOMPARE(*hub.FollowedName(), std::string("Zorro")); // colour codes taken out

        manager->OnReply(hubInfo("\\hubNum\\9\\p3t\\1\\p3n\\Solo"));
        QCOMPARE(hub.m_nFollowing, -1);
        QCOMPARE(hub.FollowedName(), nullptr);
        QCOMPARE(hub.m_nCount, 1);

        // A hub number of no entry only counts as a reply.
        env.clock.advance(4);
        manager->OnReply(hubInfo("\\hubNum\\77\\desc\\Other"));
        QCOMPARE(manager->m_hubs[0].m_strDesc, std::string());
        QCOMPARE(manager->m_timeLastReply, std::int64_t{5'000'004});

        // A click picks a hub row; a hub that closes is no longer picked.
        manager->OnReply(hubInfo("\\hubNum\\9\\p1t\\a\\p1n\\Twin\\p6t\\b\\p6n\\Twin\\p7t\\c\\p7n\\Other"));
        peer->drain(*manager);
        manager->m_rcBox = {0, 0, 120, 163};
        QImage image(130, 170, QImage::Format_RGB32);
        QPainter painter(&image);
        manager->Draw(painter);
        painter.end();
        const std::pair<int, CHubInfo*> clicks[]{{100, &manager->m_hubs[1]}, {140, nullptr}, {60, &manager->m_hubs[0]}};
        for (const auto& [y, picked] : clicks) {
            manager->OnClick({50, y});
            QCOMPARE(manager->m_pSelectedHub, picked);
        }
        manager->OnClick({50, 100});
        QCOMPARE(manager->GetPlayerNames()[2], std::string("Other"));
        manager->ChangePOV("Twin"); // the first of two equal names
        manager->ChangePOV("Nobody");
        QCOMPARE(peer->drain(*manager),
                 (Sent{oob::hubRconCommand("pw", "gtv_follow 1 9"), oob::hubInfoQuery(9)}));
        manager->OnReply(managerInfo("\\numHubs\\1\\hubs\\4 0"));
        QCOMPARE(manager->m_pSelectedHub, nullptr);
        QCOMPARE(manager->GetPlayerCount(), 0);
        manager->ChangePOV("Twin");
        QCOMPARE(peer->drain(*manager), Sent{});
    }

    // Manager info in the first second of the six, the hubs' in the second.
    void pollCycle()
    {
        manager->m_nPhase = 0;
        manager->m_nHubs = 2;
        manager->m_hubs[0].m_nHubNum = 3;
        manager->m_hubs[1].m_nHubNum = 12;
        const std::vector<Sent> expected{{oob::managerInfoQuery()}, {oob::hubInfoQuery(3), oob::hubInfoQuery(12)},
                                         {}, {}, {}, {}, {oob::managerInfoQuery()}};
        for (const Sent& sent : expected) {
            manager->Tick();
            QCOMPARE(peer->drain(*manager), sent);
        }
        QCOMPARE(oob::hubInfoQuery(12), std::string("\xFF\xFF\xFF\xFFgethubinfo 12\0", 18));
    }

    // A wrong password or a ban refuses the probe: the manager stays in
    // monitoring, keeps the password and sends nothing by rcon until the
    // operator enters one again.
    void refusedProbe_data()
    {
        QTest::addColumn<std::string>("refusal");
        QTest::addColumn<std::string>("notice");
        QTest::addRow("bad password") << std::string("print\nBad rcon_password.\n")
                                      << std::string("Quorvane : Please re-enter the good rcon_password");
        QTest::addRow("banned") << std::string("print\nYou have been banned from this server.\n")
                                << std::string(
                                       "Quorvane : This machine has banned our address. Internal rcon "
                                       "has been disabled until the rcon_password or the address is "
                                       "changed.");
    }

    void refusedProbe()
    {
        QFETCH(std::string, refusal);
        QFETCH(std::string, notice);
        manager->OnReply(managerInfo("\\numHubs\\0"));
        peer->drain(*manager);
        manager->OnReply(oobReply(refusal));
        QCOMPARE(manager->m_nStatus, CSStatus_MONITORING);
        QCOMPARE(manager->m_strRconPassword, std::string("pw"));
        QCOMPARE(manager->m_log.line(manager->m_log.count() - 1), notice);
        const int lines = manager->m_log.count();

        // Back from a timeout: no probe; no command either.
        env.clock.advance(11);
        manager->m_nPhase = 0;
        manager->Tick();
        manager->OnReply(managerInfo("\\numHubs\\0"));
        manager->DropOn(manager.get());
        QCOMPARE(manager->m_nStatus, CSStatus_MONITORING);
        QCOMPARE(peer->drain(*manager), Sent{oob::managerInfoQuery()});
        QCOMPARE(manager->m_log.count(), lines);

        manager->SetRconPassword("pw2");
        QCOMPARE(peer->drain(*manager), Sent{oob::hubRconCommand("pw2", "gtv_follow")});
        manager->OnReply(oobReply("print\nFollowing nobody on hub 1\n"));
        QCOMPARE(manager->m_nStatus, CSStatus_CONTROL);
    }

    void dropAndCommandsNeedAPassword()
    {
        CCommonObject target(env.context());
        target.m_strAddress = "127.0.0.1";
        target.m_nPort = 27015;
        manager->DropOn(&target);
        manager->DropOn(nullptr);
        QCOMPARE(peer->drain(*manager), Sent{oob::hubRconCommand("pw", "gtv_connect 127.0.0.1:27015")});
        manager->m_strRconPassword.clear();
        manager->DropOn(&target);
        QCOMPARE(peer->drain(*manager), Sent{});
        QVERIFY(!manager->CanDrag()); // not under control
        manager->SetStatus(CSStatus_CONTROL);
        QVERIFY(manager->CanDrag());
    }
};

QTEST_MAIN(TestHubManager)
#include "tst_hubmanager.moc"
