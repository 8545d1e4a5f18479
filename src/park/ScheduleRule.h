#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// When a schedule runs: once at a time ("in N minutes" is a time too), every
// N minutes from a first run, or when the running match ends (the server's
// match report). Before a timed run it may warn the players on the
// machines, N minutes ahead.
struct ScheduleRule
{
    enum class Kind
    {
        At,
        Every,
        MatchEnd,
    };
    static constexpr int kMaxEveryMinutes = 7 * 1440;
    static constexpr int kMaxWarnMinutes = 1440;
    static constexpr std::size_t kMaxWarnings = 4;

    Kind kind = Kind::At;
    std::int64_t at = 0;  // seconds since 1970: the run (At) or the first run (Every)
    int everyMinutes = 0; // Every
    // Minutes before each timed run, largest first.
    std::vector<int> warnMinutes;

    bool operator==(const ScheduleRule&) const = default;
};

// Why the rule cannot run: a period out of 1..10080 minutes, a warning out
// of 1..1440 minutes or not shorter than the period, too many warnings, or
// warnings on a match end (which gives no notice). Nothing when it can.
std::optional<std::string> ruleRefusal(const ScheduleRule& rule);
// For the table: "at 2026-12-08 00:30 UTC", "every 30 min", "when the match
// ends", with ", warns 5 and 1 min before".
std::string describeRule(const ScheduleRule& rule);
// As the ledger keeps it: "at T", "every N from T", "match-end", each with
// " warn A,B" when it warns; nullopt for text that is not one.
std::string encodeRule(const ScheduleRule& rule);
std::optional<ScheduleRule> decodeRule(const std::string& text);
