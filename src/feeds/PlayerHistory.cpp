#include "feeds/PlayerHistory.h"

#include <algorithm>

std::array<std::uint16_t, PlayerHistory::kMinutes> PlayerHistory::filled()
{
    std::array<std::uint16_t, kMinutes> samples{};
    samples.fill(kEmpty);
    return samples;
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
            m_samples[slot(m_newestMinute + m)] = kEmpty;
    }
    m_newestMinute = minute;
    m_samples[slot(minute)] = static_cast<std::uint16_t>(std::clamp(count, 0, kEmpty - 1));
}

std::vector<std::optional<int>> PlayerHistory::lastDay(std::int64_t seconds) const
{
    std::vector<std::optional<int>> day(kMinutes);
    const std::int64_t end = seconds / 60;
    for (int i = 0; i < kMinutes; ++i) {
        const std::int64_t minute = end - (kMinutes - 1) + i;
        if (minute < 0 || minute > m_newestMinute || m_newestMinute - minute >= kMinutes)
            continue;
        const std::uint16_t value = m_samples[slot(minute)];
        if (value != kEmpty)
            day[static_cast<std::size_t>(i)] = value;
    }
    return day;
}

std::optional<int> PlayerHistory::latest() const
{
    if (m_newestMinute < 0 || m_samples[slot(m_newestMinute)] == kEmpty)
        return std::nullopt;
    return m_samples[slot(m_newestMinute)];
}
