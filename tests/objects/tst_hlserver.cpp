#include "objects/CHLServer.h"
#include "objects/OobDatagrams.h"
#include "support/LoopbackPeer.h"
#include "support/TestContext.h"

#include <QTest>
#include <algorithm>

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

constexpr auto rcon = &oob::rconCommand;

std::string details(const std::string& gameDir)
{
    return oobReply(std::string("m127.0.0.1:1\0Host\0de_dust2\0", 27) + gameDir +
                    std::string("\0Game\0\x03", 7));
}

using Sent = std::vector<std::string>;

} // namespace

class TestHLServer : public QObject
{
    Q_OBJECT

    TestContext env;
    std::unique_ptr<LoopbackPeer> peer;
    std::unique_ptr<CHLServer> server;

    // Runs one tick and returns what it sent.
    Sent tick()
    {
        server->Tick();
        return peer->drain(*server);
    }

private slots:
    void init()
    {
        env.op = ScriptedOperator{};
        env.clock.set(1'000'000);
        peer = std::make_unique<LoopbackPeer>();
        server = std::make_unique<CHLServer>(env.context());
        server->m_strRconPassword = "pw";
        QVERIFY(peer->attach(*server));
    }

    void cleanup()
    {
        server.reset();
        peer.reset();
    }

    void pollCycle()
    {
        QCOMPARE(tick(), (Sent{oob::detailsQuery(), oob::infoQuery(std::nullopt)}));
        QCOMPARE(tick(), Sent{}); // phase 1 asks for a challenge only while monitoring
        QCOMPARE(tick(), (Sent{oob::playersQuery(), oob::playerQuery(0xFFFFFFFFu)}));
        QCOMPARE(tick(), (Sent{rcon(0, "pw", "nxn_match_report"), rcon(0, "pw", "status"),
                               rcon(0, "pw", "sv_password")}));
        QCOMPARE(tick(), Sent{});
        QCOMPARE(tick(), Sent{});
        QCOMPARE(server->m_nPhase, 0);

        server->SetStatus(CSStatus_MONITORING);
        server->MarkReply();
        peer->drain(*server);
        tick();
        QCOMPARE(tick(), Sent{oob::challengeQuery()});
    }

    void repliesLeadToControlAndSilenceToTimeout()
    {
        // Replies of no known kind are no replies.
        for (const char* ignored : {"j", "xjunk", ""})
            server->OnReply(oobReply(ignored));
        QCOMPARE(server->m_nStatus, CSStatus_TIMEOUT);
        QCOMPARE(server->m_timeLastReply, std::int64_t{0});
        QCOMPARE(peer->drain(*server), Sent{});

        server->OnReply(details("cstrike"));
        QCOMPARE(server->m_nStatus, CSStatus_MONITORING);
        QCOMPARE(peer->drain(*server), Sent{oob::challengeQuery()});
        QCOMPARE(server->m_strHostname, std::string("Host"));
        QCOMPARE(server->m_strMap, std::string("de_dust2"));
        QCOMPARE(server->m_nBitmapId, 154);
        QCOMPARE(server->m_timeLastReply, std::int64_t{1'000'000});

        server->OnReply(oobReply("cchallenge rcon 3000000000\n"));
        QCOMPARE(server->m_nStatus, CSStatus_CONTROL);
        QCOMPARE(server->m_nChallenge, 3000000000u);
        QCOMPARE(peer->drain(*server), Sent{rcon(3000000000u, "pw", "status")});

        // A details reply does not step back from control.
        server->OnReply(details("CStrike"));
        QCOMPARE(server->m_nStatus, CSStatus_CONTROL);
        QCOMPARE(server->m_nBitmapId, 160);
        QCOMPARE(peer->drain(*server), Sent{});

        // Timed out after more than ten seconds of silence.
        env.clock.advance(10);
        server->Tick();
        QCOMPARE(server->m_nStatus, CSStatus_CONTROL);
        env.clock.advance(1);
        server->Tick();
        QCOMPARE(server->m_nStatus, CSStatus_TIMEOUT);
        // Back with a players reply: monitoring first, not control.
        server->OnReply(oobReply(std::string("D\0", 2)));
        QCOMPARE(server->m_nStatus, CSStatus_MONITORING);
        QCOMPARE(server->m_nPlayers, 0);
        // A print without its line feed logs nothing but still means control.
        const int logged = server->m_log.count();
        server->OnReply(oobReply("lpartial"));
        QCOMPARE(server->m_log.count(), logged);
        QCOMPARE(server->m_nStatus, CSStatus_CONTROL);
        QCOMPARE(server->m_timeLastReply, std::int64_t{1'000'011});
    }

