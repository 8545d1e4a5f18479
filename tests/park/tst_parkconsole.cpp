// The actions on many machines, without sockets: which commands are asked
// about, the checks of values placed into commands, presets kept and
// carried, and how each machine's answer settles in the results.
#include "objects/CHLServer.h"
#include "park/MapChange.h"
#include "park/Presets.h"
#include "park/SendToMany.h"
#include "park/ServerVariables.h"
#include "park/UnsettlingCommands.h"
#include "support/TestContext.h"

#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

class TestParkConsole : public QObject
{
    Q_OBJECT

    TestContext env;

    std::unique_ptr<CHLServer> server(int port, CSStatus status)
    {
        auto object = std::make_unique<CHLServer>(env.context());
        object->m_strAddress = "127.0.0.1";
        object->m_nPort = port;
        object->m_strRconPassword = "secret";
        object->m_nStatus = status;
        return object;
    }

private slots:
    void unsettlingCommandsAreKnown_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("unsettling");
        QTest::addRow("quit") << "quit" << true;
        QTest::addRow("any case, leading blanks") << "  EXIT" << true;
        QTest::addRow("after a semicolon") << "say bye; restart" << true;
        QTest::addRow("a password") << "rcon_password new" << true;
        QTest::addRow("sv_password quoted") << "sv_password\"x\"" << true;
        QTest::addRow("map change") << "changelevel de_nuke" << true;
        QTest::addRow("say") << "say quit now" << false;
        QTest::addRow("a cvar that only starts alike") << "mp_restartround 1; quitter" << false;
        QTest::addRow("sv_restart") << "sv_restart 1" << false;
    }

    void unsettlingCommandsAreKnown()
    {
        QFETCH(QString, line);
        QFETCH(bool, unsettling);
        QCOMPARE(unsettling::isUnsettling(line.toStdString()), unsettling);
    }

    void questionNamesCommandsAndMachines()
    {
        const std::string question = unsettling::question({"say hi", "quit"}, 12);
        QVERIFY(question.find("\"quit\"") != std::string::npos);
        QVERIFY(question.find("12 machines") != std::string::npos);
        QVERIFY(question.find("say hi") == std::string::npos);
    }

    void onlySafeValuesMakeACommand()
    {
        QCOMPARE(*mapchange::changeLevelCommand("de_dust2"), std::string("changelevel de_dust2"));
        QVERIFY(!mapchange::changeLevelCommand("two words"));
        QVERIFY(!mapchange::changeLevelCommand(""));
        QCOMPARE(*variables::setCommand("hostname", "Cup #1 final"),
                 std::string("hostname \"Cup #1 final\""));
        QVERIFY(!variables::setCommand("host name", "x"));
        for (const QByteArray& value : {QByteArray("de_\"dust"), QByteArray("de_dust;quit"),
                                        QByteArray("de_dust\rquit"), QByteArray("de_dust\nquit"),
                                        QByteArray("de_dust\0quit", 12)}) {
            const std::string text(value.constData(), static_cast<std::size_t>(value.size()));
            QVERIFY2(!mapchange::changeLevelCommand(text), value.toPercentEncoding().constData());
            QVERIFY2(!variables::setCommand("hostname", text), value.toPercentEncoding().constData());
            QVERIFY2(!variables::setCommand(text, "1"), value.toPercentEncoding().constData());
        }
    }

    void mapsAreFilteredAndJoined()
    {
        const std::vector<std::string> maps{"de_dust2", "de_nuke", "cs_office", "DE_Aztec"};
        QCOMPARE(mapchange::filterMaps(maps, "de_"),
                 (std::vector<std::string>{"de_dust2", "de_nuke", "DE_Aztec"}));
        QCOMPARE(mapchange::filterMaps(maps, "AZT"), (std::vector<std::string>{"DE_Aztec"}));
        QCOMPARE(mapchange::filterMaps(maps, "").size(), maps.size());
        QCOMPARE(mapchange::unionOfMaps({{"b", "a"}, {"c", "a"}}), (std::vector<std::string>{"a", "b", "c"}));
        const std::vector<std::pair<std::string, std::string>> rules{{"mp_timelimit", "30"},
                                                                     {"sv_gravity", "800"}};
        QCOMPARE(variables::filterRules(rules, "GRAV").size(), std::size_t(1));
        QCOMPARE(variables::filterRules(rules, "30").front().first, std::string("mp_timelimit"));
    }

    void presetsAreCheckedKeptAndCarried()
    {
        PresetBook book;
        QVERIFY(!book.Put({"Go live", {"mp_freezetime 6", "exec live.cfg", "sv_restart 1"}}));
        QVERIFY(book.Put({"", {"say x"}}));
        QVERIFY(book.Put({"Empty", {}}));
        QVERIFY(book.Put({"Broken", {"say a\nquit"}}));
        QVERIFY(book.Put({"Blank", {"   "}}));
        QVERIFY(!book.Put({"Go live", {"sv_restart 1"}})); // replaces
        QCOMPARE(book.presets().size(), std::size_t(1));
        QCOMPARE(book.Find("Go live")->commands.size(), std::size_t(1));
        QVERIFY(!book.Put({"Warm-up", {"mp_freezetime 0", "say \"warm-up\""}}));

        QTemporaryDir dir;
        {
            QSettings settings(dir.filePath("a.ini"), QSettings::IniFormat);
            book.Save(settings);
        }
        QSettings settings(dir.filePath("a.ini"), QSettings::IniFormat);
        PresetBook loaded;
        loaded.Load(settings);
        QCOMPARE(loaded.presets().size(), std::size_t(2));
        QCOMPARE(loaded.Find("Warm-up")->commands[1], std::string("say \"warm-up\""));

        PresetBook other;
        QVERIFY(!other.Put({"Mine", {"say mine"}}));
        QVERIFY(!other.Import(book.Export()));
        QCOMPARE(other.presets().size(), std::size_t(3));
        // A broken or hostile file changes nothing.
        for (const QByteArray& bad :
             {QByteArray("not json"), QByteArray("{\"presets\":{}}"),
              QByteArray("{\"presets\":[{\"name\":\"x\",\"commands\":[\"say a\\nquit\"]}]}"),
              QByteArray("{\"presets\":[{\"name\":\"x\",\"commands\":[1]}]}"),
              QByteArray(PresetBook::kMaxFileBytes + 1, ' ')}) {
            QVERIFY(other.Import(bad));
            QCOMPARE(other.presets().size(), std::size_t(3));
        }
    }

    void resultsSettleWithinOnePollCycle()
    {
        env.clock.set(1000);
        auto answering = server(1, CSStatus_CONTROL);
        auto silentOne = server(2, CSStatus_CONTROL);
        auto quiet = server(3, CSStatus_CONTROL);
        auto refusing = server(4, CSStatus_CONTROL);
        auto monitored = server(5, CSStatus_MONITORING);
        // Lines from before the send are not its answer.
        answering->m_log.Add("old line");
        SendToMany send;
        send.Start({answering.get(), silentOne.get(), quiet.get(), refusing.get(), monitored.get()},
                   {"mp_freezetime 6", "say hi"}, 1000);
        QCOMPARE(send.rows().size(), std::size_t(5));
        QCOMPARE(send.rows()[4].state, SendToMany::State::Skipped);
        QCOMPARE(send.rows()[0].state, SendToMany::State::Waiting);
        QVERIFY(!send.settled());

        // A poll's answer is no answer of the operator's command.
        answering->m_log.Add("hostname:  Cup #1");
        answering->m_log.Add("Console: hi");
        for (int i = 0; i < 5; ++i)
            answering->m_log.Add("line " + std::to_string(i));
        refusing->m_log.Add("Bad rcon_password.");
        quiet->m_timeLastReply = 1002; // answering polls, but this command printed nothing
        const std::uint64_t before = send.generation();
        QVERIFY(send.Collect(1001));
        QVERIFY(send.generation() != before);
        QCOMPARE(send.rows()[0].state, SendToMany::State::Answered);
        QCOMPARE(send.rows()[0].lines, (std::vector<std::string>{"Console: hi", "line 0", "line 1"}));
        QCOMPARE(send.rows()[3].state, SendToMany::State::Refused);
        QCOMPARE(send.rows()[1].state, SendToMany::State::Waiting);

        send.Collect(1000 + SendToMany::kReplySeconds - 1);
        QVERIFY(!send.settled());
        send.Collect(1000 + SendToMany::kReplySeconds);
        QVERIFY(send.settled());
        QCOMPARE(send.rows()[1].state, SendToMany::State::NoAnswer);
        QCOMPARE(send.rows()[2].state, SendToMany::State::NoOutput);
        QCOMPARE(send.count(SendToMany::State::Answered), std::size_t(1));
        QCOMPARE(std::string(stateText(SendToMany::State::Skipped)), std::string("not under rcon, skipped"));

        // A status the operator sent himself is his answer; another poll's line is not.
        send.Start({answering.get()}, {"say hi", "status"}, 1500);
        answering->m_log.Add("\"sv_password\" is \"\"");
        answering->m_log.Add("hostname:  Cup #1");
        send.Collect(1501);
        QCOMPARE(send.rows()[0].lines, std::vector<std::string>{"hostname:  Cup #1"});

        // A machine deleted while waiting is never read again.
        send.Start({answering.get()}, {"status"}, 2000);
        send.Forget(*answering);
        answering.reset();
        send.Collect(2001);
        QCOMPARE(send.rows()[0].state, SendToMany::State::NoAnswer);
    }
};

QTEST_GUILESS_MAIN(TestParkConsole)
#include "tst_parkconsole.moc"
