#pragma once

#include <cstdint>
#include <random>

// Seedable pseudo-random source. The document reseeds it from the clock when
// a new layout is made; tests seed it with a fixed value.
class RandomSource
{
public:
    explicit RandomSource(std::uint32_t seed = 1) : m_engine(seed) {}

    void seed(std::uint32_t value) { m_engine.seed(value); }
    // Uniform integer in [low, high], both inclusive.
    int uniform(int low, int high);

private:
    std::mt19937 m_engine;
};
