#pragma once

#include <cstdint>

// State of a monitored object, as shown on its box and in the control panel.
enum CSStatus : std::int32_t
{
    CSStatus_BAD = 0,
    CSStatus_TIMEOUT = 1, // no accepted reply for more than 10 seconds; the initial state
    CSStatus_MONITORING = 2,
    CSStatus_CONTROL = 3,
    CSStatus_FULLCONTROL = 4,
};
