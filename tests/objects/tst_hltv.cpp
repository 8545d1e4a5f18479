#include "layout/CGroup.h"
#include "objects/CHLTV.h"
#include "objects/OobDatagrams.h"
#include "support/LoopbackPeer.h"
#include "support/TestContext.h"

#include <QImage>
#include <QPainter>
#include <QTest>

Q_DECLARE_METATYPE(std::string)

namespace {

using Sent = std::vector<std::string>;

std::string rcon(const std::string& command, std::uint32_t challenge = 0)
{
    return oob::rconCommand(challenge, "pw", command);
}

} // namespace

class TestHLTV : public QObject
{
    Q_OBJECT

    TestContext env;
    std::unique_ptr<LoopbackPeer> peer;
    std::unique_ptr<CHLTV> proxy;
    CZone lan, internet;
    CGroup lanGroup, otherLanGroup, internetGroup;

    std::unique_ptr<CHLTV> makeProxy(const std::string& address, int port, CGroup* group)
    {
        auto made = std::make_unique<CHLTV>(env.context());
        made->m_strAddress = address;
        made->m_nPort = port;
        made->m_pGroup = group;
        return made;
    }

private slots:
    void initTestCase()
    {
        qputenv("TZ", "UTC");
        tzset();
        lanGroup.m_pZone = &lan;
        otherLanGroup.m_pZone = &lan;
        internetGroup.m_pZone = &internet;
    }

    void init()
    {
        env.op = ScriptedOperator{};
        env.clock.set(1055624700); // 2003-06-14 21:05 UTC
        peer = std::make_unique<LoopbackPeer>();
        proxy = std::make_unique<CHLTV>(env.context());
        proxy->m_strRconPassword = "pw";
        proxy->m_pGroup = &lanGroup;
        QVERIFY(peer->attach(*proxy));
    }

    void cleanup()
    {
        proxy.reset();
        peer.reset();
    }

    // A proxy answers the classic details query: from then on it is asked
    // only the classic queries.
    void proxyKeptOnTheClassicQueries()
    {
        proxy->m_strRconPassword.clear();
        proxy->Tick();
        QCOMPARE(peer->drain(*proxy), (Sent{oob::detailsQuery(), oob::infoQuery(std::nullopt)}));
        proxy->OnReply(oobReply(std::string("m127.0.0.1:27020\0HLTV\0de_dust2\0cstrike\0Game\0\x03", 45)));
        QCOMPARE(proxy->m_nBitmapId, 153); // a game directory does not change a proxy's picture
        QCOMPARE(proxy->m_nStatus, CSStatus_MONITORING);
        for (int phase = 1; phase <= 6; ++phase)
            proxy->Tick();
        // Step 3 asks for the rcon challenge whatever the password.
        QCOMPARE(peer->drain(*proxy),
                 (Sent{oob::playersQuery(), oob::challengeQuery(), oob::detailsQuery()}));
    }

    // The challenge of phase 3 (proxyKeptOnTheClassicQueries) asks for "status".
    void pollCycleAndStatusText()
    {
        proxy->OnReply(oobReply("cchallenge rcon 42\n"));
        QCOMPARE(proxy->m_nStatus, CSStatus_TIMEOUT); // no control from the challenge itself
        QCOMPARE(peer->drain(*proxy), Sent{rcon("status", 42)});

        proxy->OnReply(
            oobReply("l----- Status -----\nName HLTV, Clients 3/16\n"
                     "HLTV proxy connected to 127.0.0.1:27015, delay\nRecording to cup.dem (5 sec)\n"));
        QCOMPARE(proxy->m_nStatus, CSStatus_CONTROL);
        QCOMPARE(proxy->m_nMaxClients, 16);
        QCOMPARE(proxy->m_strLinkedAddress, std::string("127.0.0.1:27015"));
        QCOMPARE(proxy->m_strRecordFile, std::string("cup.dem"));
        QCOMPARE(proxy->m_log.count(), 4);
        // Another command's echo leaves the recording (a status text without
        // one ends it: framingByteBeforeTheText).
        proxy->OnReply(oobReply("lrecording started\n"));
        QCOMPARE(proxy->m_strRecordFile, std::string("cup.dem"));

        // Players 'D' over the limit change nothing but still count as a reply.
        env.clock.advance(3);
        proxy->OnReply(oobReply("D\x21"));
        QCOMPARE(proxy->m_timeLastReply, std::int64_t{1055624703});
        // A proxy that only answers pings times out.
        env.clock.advance(11);
        proxy->OnReply(oobReply("j"));
        proxy->Tick();
        QCOMPARE(proxy->m_nStatus, CSStatus_TIMEOUT);
    }

