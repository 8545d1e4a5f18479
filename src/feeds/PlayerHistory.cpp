#include "feeds/PlayerHistory.h"

#include <algorithm>

int PlayerHistory::sample(std::int64_t minute) const
{
    if (!m_wide.empty()) {
        const int value = m_wide[slot(minute)];
        return value == kEmptyWide ? -1 : value;
    }
    if (m_narrow.empty())
        return -1;
    const int value = m_narrow[slot(minute)];
    return value == kEmptyNarrow ? -1 : value;
}

void PlayerHistory::store(std::int64_t minute, int value)
{
    if (value >= kEmptyNarrow && m_wide.empty())
        widen();
    if (!m_wide.empty()) {
        m_wide[slot(minute)] = static_cast<std::uint16_t>(value < 0 ? kEmptyWide : value);
        return;
    }
    if (m_narrow.empty())
        m_narrow.assign(kMinutes, kEmptyNarrow);
    m_narrow[slot(minute)] = static_cast<std::uint8_t>(value < 0 ? kEmptyNarrow : value);
}

void PlayerHistory::widen()
{
    m_wide.assign(kMinutes, kEmptyWide);
    for (std::size_t i = 0; i < m_narrow.size(); ++i) {
        if (m_narrow[i] != kEmptyNarrow)
            m_wide[i] = m_narrow[i];
    }
    m_narrow.clear();
    m_narrow.shrink_to_fit();
}

void PlayerHistory::record(std::int64_t seconds, int count)
{
    if (seconds < 0)
        return;
    const std::int64_t minute = seconds / 60;
    if (minute < m_newestMinute)
        return;
    // Minutes skipped since the last record have no sample; after a day or
    // more, none of the ring is current.
    if (m_newestMinute >= 0) {
        const std::int64_t gap = std::min<std::int64_t>(minute - m_newestMinute, kMinutes + 1);
        for (std::int64_t m = 1; m < gap; ++m)
            store(m_newestMinute + m, -1);
    }
    m_newestMinute = minute;
    store(minute, std::clamp(count, 0, kEmptyWide - 1));
}

std::vector<std::optional<int>> PlayerHistory::lastDay(std::int64_t seconds) const
{
    std::vector<std::optional<int>> day(kMinutes);
    const std::int64_t end = seconds / 60;
    for (int i = 0; i < kMinutes; ++i) {
        const std::int64_t minute = end - (kMinutes - 1) + i;
        if (minute < 0 || minute > m_newestMinute || m_newestMinute - minute >= kMinutes)
            continue;
        if (const int value = sample(minute); value >= 0)
            day[static_cast<std::size_t>(i)] = value;
    }
    return day;
}

std::optional<int> PlayerHistory::latest() const
{
    if (m_newestMinute < 0)
        return std::nullopt;
    const int value = sample(m_newestMinute);
    return value < 0 ? std::nullopt : std::optional<int>(value);
}
