#include "feeds/PlayerHistory.h"

void PlayerHistory::record(std::int64_t seconds, int count)
{
    m_day.record(seconds, count);
    m_week.record(seconds, count);
}

void PlayerHistory::fill(const Backfill& kept)
{
    for (const auto& [seconds, peak] : kept.spans)
        m_week.fill(seconds, peak);
    for (const auto& [seconds, count] : kept.minutes) {
        m_day.fill(seconds, count);
        m_week.fill(seconds, count);
    }
}
