#include "core/HostAddress.h"

#include <algorithm>
#include <cctype>

namespace address {

namespace {

bool allDigits(std::string_view text)
{
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::optional<std::uint32_t> readUnsigned(std::string_view digits)
{
    if (!allDigits(digits) || digits.size() > 10)
        return std::nullopt;
    std::uint64_t value = 0;
    for (char c : digits)
        value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > 0xFFFFFFFFu)
        return std::nullopt;
    return static_cast<std::uint32_t>(value);
}

bool isDottedIPv4(std::string_view text)
{
    int parts = 0;
    while (true) {
        const std::size_t dot = text.find('.');
        const std::string_view part = text.substr(0, dot);
        const auto value = readUnsigned(part);
        if (!value || *value > 255 || part.size() > 3)
            return false;
        ++parts;
        if (dot == std::string_view::npos)
            return parts == 4;
        text.remove_prefix(dot + 1);
    }
}

bool isHostLabel(std::string_view label)
{
    if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-')
        return false;
    return std::all_of(label.begin(), label.end(), [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return byte < 0x80 && (std::isalnum(byte) || c == '-');
    });
}

} // namespace

HostAndPort splitHostPort(std::string_view text)
{
    const std::size_t colon = text.find(':');
    if (colon != std::string_view::npos && text.find(':', colon + 1) == std::string_view::npos) {
        if (const auto port = readUnsigned(text.substr(colon + 1)))
            return {std::string(text.substr(0, colon)), port};
    }
    return {std::string(text), std::nullopt};
}

bool isUsableHost(std::string_view text)
{
    if (text.empty() || text.size() > 253)
        return false;
    // Numbers and dots only: it must be a whole IPv4 address, not a name.
    if (std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; }))
        return isDottedIPv4(text);
    while (true) {
        const std::size_t dot = text.find('.');
        if (!isHostLabel(text.substr(0, dot)))
            return false;
        if (dot == std::string_view::npos)
            return true;
        text.remove_prefix(dot + 1);
    }
}

} // namespace address
