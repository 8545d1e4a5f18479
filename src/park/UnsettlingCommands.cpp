#include "park/UnsettlingCommands.h"

#include <algorithm>
#include <array>

namespace unsettling {
namespace {

constexpr std::array<std::string_view, 10> kCommands{"quit",          "exit",       "restart", "_restart",
                                                     "killserver",    "shutdown",   "map",     "changelevel",
                                                     "rcon_password", "sv_password"};

std::string lowered(std::string_view text)
{
    std::string out(text);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) {
        return static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
    });
    return out;
}

// The first word of one command: after leading blanks, up to a blank or a quote.
std::string firstWord(std::string_view part)
{
    const std::size_t begin = part.find_first_not_of(" \t");
    if (begin == std::string_view::npos)
        return {};
    const std::size_t end = part.find_first_of(" \t\"", begin);
    return lowered(part.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
}

} // namespace

bool isUnsettling(std::string_view line)
{
    while (true) {
        const std::size_t cut = line.find_first_of(";\n");
        const std::string word = firstWord(line.substr(0, cut));
        if (std::find(kCommands.begin(), kCommands.end(), word) != kCommands.end())
            return true;
        if (cut == std::string_view::npos)
            return false;
        line.remove_prefix(cut + 1);
    }
}

bool anyUnsettling(const std::vector<std::string>& lines)
{
    return std::any_of(lines.begin(), lines.end(),
                       [](const std::string& line) { return isUnsettling(line); });
}

std::string question(const std::vector<std::string>& lines, std::size_t machines)
{
    std::string named;
    for (const std::string& line : lines) {
        if (!isUnsettling(line))
            continue;
        if (!named.empty())
            named += ", ";
        named += '"' + line + '"';
    }
    return "Send " + named + " to " + std::to_string(machines) + (machines == 1 ? " machine" : " machines") +
           "? It stops or unsettles the server, or its players.";
}

} // namespace unsettling
