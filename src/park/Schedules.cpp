#include "park/Schedules.h"

#include "core/CommandArguments.h"
#include "park/Presets.h"

#include <algorithm>

namespace {

bool OneLine(const std::string& text)
{
    return text.find_first_of(std::string_view("\r\n\0", 3)) == std::string::npos;
}

} // namespace

std::optional<std::string> Schedules::Refusal(const Schedule& schedule) const
{
    if (schedule.command.empty() == schedule.preset.empty())
        return "A schedule runs either a command or a preset.";
    if (!schedule.command.empty() &&
        (schedule.command.find_first_not_of(" \t") == std::string::npos ||
         schedule.command.size() > kMaxCommandBytes || !OneLine(schedule.command)))
        return "A scheduled command holds 1 to 255 bytes on one line.";
    if (schedule.preset.size() > PresetBook::kMaxNameBytes || !OneLine(schedule.preset))
        return "That is no preset's name.";
    if (schedule.machines.empty() || schedule.machines.size() > kMaxMachines)
        return "A schedule runs on 1 to 10000 machines.";
    for (const std::string& machine : schedule.machines)
        if (machine.empty() || machine.size() > 300 || !OneLine(machine))
            return "A machine of the schedule has no usable address.";
    return ruleRefusal(schedule.rule);
}

std::optional<std::string> Schedules::Add(Schedule schedule, std::int64_t now, const PresetBook& presets)
{
    if (m_schedules.size() >= kMaxSchedules)
        return "There are 200 schedules already.";
    std::sort(schedule.rule.warnMinutes.begin(), schedule.rule.warnMinutes.end(), std::greater<>());
    schedule.rule.warnMinutes.erase(
        std::unique(schedule.rule.warnMinutes.begin(), schedule.rule.warnMinutes.end()),
        schedule.rule.warnMinutes.end());
    if (auto refusal = Refusal(schedule))
        return refusal;
    if (!schedule.preset.empty() && !presets.Find(schedule.preset))
        return "There is no preset \"" + schedule.preset + "\".";
    if (schedule.rule.kind != ScheduleRule::Kind::MatchEnd && schedule.rule.at <= now &&
        schedule.rule.kind == ScheduleRule::Kind::At)
        return "That time has passed.";
    schedule.id = m_nextId++;
    schedule.nextRun = schedule.rule.kind == ScheduleRule::Kind::MatchEnd ? 0 : schedule.rule.at;
    schedule.lastRun = 0;
    schedule.lastResult.clear();
    schedule.matchSeen.clear();
    schedule.warned = 0;
    // Warnings whose time has already passed are not said late.
    while (schedule.warned < schedule.rule.warnMinutes.size() &&
           schedule.nextRun - schedule.rule.warnMinutes[schedule.warned] * 60 <= now)
        ++schedule.warned;
    m_schedules.push_back(std::move(schedule));
    ++m_generation;
    return std::nullopt;
}

bool Schedules::Restore(Schedule schedule)
{
    if (m_schedules.size() >= kMaxSchedules || schedule.id <= 0 || Refusal(schedule) || Find(schedule.id))
        return false;
    m_nextId = std::max(m_nextId, schedule.id + 1);
    schedule.matchSeen.clear();
    schedule.warned = 0;
    m_schedules.push_back(std::move(schedule));
    ++m_generation;
    return true;
}

bool Schedules::Remove(std::int64_t id)
{
    const auto found =
        std::find_if(m_schedules.begin(), m_schedules.end(), [id](const Schedule& s) { return s.id == id; });
    if (found == m_schedules.end())
        return false;
    m_schedules.erase(found);
    ++m_generation;
    return true;
}

const Schedule* Schedules::Find(std::int64_t id) const
{
    const auto found =
        std::find_if(m_schedules.begin(), m_schedules.end(), [id](const Schedule& s) { return s.id == id; });
    return found == m_schedules.end() ? nullptr : &*found;
}

void Schedules::SetResult(std::int64_t id, std::int64_t at, std::string result)
{
    for (Schedule& schedule : m_schedules)
        if (schedule.id == id) {
            schedule.lastRun = at;
            schedule.lastResult = std::move(result);
            ++m_generation;
        }
}

std::string Schedules::WarningCommand(const Schedule& schedule, int minutes)
{
    std::string name = schedule.preset.empty() ? schedule.command : schedule.preset;
    if (name.size() > 64 || !isSafeCommandArgument(name))
        name = "A scheduled command";
    return "say " + name + " in " + std::to_string(minutes) + (minutes == 1 ? " minute" : " minutes");
}

void Schedules::Due(Schedule& schedule, std::int64_t now, const PresetBook& presets,
                    std::vector<Action>& actions, std::vector<std::string> machines)
{
    Action action{schedule.id, std::move(machines), {}, false};
    if (schedule.preset.empty()) {
        action.commands = {schedule.command};
    } else if (const Preset* preset = presets.Find(schedule.preset)) {
        action.commands = preset->commands; // the book checked each as it took it
    } else {
        SetResult(schedule.id, now, "not run: there is no preset \"" + schedule.preset + "\" any more");
        return;
    }
    actions.push_back(std::move(action));
}

std::vector<Schedules::Action> Schedules::Tick(std::int64_t now, const PresetBook& presets,
                                               const MatchLook& look)
{
    std::vector<Action> actions;
    for (Schedule& schedule : m_schedules) {
        const ScheduleRule& rule = schedule.rule;
        if (rule.kind == ScheduleRule::Kind::MatchEnd) {
            std::vector<std::string> ended;
            for (const std::string& machine : schedule.machines) {
                const std::optional<bool> running = look(machine);
                const auto seen = std::find(schedule.matchSeen.begin(), schedule.matchSeen.end(), machine);
                if (running.value_or(false) && seen == schedule.matchSeen.end())
                    schedule.matchSeen.push_back(machine);
                else if (!running.value_or(false) && seen != schedule.matchSeen.end()) {
                    schedule.matchSeen.erase(seen);
                    ended.push_back(machine);
                }
            }
            if (!ended.empty())
                Due(schedule, now, presets, actions, std::move(ended));
            continue;
        }
        if (schedule.nextRun <= 0)
            continue;
        // Of the warnings due now, only the latest is said, with the minutes
        // truly left (a program started late says "in 2 minutes", not 5).
        bool warn = false;
        while (schedule.warned < rule.warnMinutes.size() &&
               now >= schedule.nextRun - rule.warnMinutes[schedule.warned] * 60) {
            warn = true;
            ++schedule.warned;
        }
        if (now >= schedule.nextRun) {
            Due(schedule, now, presets, actions, schedule.machines);
            if (rule.kind == ScheduleRule::Kind::Every) {
                const std::int64_t period = std::int64_t{rule.everyMinutes} * 60;
                schedule.nextRun += ((now - schedule.nextRun) / period + 1) * period;
            } else {
                schedule.nextRun = 0;
            }
            schedule.warned = 0;
            while (schedule.nextRun > 0 && schedule.warned < rule.warnMinutes.size() &&
                   schedule.nextRun - rule.warnMinutes[schedule.warned] * 60 <= now)
                ++schedule.warned;
            ++m_generation;
        } else if (warn) {
            const int left = static_cast<int>((schedule.nextRun - now + 59) / 60);
            actions.push_back({schedule.id, schedule.machines, {WarningCommand(schedule, left)}, true});
        }
    }
    return actions;
}