    // Refused after a fresh challenge: the password is wrong. Banned: the
    // machine answers everything with one print, said once. Either way the
    // password is kept (a save must not drop it) but not used, and nothing
    // is sent by rcon, until the operator gives one again. A ban is often
    // lifted: a suspended server sends one challenge every ten minutes, and
    // a challenge given for it resumes rcon; a refused password is never
    // probed.
    void refusalSuspendsRconAndABanIsProbed_data()
    {
        QTest::addColumn<std::string>("refusal");
        QTest::addColumn<std::vector<std::string>>("logged");
        QTest::addRow("bad password")
            << oobReply("lBad rcon_password.\n")
            << std::vector<std::string>{"Bad rcon_password.",
                                        "Quorvane : Bad rcon_password detected. Internal rcon has been disabled "
                                        "to prevent being banned.",
                                        "Quorvane : Please re-enter the good rcon_password"};
        QTest::addRow("banned") << oobReply("lYou have been banned from this server.\n")
                                << std::vector<std::string>{"You have been banned from this server."};
    }

    void refusalSuspendsRconAndABanIsProbed()
    {
        QFETCH(std::string, refusal);
        QFETCH(std::vector<std::string>, logged);
        const bool probed = logged.size() == 1;
        server->OnReply(details("cstrike"));
        server->OnReply(oobReply("cchallenge rcon 7\n"));
        QCOMPARE(peer->drain(*server), (Sent{oob::challengeQuery(), rcon(7, "pw", "status")}));
        const int before = server->m_log.count();
        for (int i = 0; i < 3; ++i)
            server->OnReply(refusal);
        for (int i = 0; i < 6; ++i) {
            server->Tick();
            server->OnReply(refusal);
        }
        server->SendCommand("say hi");
        server->OnReply(oobReply("cchallenge rcon 8\n")); // a stray challenge proves nothing
        QCOMPARE(server->m_strRconPassword, std::string("pw"));
        QVERIFY(server->RconSuspended());
        QCOMPARE(server->m_nStatus, CSStatus_MONITORING);
        for (std::size_t i = 0; i < logged.size(); ++i)
            QCOMPARE(server->m_log.line(before + int(i)), logged[i]);
        if (probed) // the ban is told once, however often the machine says it
            QCOMPARE(server->m_log.count(), before + 2);
        for (const std::string& datagram : peer->drain(*server)) {
            QVERIFY(datagram.find("rcon") == std::string::npos);
            QVERIFY(datagram.find("challenge") == std::string::npos);
        }

        // Entering a password again lifts the suspension: the next cycle asks.
        server->SetRconPassword("pw");
        QVERIFY(!server->RconSuspended());
        QCOMPARE(server->m_nChallenge, 0u);
        server->MarkReply();
        Sent sent;
        for (int i = 0; i < 6; ++i)
            for (const std::string& datagram : tick())
                sent.push_back(datagram);
        QVERIFY(std::find(sent.begin(), sent.end(), oob::challengeQuery()) != sent.end());

        // Refused again; then the probes, ten minutes apart.
        server->OnReply(oobReply("cchallenge rcon 7\n"));
        server->OnReply(refusal);
        QVERIFY(server->RconSuspended());
        peer->drain(*server);
        const auto challengesIn = [this](int seconds) {
            int challenges = 0;
            for (int i = 0; i < seconds; ++i) {
                env.clock.advance(1);
                server->MarkReply();
                for (const std::string& datagram : tick())
                    challenges += datagram == oob::challengeQuery() ? 1 : 0;
            }
            return challenges;
        };
        QCOMPARE(challengesIn(599), 0);
        QCOMPARE(challengesIn(1), probed ? 1 : 0);
        // Still banned: the answer is the ban text; ten minutes to the next.
        server->OnReply(refusal);
        QCOMPARE(challengesIn(599), 0);
        QCOMPARE(challengesIn(1), probed ? 1 : 0);
        QVERIFY(server->RconSuspended());
        if (!probed)
            return;
        // Lifted: the probe gets its challenge, and rcon works again.
        const int logs = server->m_log.count();
        server->OnReply(oobReply("cchallenge rcon 9\n"));
        QVERIFY(!server->RconSuspended());
        QCOMPARE(server->m_nStatus, CSStatus_CONTROL);
        QCOMPARE(peer->drain(*server), Sent{rcon(9, "pw", "status")});
        QCOMPARE(server->m_log.line(logs),
                 std::string("Quorvane : The machine accepts our address again: internal rcon resumes."));
        const std::uint64_t gains = server->RconGains();
        server->OnReply(oobReply("lok\n"));
        QCOMPARE(server->RconGains(), gains + 1);
    }

