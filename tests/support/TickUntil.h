#pragma once

#include "core/Clock.h"
#include "layout/CQuorvaneDoc.h"

#include <QTest>

// Ticks the document once a (manual) second, letting the replies of each
// tick arrive over the real sockets, until done holds; false when it still
// does not after maxTicks ticks.
template <class Done> bool tickUntil(ManualClock& clock, CQuorvaneDoc& document, Done done, int maxTicks)
{
    for (int tick = 0; tick < maxTicks; ++tick) {
        clock.advance(1);
        document.TickSecond();
        if (QTest::qWaitFor(done, 300))
            return true;
    }
    return false;
}
