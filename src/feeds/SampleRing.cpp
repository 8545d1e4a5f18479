#include "feeds/SampleRing.h"

#include <algorithm>

int SampleRing::sample(std::int64_t index) const
{
    if (!m_wide.empty()) {
        const int value = m_wide[slot(index)];
        return value == kEmptyWide ? -1 : value;
    }
    if (m_narrow.empty())
        return -1;
    const int value = m_narrow[slot(index)];
    return value == kEmptyNarrow ? -1 : value;
}

void SampleRing::store(std::int64_t index, int value)
{
    if (value >= kEmptyNarrow && m_wide.empty())
        widen();
    if (!m_wide.empty()) {
        m_wide[slot(index)] = static_cast<std::uint16_t>(value < 0 ? kEmptyWide : value);
        return;
    }
    if (m_narrow.empty())
        m_narrow.assign(static_cast<std::size_t>(m_slots), kEmptyNarrow);
    m_narrow[slot(index)] = static_cast<std::uint8_t>(value < 0 ? kEmptyNarrow : value);
}

void SampleRing::widen()
{
    m_wide.assign(static_cast<std::size_t>(m_slots), kEmptyWide);
    for (std::size_t i = 0; i < m_narrow.size(); ++i) {
        if (m_narrow[i] != kEmptyNarrow)
            m_wide[i] = m_narrow[i];
    }
    m_narrow.clear();
    m_narrow.shrink_to_fit();
}

void SampleRing::record(std::int64_t seconds, int count)
{
    if (seconds < 0)
        return;
    const std::int64_t index = seconds / m_slotSeconds;
    if (index < m_newest)
        return;
    count = std::clamp(count, 0, kEmptyWide - 1);
    if (index == m_newest) {
        store(index, m_merge == Merge::Peak ? std::max(count, sample(index)) : count);
        return;
    }
    // Slots skipped since the last record have no sample; after a whole
    // window or more, none of the ring is current.
    if (m_newest >= 0) {
        const std::int64_t gap = std::min<std::int64_t>(index - m_newest, m_slots + 1);
        for (std::int64_t i = 1; i < gap; ++i)
            store(m_newest + i, -1);
    }
    m_newest = index;
    store(index, count);
}

void SampleRing::fill(std::int64_t seconds, int count)
{
    if (seconds < 0)
        return;
    const std::int64_t index = seconds / m_slotSeconds;
    if (index > m_newest) {
        record(seconds, count);
        return;
    }
    if (m_newest - index >= m_slots)
        return;
    store(index, std::max(std::clamp(count, 0, kEmptyWide - 1), sample(index)));
}

std::vector<std::optional<int>> SampleRing::last(std::int64_t seconds) const
{
    std::vector<std::optional<int>> window(static_cast<std::size_t>(m_slots));
    const std::int64_t end = seconds / m_slotSeconds;
    for (int i = 0; i < m_slots; ++i) {
        const std::int64_t index = end - (m_slots - 1) + i;
        if (index < 0 || index > m_newest || m_newest - index >= m_slots)
            continue;
        if (const int value = sample(index); value >= 0)
            window[static_cast<std::size_t>(i)] = value;
    }
    return window;
}

std::optional<int> SampleRing::latest() const
{
    if (m_newest < 0)
        return std::nullopt;
    const int value = sample(m_newest);
    return value < 0 ? std::nullopt : std::optional<int>(value);
}
