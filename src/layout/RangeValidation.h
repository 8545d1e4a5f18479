#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

// The messages of the range dialog, word for word as operators know them
// ("port specification" here is the ports typed in the dialog).
inline constexpr const char* kAddressRangeMessage = "Invalid address range. Only the last byte may differ";
inline constexpr const char* kPortRangeMessage = "Invalid port specification. PortFROM must be lower than PortTO";

// The checks of the range dialog's OK step: only the last byte of the two
// addresses may differ (ascending), and the first port may not exceed the
// last. Returns the messages to show, in order; empty when the range is valid.
std::vector<std::string> validateRange(const std::array<int, 4>& from, const std::array<int, 4>& to,
                                       std::uint32_t firstPort, std::uint32_t lastPort);
