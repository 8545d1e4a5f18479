#include "core/RandomSource.h"

int RandomSource::uniform(int low, int high)
{
    std::uniform_int_distribution<int> distribution(low, high);
    return distribution(m_engine);
}
