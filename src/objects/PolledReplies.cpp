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
    replies::kServerPasswordPrefix,
    replies::kMatchReportPrefix,
    replies::kNoMatchPrefix,
};

// "12 users", the last line of a game server's status.
bool isUserCount(std::string_view line)
{
    const std::size_t digits = line.find_first_not_of("0123456789");
    return digits != 0 && digits != std::string_view::npos && line.substr(digits) == " users";
}

} // namespace

bool isPolledCommand(std::string_view command)
{
    return command == "status" || command == "sv_password" || command == "nxn_match_report";
}

bool isPolledReplyLine(std::string_view line)
{
    return isUserCount(line) ||
           std::any_of(std::begin(kStatusPrefixes), std::end(kStatusPrefixes),
                       [line](std::string_view prefix) { return beginsWith(line, prefix); });
}

} // namespace polled