    // A proxy is named by either address; one dropped on it is joined by
    // the address its zone reaches. A drop on another game server links the
    // proxy to it at once, also when it relayed a server before.
    void dropOnProxyOrServer()
    {
        proxy->m_strExternalAddress = "127.0.113.9";
        proxy->m_nExternalPort = 27021;
        QVERIFY(proxy->IsNamed(proxy->GetName()));
        QVERIFY(proxy->IsNamed("127.0.113.9:27021"));
        QVERIFY(!proxy->IsNamed("127.0.113.9:27020"));

        auto sameZone = makeProxy("127.0.0.5", 27020, &otherLanGroup);
        sameZone->m_strExternalAddress = "127.51.100.5";
        sameZone->m_nExternalPort = 27030;
        sameZone->m_strProxyPassword = "relay";
        proxy->m_strLinkedAddress = "stale:1";
        proxy->DropOn(sameZone.get());
        QCOMPARE(peer->drain(*proxy), (Sent{rcon("serverpassword relay"), rcon("connect 127.0.0.5:27020")}));
        QCOMPARE(proxy->m_pLinked, sameZone.get());
        QCOMPARE(proxy->m_strLinkedAddress, std::string());

        sameZone->m_pGroup = &internetGroup;
        sameZone->m_strProxyPassword.clear();
        proxy->DropOn(sameZone.get());
        QCOMPARE(peer->drain(*proxy), Sent{rcon("connect 127.51.100.5:27030")});
        proxy->DropOn(nullptr);
        QCOMPARE(peer->drain(*proxy), Sent{});

        CHLServer first(env.context());
        first.m_strAddress = "127.0.0.1";
        first.m_nPort = 27015;
        CHLServer second(env.context());
        second.m_strAddress = "127.0.0.2";
        second.m_nPort = 27015;
        proxy->m_pLinked = &first;
        proxy->m_strLinkedAddress = "127.0.0.1:27015";
        second.m_strServerPassword = "join";
        proxy->DropOn(&second);
        QCOMPARE(peer->drain(*proxy), (Sent{rcon("serverpassword join"), rcon("connect 127.0.0.2:27015")}));
        QCOMPARE(proxy->m_pLinked, &second);
        QCOMPARE(proxy->GetRelayedServer(), &second);
        QCOMPARE(proxy->m_strLinkedAddress, std::string());
    }

    // The status names the upstream or says there is none; a proxy that had
    // one and lost it is relay lost, refuses to record, and says why.
    void relayLostAndRecordRefusals()
    {
        const std::string connected =
            "l----- Status -----\nHLTV proxy connected to 127.0.0.21:27015, delay 30s.\n";
        proxy->OnReply(oobReply(connected));
        QCOMPARE(proxy->m_strWantedUpstream, std::string("127.0.0.21:27015"));
        QVERIFY(!proxy->IsRelayLost() && !proxy->RelaysNothing());

        // The upstream line is gone: lost, from now.
        env.clock.advance(30);
        proxy->OnReply(oobReply("l----- Status -----\nName HLTV, Clients 0/16\n"));
        QVERIFY(proxy->IsRelayLost());
        QCOMPARE(proxy->m_strLinkedAddress, std::string());
        QCOMPARE(proxy->m_strWantedUpstream, std::string("127.0.0.21:27015"));
        env.clock.advance(25);
        proxy->OnReply(oobReply("l--- HLTV Status ---\nNot connected.\n"));
        QCOMPARE(proxy->NotConnectedSeconds(), std::int64_t{25}); // counted from the first time
        // An answer to another command says nothing about the relay.
        proxy->OnReply(oobReply("lConnecting to 127.0.0.21:27015...\n"));
        QVERIFY(proxy->IsRelayLost());

        // Nothing to record: not even asked, though a match runs.
        CHLServer server(env.context());
        server.m_bMatchRunning = true;
        proxy->m_pLinked = &server;
        proxy->m_bAutoRecord = true;
        peer->drain(*proxy);
        proxy->CheckAutoRecord();
        QCOMPARE(peer->drain(*proxy), Sent{});

        // A refusal in answer to "record" is counted, once per refusal; the
        // same words long after are no answer of ours.
        proxy->SendCommand("record cup");
        proxy->OnReply(oobReply("lCannot record, not connected to a server.\n"));
        QCOMPARE(proxy->RecordRefusals(), std::uint64_t{1});
        QCOMPARE(proxy->RecordRefusal(), std::string("Cannot record, not connected to a server."));
        env.clock.advance(60);
        proxy->OnReply(oobReply("lCannot record, not connected to a server.\n"));
        QCOMPARE(proxy->RecordRefusals(), std::uint64_t{1});

        // Back: relaying, and the operator's disconnect forgets the upstream.
        proxy->OnReply(oobReply(connected));
        QVERIFY(!proxy->IsRelayLost());
        proxy->ForgetUpstream();
        proxy->OnReply(oobReply("l----- Status -----\nHLTV proxy disconnected.\n"));
        QVERIFY(!proxy->IsRelayLost());
        QVERIFY(proxy->RelaysNothing());
        proxy->m_pLinked = nullptr;
    }