    // A restarted server no longer knows the challenge: a reject ('9'),
    // with or without "Bad rcon_password." after it, or that line alone,
    // makes the server ask for a new one once; only a refusal that answers
    // the fresh challenge means a wrong password.
    void restartedServerIsAskedForANewChallenge_data()
    {
        QTest::addColumn<std::vector<std::string>>("refusal");
        QTest::addColumn<bool>("wrongPassword"); // the fresh challenge is refused too, else "ok"
        const std::string bad = oobReply("lBad rcon_password.\n");
        const std::string badChallenge = oobReply("9Bad challenge.\n");
        const std::string noChallenge = oobReply("9No challenge for your address.\n");
        QTest::addRow("bad challenge") << std::vector{badChallenge} << false;
        QTest::addRow("bad challenge, bad password") << std::vector{badChallenge, bad} << false;
        QTest::addRow("no challenge, bad password, three commands")
            << std::vector{noChallenge, bad, noChallenge, bad, noChallenge, bad} << false;
        QTest::addRow("bad password alone") << std::vector{bad} << false;
        QTest::addRow("restarted with another password") << std::vector{badChallenge, bad} << true;
    }

    void restartedServerIsAskedForANewChallenge()
    {
        QFETCH(std::vector<std::string>, refusal);
        QFETCH(bool, wrongPassword);
        server->OnReply(oobReply("cchallenge rcon 5\n"));
        server->OnReply(oobReply("lrunning\n"));
        QCOMPARE(server->m_nStatus, CSStatus_CONTROL);
        peer->drain(*server);

        for (const std::string& datagram : refusal)
            server->OnReply(datagram);
        QCOMPARE(peer->drain(*server), Sent{oob::challengeQuery()});
        QVERIFY(!server->RconSuspended());
        server->OnReply(oobReply("cchallenge rcon 77\n"));
        QCOMPARE(peer->drain(*server), Sent{rcon(77, "pw", "status")});
        server->OnReply(oobReply(wrongPassword ? "lBad rcon_password.\n" : "lok\n"));
        QCOMPARE(server->RconSuspended(), wrongPassword);
        QCOMPARE(server->m_nStatus, wrongPassword ? CSStatus_MONITORING : CSStatus_CONTROL);
        QCOMPARE(server->m_strRconPassword, std::string("pw"));
        QCOMPARE(peer->drain(*server), Sent{});
    }

    void matchReportAndServerPassword()
    {
        server->OnReply(
            oobReply("lnxn_match_report = \"Red;Blue;a;b;c;4;10;3;5;2\"\n\"sv_password\" is \"s3\"\n"));
        QVERIFY(server->m_bMatchRunning);
        QCOMPARE(server->m_nMatchState, 4);
        QCOMPARE(server->m_nScoreA1 + server->m_nScoreA2, 13);
        QCOMPARE(server->m_nScoreB1 + server->m_nScoreB2, 7);
        QCOMPARE(server->m_strServerPassword, std::string("s3"));

        server->OnReply(oobReply("lnxn_match_report = \"Red;Blue;a;b;c;3;0;0;0;0\"\n"));
        QVERIFY(!server->m_bMatchRunning);
        server->OnReply(
            oobReply("lnxn_match_report = \"Red;Blue;a;b;c;2;1;0;0;0\"\n[AMX] No match running.\n"));
        QVERIFY(!server->m_bMatchRunning);
        QCOMPARE(server->m_strTeamA, std::string());
        QCOMPARE(server->m_nScoreA1, 0);
    }

    void currentQueryChallenge()
    {
        server->Tick(); // phase 0: details and info
        peer->drain(*server);
        server->OnReply(oobReply("A\x01\x02\x03\x04"));
        QCOMPARE(peer->drain(*server), Sent{oob::infoQuery(0x04030201u)});
        server->OnReply(oobReply(std::string("I\x30Modern\0cs_italy\0cstrike\0CS\0", 29)));
        QCOMPARE(server->m_nStatus, CSStatus_MONITORING);
        QCOMPARE(server->m_strMap, std::string("cs_italy"));
        QCOMPARE(server->m_strAddress, std::string("127.0.0.1")); // an info reply keeps the address
        QCOMPARE(peer->drain(*server), Sent{oob::challengeQuery()});

        server->Tick();
        server->Tick(); // phase 2: players with the challenge known
        QCOMPARE(peer->drain(*server), (Sent{oob::challengeQuery(), oob::playerQuery(0x04030201u)}));
        server->OnReply(oobReply("A\x09\x09\x09\x09"));
        QCOMPARE(peer->drain(*server), Sent{oob::playerQuery(0x09090909u)});
        // A server answering challenges for ever is not chased for ever.
        server->OnReply(oobReply("A\x0A\x0A\x0A\x0A"));
        server->OnReply(oobReply("A\x0B\x0B\x0B\x0B"));
        QCOMPARE(peer->drain(*server), Sent{oob::playerQuery(0x0A0A0A0Au)});
        QCOMPARE(server->m_timeLastReply, std::int64_t{1'000'000});
    }

