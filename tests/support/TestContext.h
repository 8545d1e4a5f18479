#pragma once

#include "core/Clock.h"
#include "core/CoreContext.h"
#include "core/RandomSource.h"
#include "support/ScriptedOperator.h"

// A manual clock, a fixed-seed random source and a scripted operator,
// bundled into the context the core is given.
struct TestContext
{
    ManualClock clock;
    RandomSource random{12345};
    ScriptedOperator op;

    CoreContext context() { return CoreContext{&clock, &random, &op}; }
};
