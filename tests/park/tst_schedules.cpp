// Schedules on the injected clock: when each run and warning is due, what
// a rule accepts, how it is kept, and presets read at the run.
#include "park/Presets.h"
#include "park/Schedules.h"

#include <QTest>
#include <map>

namespace {

constexpr std::int64_t kNow = 1'800'000'000;

Schedule Command(const std::string& command, ScheduleRule rule,
                 std::vector<std::string> machines = {"127.0.0.1:27015"})
{
    Schedule schedule;
    schedule.command = command;
    schedule.machines = std::move(machines);
    schedule.rule = std::move(rule);
    return schedule;
}

// Every action from `from` to `to`, one tick a second, by its second.
std::multimap<std::int64_t, Schedules::Action> Run(Schedules& schedules, const PresetBook& presets,
                                                   std::int64_t from, std::int64_t to,
                                                   const Schedules::MatchLook& look = {})
{
    std::multimap<std::int64_t, Schedules::Action> done;
    const auto noMatch = [](const std::string&) { return std::optional<bool>(false); };
    for (std::int64_t now = from; now <= to; ++now)
        for (auto& action : schedules.Tick(now, presets, look ? look : noMatch))
            done.emplace(now, std::move(action));
    return done;
}

// Each action as "SECONDS-AFTER-kNow warn|run COMMANDS".
std::vector<std::string> Lines(const std::multimap<std::int64_t, Schedules::Action>& done)
{
    std::vector<std::string> lines;
    for (const auto& [at, action] : done) {
        std::string line = std::to_string(at - kNow) + (action.warning ? " warn" : " run");
        for (const std::string& command : action.commands)
            line += ' ' + command;
        lines.push_back(line);
    }
    return lines;
}

} // namespace

class TestSchedules : public QObject
{
    Q_OBJECT

private slots:
    void onceWithTwoWarnings()
    {
        Schedules schedules;
        PresetBook presets;
        QVERIFY(!schedules.Add(
            Command("changelevel de_nuke", {ScheduleRule::Kind::At, kNow + 600, 0, {1, 5}}), kNow, presets));
        const auto done = Run(schedules, presets, kNow, kNow + 3600);
        QCOMPARE(Lines(done), (std::vector<std::string>{"300 warn say changelevel de_nuke in 5 minutes",
                                                        "540 warn say changelevel de_nuke in 1 minute",
                                                        "600 run changelevel de_nuke"}));
        QCOMPARE(done.rbegin()->second.machines, std::vector<std::string>{"127.0.0.1:27015"});
        QCOMPARE(schedules.schedules()[0].nextRun, std::int64_t{0}); // done, still listed

        // Not ticked until both warnings are due: the latest alone is said, once.
        Schedules late;
        QVERIFY(!late.Add(Command("changelevel de_nuke", {ScheduleRule::Kind::At, kNow + 600, 0, {1, 5}}), kNow,
                          presets));
        QCOMPARE(Lines(Run(late, presets, kNow + 590, kNow + 600)),
                 (std::vector<std::string>{"590 warn say changelevel de_nuke in 1 minute", "600 run changelevel de_nuke"}));
    }

    void everyNMinutes()
    {
        Schedules schedules;
        PresetBook presets;
        QVERIFY(!schedules.Add(Command("say \"hi\"; quit", {ScheduleRule::Kind::Every, kNow + 60, 10, {2}}),
                               kNow, presets));
        auto done = Run(schedules, presets, kNow, kNow + 1300);
        // The first run's warning time had passed when it was made: not said late. A command
        // that could end a chat line is not named in the warning.
        const std::string run = " run say \"hi\"; quit", warn = " warn say A scheduled command in 2 minutes";
        QCOMPARE(Lines(done), (std::vector<std::string>{"60" + run, "540" + warn, "660" + run, "1140" + warn,
                                                        "1260" + run}));
        // Away for an hour: one run at the return, then on from the next time ahead, warned with
        // the minutes truly left.
        done = Run(schedules, presets, kNow + 5000, kNow + 5000);
        QCOMPARE(done.size(), std::size_t{1});
        QCOMPARE(schedules.schedules()[0].nextRun, kNow + 5460);
        done = Run(schedules, presets, kNow + 5401, kNow + 5401);
        QCOMPARE(done.begin()->second.commands,
                 std::vector<std::string>{"say A scheduled command in 1 minute"});
    }

