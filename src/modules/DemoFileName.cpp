#include "modules/DemoFileName.h"

#include <cstdio>
#include <ctime>

namespace DemoFileName {

namespace {

bool keeps(unsigned char c)
{
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '.' || c == '_' ||
           c == '+' || c == '-';
}

} // namespace

std::string SafePart(const std::string& text, std::size_t limit)
{
    std::string part;
    bool gap = false;
    for (unsigned char c : text) {
        if (part.size() >= limit)
            break;
        if (!keeps(c) || c == '_') {
            // Blanks, markup, slashes, NUL and bytes of other scripts become one dash:
            // '_' too, since it separates the parts.
            gap = !part.empty();
            continue;
        }
        if (gap && part.size() + 1 < limit)
            part += '-';
        gap = false;
        part += static_cast<char>(c);
    }
    // No leading dot (a hidden file, ".."), no leading dash (an option to a shell tool).
    while (!part.empty() && (part.front() == '.' || part.front() == '-'))
        part.erase(part.begin());
    while (!part.empty() && (part.back() == '.' || part.back() == '-'))
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
    std::string name = std::string(stamp) + '_' + SafePart(parts.server) + '_' + SafePart(parts.map, 32) + '_' +
                       SafePart(parts.teamA, 32) + "-vs-" + SafePart(parts.teamB, 32);
    if (copy > 1)
        name += '_' + std::to_string(copy);
    return name + ".dem";
}

bool IsSafe(const std::string& name)
{
    if (name.empty() || name.size() > kMaxName + 8 || name.front() == '.' || name.front() == '-')
        return false;
    for (unsigned char c : name)
        if (!keeps(c))
            return false;
    return true;
}

} // namespace DemoFileName
