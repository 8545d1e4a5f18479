#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The checks of the range dialog's OK step: only the last byte of the two
// addresses may differ (ascending), and the first port may not exceed the
// last. Returns the messages to show, in order; empty when the range is valid.
std::vector<std::string> validateRange(const std::array<int, 4>& from, const std::array<int, 4>& to,
                                       std::uint32_t firstPort, std::uint32_t lastPort);