    // Which queries a poll cycle sends after the replies to the first
    // cycle's probe: the info reply ('I') keeps the server on the current
    // dialect, a details reply alone on the classic one, and a server that
    // answered neither is probed again in both.
    void dialectFollowsTheReplies_data()
    {
        QTest::addColumn<std::vector<std::string>>("replies");
        QTest::addColumn<Sent>("players");
        QTest::addColumn<Sent>("details");
        const std::string info = oobReply(std::string("I\x30Modern\0cs_italy\0cstrike\0CS\0", 29));
        const std::string classic = details("cstrike");
        const std::string challenge = oobReply("A\x01\x02\x03\x04");
        const Sent both{oob::playersQuery(), oob::playerQuery(oob::kNoQueryChallenge)};
        QTest::addRow("no reply") << std::vector<std::string>{} << both
                                  << Sent{oob::detailsQuery(), oob::infoQuery(std::nullopt)};
        QTest::addRow("info") << std::vector{info} << Sent{oob::playerQuery(oob::kNoQueryChallenge)}
                              << Sent{oob::infoQuery(std::nullopt)};
        QTest::addRow("details") << std::vector{classic} << Sent{oob::playersQuery()}
                                 << Sent{oob::detailsQuery()};
        QTest::addRow("info, then details")
            << std::vector{info, classic} << Sent{oob::playerQuery(oob::kNoQueryChallenge)}
            << Sent{oob::infoQuery(std::nullopt)};
        QTest::addRow("details, challenge, info")
            << std::vector{classic, challenge, info} << Sent{oob::playerQuery(0x04030201u)}
            << Sent{oob::infoQuery(0x04030201u)};
        // A challenge alone is no answer: the server is still probed.
        QTest::addRow("challenge only")
            << std::vector{challenge} << Sent{oob::playersQuery(), oob::playerQuery(0x04030201u)}
            << Sent{oob::detailsQuery(), oob::infoQuery(0x04030201u)};
        // A players reply is the same in both dialects: it decides nothing.
        std::string players("D\x05", 2);
        for (const char* name : {"[ABC]bob", "[ABC]john", "[ABC]mike", "qwe", "xyz"})
            players += '\x01' + std::string(name) + std::string("\0\x03\0\0\0\0\0\x20\x41", 9); // 3, 10.0 s
        QTest::addRow("players only") << std::vector{oobReply(players)} << both
                                      << Sent{oob::detailsQuery(), oob::infoQuery(std::nullopt)};
    }

    void dialectFollowsTheReplies()
    {
        QFETCH(std::vector<std::string>, replies);
        QFETCH(Sent, players);
        QFETCH(Sent, details);
        server->m_strRconPassword.clear(); // only queries go out
        QCOMPARE(tick(), (Sent{oob::detailsQuery(), oob::infoQuery(std::nullopt)}));
        for (const std::string& reply : replies)
            server->OnReply(reply);
        QCOMPARE(server->Clans(), std::string()); // not from the reply itself
        peer->drain(*server); // the info query again with the challenge
        QCOMPARE(tick(), Sent{});
        QCOMPARE(tick(), players);
        for (int phase = 3; phase < 6; ++phase)
            QCOMPARE(tick(), Sent{});
        QCOMPARE(tick(), details);
        // The poll looks for clans in the players' names once a cycle; the
        // tags found are what the object shows.
        QCOMPARE(server->Clans(), std::string(server->m_nPlayers == 5 ? "[ABC]" : ""));
    }

    // After more than ten seconds without a query reply, the dialect is
    // forgotten and the server is probed in both again, also while its rcon
    // keeps answering.
    void dialectForgottenAfterSilence_data()
    {
        QTest::addColumn<std::string>("reply");
        QTest::addColumn<Sent>("known");
        QTest::addRow("current") << oobReply(std::string("I\x30Modern\0cs_italy\0cstrike\0CS\0", 29))
                                 << Sent{oob::infoQuery(std::nullopt)};
        QTest::addRow("classic") << details("cstrike") << Sent{oob::detailsQuery()};
    }

