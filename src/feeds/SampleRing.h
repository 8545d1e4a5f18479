#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Counts over a fixed window of equal slots (a day of minutes, a week of
// ten-minute spans), in a ring made at the first sample: one byte per slot
// while every count fits, two once a count above 254 comes. A slot in which
// nothing was recorded has no sample rather than a made-up one.
class SampleRing
{
public:
    enum class Merge
    {
        Replace, // a later count in the same slot replaces the earlier one
        Peak,    // a slot keeps the largest count it was given
    };

    SampleRing(int count, int slotSeconds, Merge merge)
        : m_slots(count), m_slotSeconds(slotSeconds), m_merge(merge)
    {
    }

    // Records the count for the slot that holds `seconds` (since 1970). A
    // time before the newest slot recorded is ignored.
    void record(std::int64_t seconds, int count);
    // Fills in a count from before (read back from the ledger): an empty
    // slot takes it, a slot that holds one keeps the larger; a time after
    // the newest slot is recorded.
    void fill(std::int64_t seconds, int count);

    // The last slots up to the one holding `seconds`, oldest first.
    std::vector<std::optional<int>> last(std::int64_t seconds) const;
    std::optional<int> latest() const;
    int size() const { return m_slots; }

private:
    static constexpr int kEmptyNarrow = 0xFF;
    static constexpr int kEmptyWide = 0xFFFF;

    int sample(std::int64_t index) const;
    void store(std::int64_t index, int value);
    void widen();
    std::size_t slot(std::int64_t index) const { return static_cast<std::size_t>(index % m_slots); }

    int m_slots;
    int m_slotSeconds;
    Merge m_merge;
    std::vector<std::uint8_t> m_narrow;
    std::vector<std::uint16_t> m_wide; // in use once made; then m_narrow is empty
    std::int64_t m_newest = -1;
};
