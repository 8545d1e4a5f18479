#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The key and value texts of hub managers: "\key\value\key\value...".
namespace hubs {

// The value behind the first "\key\" up to the next backslash or the end;
// empty when the key is absent.
std::string GetKeyValue(std::string_view text, std::string_view key);
// That value as a signed decimal number; 0 when it is not one.
std::int32_t GetKeyInt(std::string_view text, std::string_view key);

// Removes the colour codes "^0" to "^9" from a player name.
std::string RemoveColourCodes(std::string name);

// The hub numbers of a "hubs" list that holds a pair of numbers per hub
// ("1 0 2 1"): entry i is nullopt when its number is missing or not a
// number (the hub keeps its previous number then).
std::vector<std::optional<std::int32_t>> parseHubNumbers(std::string list, int count);

// The text of a reply: from byte 4 to the first 00 or the end.
std::string_view replyText(std::string_view datagram);

} // namespace hubs
