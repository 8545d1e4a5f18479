#pragma once

#include "feeds/SampleRing.h"

#include <cstdint>
#include <optional>
#include <utility>
#include <vector>

// Players (proxies: spectators; hub managers: clients) of one object: the
// last 24 hours one sample a minute, and the last 7 days one sample per ten
// minutes holding the peak of its minutes (the ledger keeps the same peaks).
// Rings are made at the first sample, so an object never sampled costs
// nothing. A span without a sample (the program was not running, the
// machine did not answer) stays empty rather than made up.
class PlayerHistory
{
public:
    static constexpr int kMinutes = 1440;
    static constexpr int kSpanSeconds = 600;
    static constexpr int kSpans = 7 * 144;

    // Records the count for the minute that holds `seconds` (since 1970);
    // a later record in the same minute replaces the earlier one. A time
    // before the newest minute recorded is ignored.
    void record(std::int64_t seconds, int count);
    // What the ledger kept from before: minutes' counts and ten-minute
    // spans' peaks, as (seconds since 1970, count). A live sample of the
    // same minute wins; a span keeps the larger peak.
    struct Backfill
    {
        std::vector<std::pair<std::int64_t, int>> minutes;
        std::vector<std::pair<std::int64_t, int>> spans;
    };
    void fill(const Backfill& kept);

    // The last kMinutes minutes up to the one holding `seconds`, oldest
    // first; nullopt where no sample was taken. What a sparkline draws.
    std::vector<std::optional<int>> lastDay(std::int64_t seconds) const { return m_day.last(seconds); }
    // The last kSpans ten-minute spans, oldest first, each its peak.
    std::vector<std::optional<int>> lastWeek(std::int64_t seconds) const { return m_week.last(seconds); }

    // The newest minute's sample, if any.
    std::optional<int> latest() const { return m_day.latest(); }

private:
    SampleRing m_day{kMinutes, 60, SampleRing::Merge::Replace};
    SampleRing m_week{kSpans, kSpanSeconds, SampleRing::Merge::Peak};
};
