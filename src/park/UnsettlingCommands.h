#pragma once

#include <string>
#include <string_view>
#include <vector>

// Commands that stop a server, throw its players out or lock the operator
// out of it. Sent to many machines at once they are asked about first.
namespace unsettling {

// True when any ';'-separated part of line starts with such a command
// ("quit", "exit", "restart", "_restart", "killserver", "shutdown", "map",
// "changelevel", "rcon_password", "sv_password"), whatever its case.
bool isUnsettling(std::string_view line);
bool anyUnsettling(const std::vector<std::string>& lines);

// "Send "quit" to 12 machines? It stops or unsettles them."
std::string question(const std::vector<std::string>& lines, std::size_t machines);

} // namespace unsettling
