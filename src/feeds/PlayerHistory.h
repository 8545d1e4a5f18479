#pragma once

#include <cstdint>
#include <optional>
#include <vector>

// Players (proxies: spectators; hub managers: clients) over the last 24
// hours, one sample a minute, in a ring of 1440 samples made at the first
// sample: one byte each while every count fits (a game server's players
// always do), two once a count above 254 comes (a proxy's spectators).
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
    static constexpr int kEmptyNarrow = 0xFF;
    static constexpr int kEmptyWide = 0xFFFF;

    // The sample of a minute, or -1 where there is none.
    int sample(std::int64_t minute) const;
    void store(std::int64_t minute, int value);
    void widen();
    static std::size_t slot(std::int64_t minute) { return static_cast<std::size_t>(minute % kMinutes); }

    std::vector<std::uint8_t> m_narrow;
    std::vector<std::uint16_t> m_wide; // in use once made; then m_narrow is empty
    std::int64_t m_newestMinute = -1;
};
