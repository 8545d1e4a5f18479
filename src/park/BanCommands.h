#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The rcon commands of a ban. Each returns the command text, or nullopt when
// a value could not stand alone as its argument: nothing is then sent. The
// name and the reason of a ban never go into a command.
namespace bancmd {

// Ten years: longer terms are taken for mistakes.
inline constexpr std::int64_t kMaxMinutes = 10LL * 365 * 24 * 60;
inline constexpr const char* kWriteId = "writeid";
inline constexpr const char* kWriteIp = "writeip";

// A SteamID that names one account (STEAM_X:Y:Z or VALVE_X:Y:Z with digits):
// not STEAM_ID_LAN, STEAM_ID_PENDING, BOT, HLTV or VALVE_ID_LAN, which many
// players share, nor anything that could end an argument.
bool isBannableId(const std::string& id);
// "a.b.c.d", each part 0..255, as an address is written; nothing else.
bool isBannableIp(const std::string& ip);
bool isValidMinutes(std::int64_t minutes);

// "banid MINUTES ID" (with " kick" when kick).
std::optional<std::string> banId(std::int64_t minutes, const std::string& id, bool kick);
// "addip MINUTES IP".
std::optional<std::string> addIp(std::int64_t minutes, const std::string& ip);
std::optional<std::string> removeId(const std::string& id);
std::optional<std::string> removeIp(const std::string& ip);

} // namespace bancmd
