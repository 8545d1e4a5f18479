#pragma once

#include "feeds/EventRing.h"
#include "feeds/LogEvent.h"
#include "feeds/PlayerHistory.h"

#include <array>
#include <cstdint>

// What the live feeds keep for one object: its newest log events, how many
// of each type arrived since the start, and its day of player counts.
struct ObjectFeed
{
    EventRing events;
    std::array<std::int64_t, LogEvent::kTypeCount> counts{};
    PlayerHistory history;
};
