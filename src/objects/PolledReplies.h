#pragma once

#include <string_view>

// The program polls every controlled machine with rcon commands of its own
// ("status", "sv_password", "nxn_match_report"); their answers land in the
// same console as the operator's. These tell them apart, so that the
// operator's own commands and replies are not pushed away.
namespace polled {

// The poll command a line answers ("status", "sv_password",
// "nxn_match_report"), or empty for a line of no poll's answer: a game
// server's or a proxy's status text, the server password, the match report.
std::string_view polledCommandOf(std::string_view line);

bool isPolledReplyLine(std::string_view line);

// True for a line of a poll's answer that is not the answer of command (a
// line the operator sent): what he asked himself is his answer.
bool answersAnotherPoll(std::string_view line, std::string_view command);

} // namespace polled
