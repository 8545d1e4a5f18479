// Actions on many machines end to end against the simulated park: send to
// many and its results, map lists and changes, a round restart, and the
// server's variables from the rules query, also when the reply comes in parts.
#include "layout/CQuorvaneDoc.h"
#include "objects/CHLServer.h"
#include "support/SimulatedPark.h"
#include "support/TestContext.h"
#include "support/TickUntil.h"

#include <QTest>
#include <algorithm>

namespace {

// Server 0: hostile map names beside real ones, and over 300 rules (a reply
// in several parts). Server 1: current queries only, behind the challenge.
// Server 2: no rcon password in the layout.
const char* const kParkConfig = R"({
  "seed": 11,
  "servers": [
    {"hostname": "Cup #1", "map": "de_dust2", "rcon": "secret", "players": 2, "moves": false,
     "maps": ["de_dust2", "de_nuke", "<b>bold</b>", "evil\u0022;quit", "two words", "cs_office"],
     "rules": {"a_markup": "<i>x</i>", "a_quote": "say \u0022hi\u0022; quit"}, "extra_rules": 300},
    {"hostname": "Cup #2", "map": "de_inferno", "rcon": "secret", "modern_only": true, "challenge": true,
     "players": 0, "moves": false},
    {"hostname": "Public", "rcon": "secret", "moves": false}
  ]
})";

bool hasLine(const SendToMany::Row& row, const std::string& line)
{
    return std::find(row.lines.begin(), row.lines.end(), line) != row.lines.end();
}

} // namespace

class TestParkActions : public QObject
{
    Q_OBJECT

    TestContext env;
    SimulatedPark park;
    std::unique_ptr<CQuorvaneDoc> doc;
    std::vector<CHLServer*> servers;

    template <class Done> bool tickUntil(Done done, int maxTicks)
    {
        return ::tickUntil(env.clock, *doc, done, maxTicks);
    }

    bool underRcon(int count)
    {
        return tickUntil(
            [&] {
                return std::all_of(servers.begin(), servers.begin() + count,
                                   [](CHLServer* s) { return s->m_nStatus == CSStatus_CONTROL; });
            },
            12);
    }

private slots:
    void initTestCase() { QVERIFY2(park.startWithConfig(kParkConfig), qPrintable(park.errorString())); }

    void init()
    {
        env.op = ScriptedOperator{};
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        servers.clear();
        for (int i = 0; i < 3; ++i)
            servers.push_back(static_cast<CHLServer*>(doc->AddServer(
                "127.0.0.1", park.serverPorts()[i], i < 2 ? "secret" : "", doc->m_groups[0].get())));
        // The group stands for its machines.
        doc->SetSelection(doc->m_groups[0].get(), nullptr);
    }

    void sendToManyFillsWithinOnePollCycle()
    {
        QVERIFY(underRcon(2));
        QCOMPARE(doc->PickedMachines().size(), std::size_t(3));
        QVERIFY(doc->SendToPicked({"say hello park"}));
        const SendToMany& sending = doc->parkConsole().sending;
        QCOMPARE(sending.rows()[2].state, SendToMany::State::Skipped);
        QVERIFY(tickUntil([&] { return sending.settled(); }, int(SendToMany::kReplySeconds)));
        for (int i = 0; i < 2; ++i) {
            QCOMPARE(sending.rows()[i].state, SendToMany::State::Answered);
            QVERIFY(hasLine(sending.rows()[i], "Console: hello park"));
        }
        // The program's own polls went on meanwhile and are not in the answer.
        QVERIFY(!hasLine(sending.rows()[0], "hostname:  Cup #1"));
    }

    void unsettlingCommandsAskFirst()
    {
        QVERIFY(underRcon(2));
        env.op.yesNoAnswers = {false};
        QVERIFY(!doc->SendToPicked({"say bye", "quit"}));
        QCOMPARE(env.op.questions.size(), std::size_t(1));
        QVERIFY(env.op.questions[0].find("3 machines") != std::string::npos);
        QVERIFY(doc->parkConsole().sending.rows().empty());
    }

