#pragma once

#include <array>
#include <atomic>
#include <cstdint>

// Counters the metrics page reads from any thread.
struct LedgerStats
{
    enum Kind : int
    {
        Commands,
        Availability,
        Matches,
        Sightings,
        History,
        KindCount,
    };
    static const char* KindName(int kind);

    std::array<std::atomic<std::uint64_t>, KindCount> written{};
    std::atomic<std::uint64_t> writeErrors{0};
};
