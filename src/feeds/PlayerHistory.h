#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

// Players (proxies: spectators; hub managers: clients) over the last 24
// hours, one sample a minute, in a fixed ring: 1440 samples, 2 bytes each.
// A minute in which nothing was recorded (the program was not running, the
// machine did not answer) has no sample rather than a made-up one.
class PlayerHistory
{
public:
    static constexpr int kMinutes = 1440;

    // Records the count for the minute that holds `seconds` (since 1970);
    // a later record in the same minute replaces the earlier one. A time
    // before the newest minute recorded is ignored.
    void record(std::int64_t seconds, int count);

    // The last `kMinutes` minutes up to the one holding `seconds`, oldest
    // first; nullopt where no sample was taken. What a sparkline draws.
    std::vector<std::optional<int>> lastDay(std::int64_t seconds) const;

    // The newest sample, if any.
    std::optional<int> latest() const;

private:
    static constexpr std::uint16_t kEmpty = 0xFFFF;

    std::array<std::uint16_t, kMinutes> m_samples = filled();
    std::int64_t m_newestMinute = -1;

    static std::array<std::uint16_t, kMinutes> filled();
    static std::size_t slot(std::int64_t minute) { return static_cast<std::size_t>(minute % kMinutes); }
};
