#pragma once

#include <string_view>

// The program polls every controlled machine with rcon commands of its own
// ("status", "sv_password", "nxn_match_report"); their answers land in the
// same console as the operator's. These tell them apart, so that the
// operator's own commands and replies are not pushed away.
namespace polled {

// True for a command the program sends by itself at every poll.
bool isPolledCommand(std::string_view command);

// True for a line of the answers to those commands: a game server's or a
// proxy's status text, the server password or the match report.
bool isPolledReplyLine(std::string_view line);

} // namespace polled
