#pragma once

class Clock;
class RandomSource;
class Operator;

// The seams every part of the core is given instead of reaching for globals:
// the clock, the random source and the operator. None is owned here.
struct CoreContext
{
    Clock* clock = nullptr;
    RandomSource* random = nullptr;
    Operator* op = nullptr;
};