    void mapsComeFromTheServerAndChangeIt()
    {
        QVERIFY(underRcon(2));
        QCOMPARE(doc->AskMapsOfPicked(), 2);
        QVERIFY(tickUntil([&] { return doc->MapsOfPicked().size() >= 4; }, 3));
        const std::vector<std::string> maps = doc->MapsOfPicked();
        // Stock maps of server 1 and the safe ones of server 0; the hostile names never.
        QVERIFY(std::count(maps.begin(), maps.end(), "de_nuke") == 1);
        QVERIFY(std::count(maps.begin(), maps.end(), "cs_office") == 1);
        for (const std::string& map : maps)
            QVERIFY2(map.find_first_of("<\"; ") == std::string::npos, map.c_str());
        QVERIFY(servers[0]->m_mapList.refused() >= 3);

        QVERIFY(!doc->ChangeMapOnPicked("de_nuke;quit"));
        QCOMPARE(env.op.messages.size(), std::size_t(1));
        QVERIFY(doc->parkConsole().sending.rows().empty());

        QVERIFY(doc->ChangeMapOnPicked("de_nuke"));
        QVERIFY(tickUntil(
            [&] { return servers[0]->m_strMap == "de_nuke" && servers[1]->m_strMap == "de_nuke"; }, 7));

        // The park knows sv_restart: it prints nothing (an unknown command would).
        QVERIFY(doc->RestartRoundOnPicked());
        QVERIFY(
            tickUntil([&] { return doc->parkConsole().sending.settled(); }, int(SendToMany::kReplySeconds)));
        QCOMPARE(doc->parkConsole().sending.count(SendToMany::State::NoOutput), std::size_t(2));
    }

    void variablesComeInPartsWhileShown()
    {
        QVERIFY(underRcon(2));
        ParkConsole& console = doc->parkConsole();
        const std::int64_t askedAt = env.clock.now();
        console.variables.Show(servers[0], askedAt);
        QVERIFY(tickUntil([&] { return servers[0]->m_rules.has_value(); }, 3));
        const replies::Rules& rules = *servers[0]->m_rules;
        QVERIFY(rules.complete);
        QCOMPARE(rules.entries.size(), std::size_t(2 + 8 + 300));
        QCOMPARE(rules.entries[0], (std::pair<std::string, std::string>("a_markup", "<i>x</i>")));

        // A value set from the page reaches the server; an unsafe one never leaves.
        QVERIFY(doc->SetVariable(*servers[0], "mp_freezetime", "6"));
        QVERIFY(!doc->SetVariable(*servers[0], "mp_freezetime", "6; quit"));
        QCOMPARE(env.op.messages.size(), std::size_t(1));

        // Asked again after 30 seconds, and then shows the new value.
        servers[0]->m_rules.reset();
        while (env.clock.now() < askedAt + VariablesWatch::kAskSeconds - 1) {
            env.clock.advance(1);
            doc->TickSecond();
        }
        QTest::qWait(200);
        QVERIFY(!servers[0]->m_rules);
        QVERIFY(tickUntil([&] { return servers[0]->m_rules.has_value(); }, 3));
        const auto& entries = servers[0]->m_rules->entries;
        QVERIFY(std::count(entries.begin(), entries.end(),
                           std::pair<std::string, std::string>("mp_freezetime", "6")));

        // The current protocol's 'V' behind its challenge.
        console.variables.Show(servers[1], env.clock.now());
        QVERIFY(tickUntil([&] { return servers[1]->m_rules.has_value(); }, 3));
        QCOMPARE(servers[1]->m_rules->entries.size(), std::size_t(8));

        // Hidden: nothing is asked.
        console.variables.Show(nullptr, env.clock.now());
        servers[1]->m_rules.reset();
        for (int i = 0; i < VariablesWatch::kAskSeconds + 2; ++i) {
            env.clock.advance(1);
            doc->TickSecond();
        }
        QTest::qWait(200);
        QVERIFY(!servers[1]->m_rules);
    }
};

QTEST_GUILESS_MAIN(TestParkActions)
#include "tst_parkactions.moc"
