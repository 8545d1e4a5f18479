#include "layout/RangeValidation.h"

std::vector<std::string> validateRange(const std::array<int, 4>& from, const std::array<int, 4>& to,
                                       std::uint32_t firstPort, std::uint32_t lastPort)
{
    std::vector<std::string> messages;
    if (from[0] != to[0] || from[1] != to[1] || from[2] != to[2] || from[3] > to[3])
        messages.emplace_back(kAddressRangeMessage);
    if (firstPort > lastPort)
        messages.emplace_back(kPortRangeMessage);
    return messages;
}