    // Proxies write their print text one byte after the type byte and leave
    // that byte undefined. The status header must be found behind it, so that
    // a finished recording clears and the next match's demo can start.
    void framingByteBeforeTheText_data()
    {
        QTest::addColumn<std::string>("framing");
        QTest::addRow("backtick") << std::string("`");
        QTest::addRow("zero byte") << std::string(1, '\0');
        QTest::addRow("a letter") << std::string("L");
        QTest::addRow("none") << std::string();
    }

    void framingByteBeforeTheText()
    {
        QFETCH(std::string, framing);
        CHLServer server(env.context());
        server.m_bMatchRunning = true;
        proxy->m_pLinked = &server;
        proxy->m_bAutoRecord = true;
        proxy->m_strRecordFile = "previous_match.dem";
        proxy->OnReply(oobReply("l" + framing +
                                "--- HLTV Status ---\nLocal Slots 20, Spectators 4 (max 18), Proxies 2\n"
                                "Connected to Game Server 127.0.0.22:27015, Delay 30\n"));
        QCOMPARE(proxy->m_log.line(0), std::string("--- HLTV Status ---"));
        QCOMPARE(proxy->m_strRecordFile, std::string());
        QCOMPARE(proxy->m_nClients, 6);
        QCOMPARE(proxy->m_nStatus, CSStatus_CONTROL);
        peer->drain(*proxy);
        proxy->CheckAutoRecord();
        const Sent sent = peer->drain(*proxy);
        QCOMPARE(sent.size(), std::size_t{1});
        QVERIFY(sent[0].find("record 2003-06-14_21h05_") != std::string::npos);
    }

    // Refused by a wrong password or a ban, a proxy stays in monitoring and
    // does not send its refused "status" again every cycle.
    void refusedProxyStaysMonitored_data()
    {
        QTest::addColumn<std::string>("refusal");
        QTest::addRow("bad password") << oobReply("lBad rcon_password.\n");
        QTest::addRow("bad password behind the framing byte") << oobReply("l`Bad rcon_password.\n");
        QTest::addRow("banned") << oobReply("lYou have been banned from this server.\n");
    }

    void refusedProxyStaysMonitored()
    {
        QFETCH(std::string, refusal);
        proxy->OnReply(oobReply(std::string("m127.0.0.1:27020\0TV\0de_dust2\0cstrike\0HLTV\0\x03", 38)));
        proxy->OnReply(oobReply("cchallenge rcon 42\n"));
        peer->drain(*proxy);
        proxy->OnReply(refusal);
        QCOMPARE(proxy->m_nStatus, CSStatus_MONITORING);
        QVERIFY(proxy->RconSuspended());
        QCOMPARE(proxy->m_strRconPassword, std::string("pw"));
        for (int i = 0; i < 12; ++i) {
            proxy->Tick();
            proxy->MarkReply();
        }
        for (const std::string& datagram : peer->drain(*proxy)) {
            QVERIFY(datagram.find("rcon") == std::string::npos);
            QVERIFY(datagram.find("challenge") == std::string::npos);
        }
        QCOMPARE(proxy->m_nStatus, CSStatus_MONITORING);
    }

