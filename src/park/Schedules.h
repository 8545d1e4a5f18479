#pragma once

#include "park/ScheduleRule.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

class PresetBook;

// A command or a preset to run on machines by a rule.
struct Schedule
{
    std::int64_t id = 0;
    std::string command;               // one command line (UTF-8), or empty for a preset
    std::string preset;                // a preset's name: its commands as they are at the run
    std::vector<std::string> machines; // "address:port", as picked
    ScheduleRule rule;
    std::int64_t nextRun = 0; // 0: none due (done, or waiting for a match end)
    std::int64_t lastRun = 0;
    std::string lastResult;
    // The machines whose running match was seen (a match end), not kept.
    std::vector<std::string> matchSeen;
    // The warnings already said before nextRun (an index into warnMinutes).
    std::size_t warned = 0;
};

// The operator's schedules, pure: Tick() says what is due at `now` (by the
// injected clock) and the caller sends it. A timed run missed while the
// program was not running happens at the first tick after its time; an
// every-N schedule then goes on from its next time still ahead.
class Schedules
{
public:
    static constexpr std::size_t kMaxSchedules = 200;
    static constexpr std::size_t kMaxMachines = 10'000;
    static constexpr std::size_t kMaxCommandBytes = 255;

    struct Action
    {
        std::int64_t id = 0;
        std::vector<std::string> machines;
        std::vector<std::string> commands; // checked: one line each
        bool warning = false;
    };
    // Whether the machine's match is running; nullopt when it is no game
    // server of the park (any more).
    using MatchLook = std::function<std::optional<bool>(const std::string& machine)>;

    // Adds the schedule (a new id, its first run worked out); the refusal
    // when its command, preset, machines or rule cannot run.
    std::optional<std::string> Add(Schedule schedule, std::int64_t now, const PresetBook& presets);
    // Takes a schedule back as kept (id, next run and results kept); false
    // when it cannot run (a damaged row).
    bool Restore(Schedule schedule);
    bool Remove(std::int64_t id);
    void SetResult(std::int64_t id, std::int64_t at, std::string result);

    std::vector<Action> Tick(std::int64_t now, const PresetBook& presets, const MatchLook& look);

    const std::vector<Schedule>& schedules() const { return m_schedules; }
    const Schedule* Find(std::int64_t id) const;
    // Moves whenever a schedule changes, so that a table redraws only then.
    std::uint64_t generation() const { return m_generation; }

    // "say NAME in 5 minutes": the name only when it can stand in a chat
    // line, else "A scheduled command".
    static std::string WarningCommand(const Schedule& schedule, int minutes);

private:
    std::optional<std::string> Refusal(const Schedule& schedule) const;
    void Due(Schedule& schedule, std::int64_t now, const PresetBook& presets, std::vector<Action>& actions,
             std::vector<std::string> machines);

    std::vector<Schedule> m_schedules;
    std::int64_t m_nextId = 1;
    std::uint64_t m_generation = 0;
};
