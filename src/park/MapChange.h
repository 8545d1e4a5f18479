#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Changing the map of one server or of many: the command, checked like
// every value placed into a command, and the list the operator picks from.
namespace mapchange {

inline constexpr const char* kRestartRound = "sv_restart 1";

// "changelevel MAP", or nothing when the name could not stand alone in a
// command (see isSafeCommandWord).
std::optional<std::string> changeLevelCommand(std::string_view map);

// The maps holding filter (any case), in the order given.
std::vector<std::string> filterMaps(const std::vector<std::string>& maps, std::string_view filter);

// The maps of several servers in one sorted list, each once.
std::vector<std::string> unionOfMaps(const std::vector<std::vector<std::string>>& lists);

} // namespace mapchange