    void relayedServerThroughChains()
    {
        CHLServer server(env.context());
        auto middle = makeProxy("127.0.0.2", 27020, &lanGroup);
        middle->m_pLinked = &server;
        proxy->m_pLinked = middle.get();
        QCOMPARE(proxy->GetRelayedServer(), &server);

        // A ring of proxies has no server at its end.
        middle->m_pLinked = proxy.get();
        QCOMPARE(proxy->GetRelayedServer(), nullptr);

        // Another kind at the end: reported once, not on every run.
        CCommonObject hub(env.context());
        middle->m_pLinked = &hub;
        QCOMPARE(proxy->GetRelayedServer(), nullptr);
        QCOMPARE(proxy->GetRelayedServer(), nullptr);
        QCOMPARE(env.op.messages.size(), std::size_t{1});
    }

    // While the relayed server's match runs, a demo named after its teams
    // (cleaned for a file name), else after the clans; stopped when it ends.
    void automaticRecordingAndDemoNames()
    {
        CHLServer server(env.context());
        proxy->m_pLinked = &server;
        proxy->m_strMap = "de_in ferno";
        server.m_bMatchRunning = true;
        server.m_strTeamA = "Team. One";
        server.m_strTeamB = "B";
        proxy->CheckAutoRecord();
        QCOMPARE(peer->drain(*proxy), Sent{}); // option off
        proxy->m_bAutoRecord = true;
        proxy->CheckAutoRecord();
        QCOMPARE(peer->drain(*proxy), Sent{rcon("record 2003-06-14_21h05_de_inferno_TeamOne_B")});
        proxy->m_strRecordFile = "x.dem";
        proxy->CheckAutoRecord();
        QCOMPARE(peer->drain(*proxy), Sent{});
        server.m_bMatchRunning = false;
        proxy->CheckAutoRecord();
        proxy->CheckAutoRecord();
        QCOMPARE(peer->drain(*proxy), (Sent{rcon("stoprecord"), rcon("stoprecord")}));

        for (const char* name : {"[ABC]a", "[ABC]b", "[ABC]c", "d", "e"})
            proxy->m_strPlayers[static_cast<std::size_t>(proxy->m_nPlayers++)] = name;
        proxy->DetectClans();
        QCOMPARE(proxy->MakeAutoDemoName(), std::string("2003-06-14_21h05_de_inferno_[ABC]"));
    }

    void linkLines()
    {
        const auto render = [this](CCommonObject* target) {
            target->m_rcIcon = {200, 0, 248, 48};
            proxy->m_rcIcon = {0, 0, 48, 48};
            QImage image(260, 60, QImage::Format_RGB32);
            image.fill(Qt::white);
            QPainter painter(&image);
            proxy->DrawLinks(painter);
            painter.end();
            int dark = 0;
            for (int y = 0; y < 60; ++y)
                dark += qGray(image.pixel(120, y)) < 80 ? 1 : 0;
            return dark;
        };
        CHLServer server(env.context());
        server.m_strAddress = "127.0.0.1";
        server.m_nPort = 27015;
        proxy->m_pLinked = &server;
        QCOMPARE(render(&server), 0); // timed out: no line
        proxy->SetStatus(CSStatus_CONTROL);
        QCOMPARE(render(&server), 1); // no upstream reported yet: dashed
        proxy->m_strLinkedAddress = "127.0.0.1:27015";
        QCOMPARE(render(&server), 4); // the reported upstream: solid
        proxy->m_strLinkedAddress = "127.0.0.1:27016";
        QCOMPARE(render(&server), 1);

        auto upstream = makeProxy("127.0.0.2", 27020, &lanGroup);
        upstream->m_strExternalAddress = "127.51.100.2";
        upstream->m_nExternalPort = 27020;
        proxy->m_pLinked = upstream.get();
        proxy->m_strLinkedAddress = "127.51.100.2:27020";
        QCOMPARE(render(upstream.get()), 4);
        proxy->m_strLinkedAddress = "127.9.9.9:1";
        QCOMPARE(render(upstream.get()), 0);
    }
};

QTEST_MAIN(TestHLTV)
#include "tst_hltv.moc"
