#include "core/Clock.h"

#include <ctime>

std::int64_t SystemClock::now() const
{
    return static_cast<std::int64_t>(std::time(nullptr));
}
