#include "modules/DemoFileName.h"

#include <cstdio>
#include <ctime>

namespace DemoFileName {

namespace {

bool keeps(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' ||
           c == '_' || c == '+' || c == '-';
}

} // namespace

std::string SafePart(const std::string& text, std::size_t limit)
{
    const auto alnum = [](unsigned char c) {
        return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9');
    };
    std::string part;
    bool gap = false;
    for (std::size_t i = 0; i < text.size() && part.size() < limit; ++i) {
        const auto c = static_cast<unsigned char>(text[i]);
        // A dot stays only between letters or digits ("v1.2"): no "..", no
        // leading dot that would hide the file.
        const bool lonelyDot =
            c == '.' && !(!part.empty() && alnum(static_cast<unsigned char>(part.back())) &&
                          i + 1 < text.size() && alnum(static_cast<unsigned char>(text[i + 1])));
        if (!keeps(c) || lonelyDot) {
            // Blanks, markup, slashes, NUL, bytes of other scripts: one dash.
            gap = !part.empty();
            continue;
        }
        if (gap && part.back() != '-' && part.back() != '_' && c != '-' && c != '_' &&
            part.size() + 1 < limit)
            part += '-';
        gap = false;
        part += static_cast<char>(c);
    }
    // No leading dash (an option to a shell tool), no dangling separators.
    while (!part.empty() && (part.front() == '-' || part.front() == '_' || part.front() == '+'))
        part.erase(part.begin());
    while (!part.empty() && (part.back() == '.' || part.back() == '-' || part.back() == '_'))
        part.pop_back();
    return part.empty() ? std::string("unknown") : part;
}

std::string Build(const Parts& parts, int copy)
{
    const auto time = static_cast<std::time_t>(parts.started);
    std::tm local{};
    localtime_r(&time, &local);
    char stamp[32] = {};
    if (std::strftime(stamp, sizeof stamp, "%Y%m%d_%H%M%S", &local) == 0)
        std::snprintf(stamp, sizeof stamp, "00000000_000000");
    std::string name = std::string(stamp) + '_' + SafePart(parts.server) + '_' + SafePart(parts.map, 32) +
                       '_' + SafePart(parts.teamA, 32) + "-vs-" + SafePart(parts.teamB, 32);
    if (copy > 1)
        name += '_' + std::to_string(copy);
    return name + ".dem";
}

bool IsSafe(const std::string& name)
{
    if (name.empty() || name.size() > kMaxName + 8 || name.front() == '.' || name.front() == '-' ||
        name.find("..") != std::string::npos)
        return false;
    for (unsigned char c : name)
        if (!keeps(c))
            return false;
    return true;
}

} // namespace DemoFileName