    void whenTheMatchEnds()
    {
        Schedules schedules;
        PresetBook presets;
        QVERIFY(!presets.Put({"Warmup", {"exec warmup.cfg", "sv_restart 1"}}));
        Schedule schedule;
        schedule.preset = "Warmup";
        schedule.machines = {"127.0.0.1:1", "127.0.0.1:2", "127.0.0.1:3"};
        schedule.rule.kind = ScheduleRule::Kind::MatchEnd;
        QVERIFY(!schedules.Add(schedule, kNow, presets));
        std::map<std::string, std::optional<bool>> running = {
            {"127.0.0.1:1", true}, {"127.0.0.1:2", false}, {"127.0.0.1:3", std::nullopt}};
        const auto look = [&](const std::string& machine) { return running[machine]; };
        QVERIFY(Run(schedules, presets, kNow, kNow + 10, look).empty());
        running["127.0.0.1:2"] = true;
        QVERIFY(Run(schedules, presets, kNow + 11, kNow + 20, look).empty());
        running["127.0.0.1:1"] = false; // its match is over: the preset, as it is now, there only
        QVERIFY(!presets.Put({"Warmup", {"exec warmup2.cfg"}}));
        const auto done = Run(schedules, presets, kNow + 21, kNow + 30, look);
        QCOMPARE(Lines(done), std::vector<std::string>{"21 run exec warmup2.cfg"});
        QCOMPARE(done.begin()->second.machines, std::vector<std::string>{"127.0.0.1:1"});
        // The preset gone: nothing runs, and the result says why.
        QVERIFY(presets.Remove("Warmup"));
        running["127.0.0.1:2"] = std::nullopt;
        QVERIFY(Run(schedules, presets, kNow + 31, kNow + 31, look).empty());
        QVERIFY(schedules.schedules()[0].lastResult.find("no preset \"Warmup\"") != std::string::npos);
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QString>("preset");
        QTest::addColumn<int>("kind");
        QTest::addColumn<int>("in");    // seconds from now to the run
        QTest::addColumn<int>("every"); // minutes
        QTest::addColumn<QList<int>>("warnings");
        const auto row = [](const char* name, const char* command, const char* preset,
                            ScheduleRule::Kind kind, int in, int every, const QList<int>& warnings = {}) {
            QTest::addRow("%s", name) << command << preset << int(kind) << in << every << warnings;
        };
        const auto at = ScheduleRule::Kind::At;
        const auto every = ScheduleRule::Kind::Every;
        row("no command", "  ", "", at, 600, 0);
        row("two lines", "say a\nquit", "", at, 600, 0);
        row("both", "status", "Live", at, 600, 0);
        row("unknown preset", "", "Nope", at, 600, 0);
        row("past", "status", "", at, 0, 0);
        row("no period", "status", "", every, 600, 0);
        row("period over a week", "status", "", every, 600, 10081);
        row("warning past the period", "status", "", every, 600, 5, {5});
        row("warned match end", "status", "", ScheduleRule::Kind::MatchEnd, 0, 0, {1});
        row("too many warnings", "status", "", at, 9000, 0, {9, 8, 7, 6, 5});
        row("warning of a day and more", "status", "", at, 90000, 0, {1441});
    }
    void refusals()
    {
        QFETCH(QString, command);
        QFETCH(QString, preset);
        QFETCH(int, kind);
        QFETCH(int, in);
        QFETCH(int, every);
        QFETCH(QList<int>, warnings);
        PresetBook presets;
        QVERIFY(!presets.Put({"Live", {"exec live.cfg"}}));
        ScheduleRule rule{ScheduleRule::Kind(kind), kNow + in, every, {warnings.begin(), warnings.end()}};
        Schedule schedule = Command(command.toStdString(), rule);
        schedule.preset = preset.toStdString();
        Schedules schedules;
        QVERIFY(schedules.Add(schedule, kNow, presets).has_value());
        QVERIFY(schedules.schedules().empty());
        // A rule that cannot run is not taken back from the ledger either.
        if (ruleRefusal(rule))
            QVERIFY(!decodeRule(encodeRule(rule)));
    }

    void rulesAsKept()
    {
        for (const ScheduleRule& rule : {ScheduleRule{ScheduleRule::Kind::At, kNow, 0, {5, 1}},
                                         ScheduleRule{ScheduleRule::Kind::Every, kNow, 30, {}},
                                         ScheduleRule{ScheduleRule::Kind::MatchEnd, 0, 0, {}}})
            QCOMPARE(decodeRule(encodeRule(rule)), std::optional<ScheduleRule>(rule));
        for (const char* bad : {"", "at", "at x", "every 5 to 1", "match-end warn", "at 5 warn 1,,2",
                                "at 5 warn -1", "at 5 extra", "sometime 5"})
            QVERIFY2(!decodeRule(bad), bad);
        QCOMPARE(describeRule(*decodeRule("at 1800000000 warn 5,1")),
                 std::string("at 2027-01-15 08:00:00 UTC, warns 5 and 1 min before"));
        // A damaged row is not taken back; a kept one keeps its id, and new ones come after it.
        Schedules schedules;
        PresetBook presets;
        Schedule kept = Command("status", {ScheduleRule::Kind::Every, kNow, 30, {}});
        kept.id = 7;
        kept.nextRun = kNow + 60;
        QVERIFY(schedules.Restore(kept));
        QVERIFY(!schedules.Restore(kept));
        kept.id = 8;
        kept.machines.clear();
        QVERIFY(!schedules.Restore(kept));
        QVERIFY(!schedules.Add(Command("status", {ScheduleRule::Kind::At, kNow + 60, 0, {}}), kNow, presets));
        QCOMPARE(schedules.schedules().back().id, std::int64_t{8});
        QVERIFY(schedules.Remove(7));
        QVERIFY(!schedules.Remove(7));
    }
};

QTEST_GUILESS_MAIN(TestSchedules)
#include "tst_schedules.moc"
