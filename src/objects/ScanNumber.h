#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

// Reads a decimal integer the way the machines' texts are read with "%d":
// leading white space skipped, an optional sign, then digits up to the first
// other character. nullopt when no digit follows. The value keeps its low 32
// bits, so 4294967295 reads as the bit pattern 0xFFFFFFFF and a challenge
// above 2147483647 is sent back with the same digits.
std::optional<std::int32_t> scanInt(std::string_view text);

// The number of characters scanInt consumed; 0 when it found no number.
std::size_t scanIntLength(std::string_view text);
