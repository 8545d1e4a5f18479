#include "core/CommandArguments.h"

bool isSafeCommandArgument(std::string_view value)
{
    return value.find_first_of(std::string_view("\";\r\n\0", 5)) == std::string_view::npos;
}

bool isUsableRconPassword(std::string_view password)
{
    return password.find_first_of(std::string_view("\"\r\n\0", 4)) == std::string_view::npos;
}

bool isSafeCommandWord(std::string_view word)
{
    constexpr std::size_t kMaxWord = 64;
    if (word.empty() || word.size() > kMaxWord)
        return false;
    for (const char c : word) {
        const auto byte = static_cast<unsigned char>(c);
        const bool alphanumeric =
            (byte >= '0' && byte <= '9') || (byte >= 'a' && byte <= 'z') || (byte >= 'A' && byte <= 'Z');
        if (!alphanumeric && std::string_view("_-.+/!@#$%&()[]{}").find(c) == std::string_view::npos)
            return false;
    }
    return true;
}
