#include "objects/PolledReplies.h"

#include "core/TextTokens.h"
#include "objects/ServerReplies.h"

#include <algorithm>
#include <cctype>

namespace polled {

namespace {

// Beginnings of the lines of the status texts (game server and proxy).
constexpr std::string_view kStatusPrefixes[] = {
    "hostname:",
    "version :",
    "tcp/ip  :",
    "map     :",
    "players :",
    "#",
    "----- Status -----",
    "--- HLTV Status ---",
    "`--- HLTV Status ---",
    "Name ",
    "Local IP ",
    "Local Slots ",
    "Total Slots ",
    "Online ",
    "HLTV proxy connected to ",
    "HLTV proxy disconnected.",
    "Connected to ",
    "Not connected.",
    "Recording to ",
    "Not recording",
};

// "12 users", the last line of a game server's status.
bool isUserCount(std::string_view line)
{
    const std::size_t digits = line.find_first_not_of("0123456789");
    return digits != 0 && digits != std::string_view::npos && line.substr(digits) == " users";
}

} // namespace

std::string_view polledCommandOf(std::string_view line)
{
    if (beginsWith(line, replies::kServerPasswordPrefix))
        return "sv_password";
    if (beginsWith(line, replies::kMatchReportPrefix) || beginsWith(line, replies::kNoMatchPrefix))
        return "nxn_match_report";
    if (isUserCount(line) || std::any_of(std::begin(kStatusPrefixes), std::end(kStatusPrefixes),
                                         [line](std::string_view prefix) { return beginsWith(line, prefix); }))
        return "status";
    return {};
}

bool isPolledReplyLine(std::string_view line)
{
    return !polledCommandOf(line).empty();
}

bool answersAnotherPoll(std::string_view line, std::string_view command)
{
    const std::string_view polled = polledCommandOf(line);
    if (polled.empty())
        return false;
    command.remove_prefix(std::min(command.find_first_not_of(" \t"), command.size()));
    return polled != command.substr(0, command.find_first_of(" \t;"));
}

} // namespace polled
