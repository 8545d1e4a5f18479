// The operator's record: what is recorded (only what is sent inside an act),
// and how passwords are hidden in it.
#include "layout/CQuorvaneDoc.h"
#include "layout/OperatorTrail.h"
#include "objects/CHLServer.h"
#include "objects/OobDatagrams.h"
#include "support/LoopbackPeer.h"
#include "support/TestContext.h"

#include <QTest>

class TestOperatorTrail : public QObject
{
    Q_OBJECT

    TestContext env;

private slots:
    void passwordsAreMasked_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("shown");
        QTest::addRow("quoted") << "serverpassword \"s3cret\"" << "serverpassword \"***\"";
        QTest::addRow("unquoted") << "sv_password s3cret" << "sv_password ***";
        QTest::addRow("any case") << "RCON_PASSWORD x" << "RCON_PASSWORD ***";
        QTest::addRow("a query names no password") << "sv_password" << "sv_password";
        QTest::addRow("every part of a line") << "say hi;proxypassword \"a;b\"; adminpassword z"
                                              << "say hi;proxypassword \"***\"; adminpassword ***";
        QTest::addRow("a word that only begins like one") << "sv_passwords x" << "sv_passwords x";
        QTest::addRow("other commands untouched") << "kick \"Bob\"" << "kick \"Bob\"";
    }

    void passwordsAreMasked()
    {
        QFETCH(QString, command);
        QFETCH(QString, shown);
        QCOMPARE(QString::fromStdString(maskPasswords(command.toStdString())), shown);
    }

    // Sent inside an act: recorded, with the answer that follows within the
    // reply time; outside (the polls): not. Acts nest.
    void onlyWhatIsSentInsideAnActIsRecorded()
    {
        LoopbackPeer peer;
        std::vector<std::unique_ptr<CCommonObject>> objects;
        objects.push_back(std::make_unique<CHLServer>(env.context()));
        auto& server = static_cast<CHLServer&>(*objects.back());
        server.m_strRconPassword = "pw";
        QVERIFY(peer.attach(server));
        server.m_nChallenge = 9;
        OperatorTrail trail(env.clock);

        server.SendCommand("status"); // a poll
        QCOMPARE(trail.Find(server.GetName()), nullptr);
        {
            const OperatorTrail::Act outer(trail);
            {
                const OperatorTrail::Act inner(trail);
                server.SendCommand("users");
            }
            server.SendCommand("sv_password abc");
        }
        server.SendCommand("nxn_match_report");
        // The last command's answer, without a status poll's line.
        server.m_log.Add("2 users");
        server.m_log.Add("\"sv_password\" is \"abc\"");
        trail.Collect(objects);
        const CommandTranscript* record = trail.Find(server.GetName());
        QVERIFY(record);
        QCOMPARE(std::vector<std::string>(record->lines().begin(), record->lines().end()),
                 (std::vector<std::string>{"> users", "> sv_password ***", "\"sv_password\" is \"abc\""}));
        QCOMPARE(
            peer.drain(server),
            (std::vector<std::string>{oob::rconCommand(9, "pw", "status"), oob::rconCommand(9, "pw", "users"),
                                      oob::rconCommand(9, "pw", "sv_password abc"),
                                      oob::rconCommand(9, "pw", "nxn_match_report")}));
    }

    // A box the operator has open runs the event loop: the ticks and replies
    // it handles meanwhile are the program's, even inside an act.
    void ticksInsideAnActAreNotRecorded()
    {
        LoopbackPeer peer;
        CQuorvaneDoc doc(env.context());
        auto owned = std::make_unique<CHLServer>(env.context());
        CHLServer& server = *owned;
        server.m_strRconPassword = "pw";
        QVERIFY(peer.attach(server));
        server.m_nChallenge = 9;
        server.m_nStatus = CSStatus_CONTROL;
        server.m_timeLastReply = env.clock.now();
        doc.m_objects.push_back(std::move(owned));
        {
            const OperatorTrail::Act act(doc.trail());
            for (int i = 0; i < 6; ++i) {
                env.clock.advance(1);
                doc.TickSecond();
            }
        }
        QVERIFY(peer.drain(server).size() >= 3); // status, sv_password, nxn_match_report
        QCOMPARE(doc.trail().Find(server.GetName()), nullptr);
    }
};

QTEST_GUILESS_MAIN(TestOperatorTrail)
#include "tst_operatortrail.moc"