    void dialectForgottenAfterSilence()
    {
        QFETCH(std::string, reply);
        QFETCH(Sent, known);
        server->m_strRconPassword.clear();
        tick();
        server->OnReply(reply);
        // Unanswered cycles: phase 0 runs again at 6 s and at 12 s.
        for (int second = 1; second <= 12; ++second) {
            env.clock.advance(1);
            server->OnReply(oobReply("lrcon output\n"));
            const Sent sent = tick();
            if (second == 6)
                QCOMPARE(sent, known);
            if (second == 12)
                QCOMPARE(sent, (Sent{oob::detailsQuery(), oob::infoQuery(std::nullopt)}));
        }
        QCOMPARE(server->m_nStatus, CSStatus_MONITORING); // the rcon output kept it from timing out
    }

    void kick_data()
    {
        QTest::addColumn<QByteArray>("status");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("say");
        QTest::addColumn<QByteArray>("kick"); // empty: refused
        const QByteArray table = "#      name userid uniqueid frag time ping loss adr\n"
                                 "# 1 \"Bob\" 12 STEAM_0:1:1 3 1:04 35 0 127.0.0.7:27005\n"
                                 "# 2 \"x\";quit;\"\" 7 STEAM_0:0:2 0 0:10 40 0 127.0.0.8:27005\n"
                                 "# 3 \"Twin\" 8 BOT 0 0:10 0 0\n"
                                 "# 4 \"Twin\" 9 BOT 0 0:10 0 0\n"
                                 "4 users\n";
        QTest::addRow("by userid") << table << QByteArray("Bob") << QByteArray("say Kicking Bob")
                                   << QByteArray("kick #12");
        QTest::addRow("hostile name, by userid")
            << table << QByteArray("x\";quit;\"") << QByteArray("say Kicking x__quit__")
            << QByteArray("kick #7");
        QTest::addRow("two of a name, by name")
            << table << QByteArray("Twin") << QByteArray("say Kicking Twin") << QByteArray("kick \"Twin\"");
        QTest::addRow("no status yet, by name")
            << QByteArray() << QByteArray("Bob") << QByteArray("say Kicking Bob")
            << QByteArray("kick \"Bob\"");
        QTest::addRow("no status yet, hostile name refused")
            << QByteArray() << QByteArray("x\";quit;\"") << QByteArray() << QByteArray();
        QTest::addRow("table not finished") << table.left(table.lastIndexOf("4 users"))
                                            << QByteArray("x\";quit;\"") << QByteArray() << QByteArray();
    }

    void kick()
    {
        QFETCH(QByteArray, status);
        QFETCH(QByteArray, name);
        QFETCH(QByteArray, say);
        QFETCH(QByteArray, kick);
        if (!status.isEmpty())
            server->OnReply(oobReply("l" + status.toStdString()));
        peer->drain(*server);
        server->Kick(name.toStdString());
        const Sent sent = peer->drain(*server);
        if (kick.isEmpty()) {
            QCOMPARE(sent, Sent{});
            QCOMPARE(env.op.messages.size(), std::size_t{1});
            QVERIFY(env.op.messages.front().find("Cannot kick") == 0);
        } else {
            QCOMPARE(sent, (Sent{rcon(0, "pw", say.toStdString()), rcon(0, "pw", kick.toStdString())}));
        }
    }

    // A machine behind NAT reports a LAN or loopback address: the typed
    // address stays, the reported one only helps to match names.
    void reportedAddressIsKeptBeside()
    {
        server->m_strAddress = "127.0.113.5";
        server->m_nPort = 27015;
        const std::string name = server->GetName();
        for (int twice = 0; twice < 2; ++twice)
            server->OnReply(oobReply(std::string("m127.0.0.1:27015\0Host\0de_dust2\0cstrike\0Game\0\x03", 45)));
        QCOMPARE(server->GetName(), name);
        QCOMPARE(server->m_strReportedAddress, std::string("127.0.0.1:27015"));
        QVERIFY(server->IsNamed("127.0.113.5:27015"));
        QVERIFY(server->IsNamed("127.0.0.1:27015"));
        QCOMPARE(server->m_log.count(), 1); // told once
        // Nothing that could pass for a name is taken from a hostile claim.
        server->OnReply(oobReply(std::string("m<b>:1\0Host\0", 12)));
        server->OnReply(oobReply(std::string("m127.0.0.1:99999\0Host\0", 21)));
        QCOMPARE(server->m_strReportedAddress, std::string("127.0.0.1:27015"));
    }

};

QTEST_MAIN(TestHLServer)
#include "tst_hlserver.moc"
