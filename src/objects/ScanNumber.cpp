#include "objects/ScanNumber.h"

namespace {

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\v' || c == '\f';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

struct Scanned
{
    std::optional<std::int32_t> value;
    std::size_t length = 0;
};

Scanned scan(std::string_view text)
{
    std::size_t i = 0;
    while (i < text.size() && isSpace(text[i]))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t firstDigit = i;
    std::uint32_t value = 0;
    while (i < text.size() && isDigit(text[i]))
        value = value * 10u + static_cast<std::uint32_t>(text[i++] - '0');
    if (i == firstDigit)
        return {};
    if (negative)
        value = 0u - value;
    return {static_cast<std::int32_t>(value), i};
}

} // namespace

std::optional<std::int32_t> scanInt(std::string_view text)
{
    return scan(text).value;
}

std::size_t scanIntLength(std::string_view text)
{
    return scan(text).length;
}
