#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Out-of-band datagrams of the Half-Life query and remote-console protocol.
// Every datagram starts with four 0xFF bytes; the builders return the exact
// bytes to send, the terminating 00 included.
namespace oob {

inline constexpr std::string_view kPrefix{"\xFF\xFF\xFF\xFF", 4};

std::string detailsQuery();   // FF FF FF FF "details" 00
std::string playersQuery();   // FF FF FF FF "players" 00
std::string challengeQuery(); // FF FF FF FF "challenge rcon" 00

// Current servers' queries: info (FF FF FF FF 'T' "Source Engine Query" 00,
// with the challenge appended once the server has given one) and players
// (FF FF FF FF 'U' and a challenge; FF FF FF FF asks for one).
std::string infoQuery(std::optional<std::uint32_t> challenge);
std::string playerQuery(std::uint32_t challenge);
inline constexpr std::uint32_t kNoQueryChallenge = 0xFFFFFFFFu;
// The server's variables: FF FF FF FF "rules" 00 (old servers), and
// FF FF FF FF 'V' with a challenge (current ones).
std::string rulesQuery();
std::string rulesChallengeQuery(std::uint32_t challenge);

// FF FF FF FF "rcon <challenge> "<password>" <command>" 00, challenge as
// unsigned decimal. Password and command are copied byte for byte.
std::string rconCommand(std::uint32_t challenge, std::string_view password, std::string_view command);

// Hub managers: FF FF FF FF "getManagerInfo" 00, FF FF FF FF "gethubinfo N" 00,
// and rcon without a challenge: FF FF FF FF rcon "password" command 00.
std::string managerInfoQuery();
std::string hubInfoQuery(std::int32_t hubNumber);
std::string hubRconCommand(std::string_view password, std::string_view command);

// True when the datagram starts with the four 0xFF bytes.
bool hasOobPrefix(std::string_view datagram);

// The challenge number of a challenge reply (FF FF FF FF "challenge rcon N..."),
// read from offset 19 like "%d"; nullopt when no number stands there.
std::optional<std::uint32_t> parseChallengeReply(std::string_view datagram);

} // namespace oob
