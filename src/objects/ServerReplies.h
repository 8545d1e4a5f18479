#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// Parsers for the replies of game servers and proxies. Each takes the whole
// datagram (starting with FF FF FF FF and the type byte) and reads only
// within it; a field the datagram ends before is nullopt, so the object keeps
// its previous value.
namespace replies {

// Details ('C', 'm') and current info ('I') replies.
struct Details
{
    std::optional<std::string> selfAddress; // 'm' only: the address the server sees itself under
    std::optional<std::int32_t> selfPort;
    std::optional<std::string> hostname;
    std::optional<std::string> map;
    std::optional<std::string> gameDir;
    std::optional<std::string> gameDesc;
    std::optional<std::int32_t> maxPlayers;
};

Details parseDetails(std::string_view datagram);
Details parseInfo(std::string_view datagram);

// Players reply ('D'). A count above 32 stores nothing; a reply that holds
// fewer complete entries than it announces yields those it holds.
struct Players
{
    bool overLimit = false;
    std::vector<std::string> names;
    std::vector<std::int32_t> frags;   // one per name
    std::vector<std::int32_t> seconds; // connected time, whole seconds
};

Players parsePlayers(std::string_view datagram);

// The four challenge bytes of a current challenge reply ('A').
std::optional<std::uint32_t> parseQueryChallenge(std::string_view datagram);

// The match report line: nxn_match_report = "A;B;f3;f4;f5;STATE;A1;A2;B1;B2"
struct MatchReport
{
    std::string teamA;
    std::string teamB;
    std::int32_t state = 0;
    std::int32_t scoreA1 = 0;
    std::int32_t scoreA2 = 0;
    std::int32_t scoreB1 = 0;
    std::int32_t scoreB2 = 0;
};

inline constexpr std::string_view kMatchReportPrefix = "nxn_match_report = ";
inline constexpr std::string_view kServerPasswordPrefix = "\"sv_password\" is";
inline constexpr std::string_view kNoMatchPrefix = "[AMX] No match running.";
inline constexpr std::string_view kBadPasswordPrefix = "Bad rcon_password.";
// What a machine that has banned the console's address answers to anything.
inline constexpr std::string_view kBannedPrefix = "You have been banned from this server.";

MatchReport parseMatchReport(const std::string& line);
// The value between the quotes of a "sv_password" is "VALUE" line; empty
// when the closing quote is missing.
std::string parseServerPassword(const std::string& line);

// The lines of a print reply ('l'): the text from offset 5 cut at each line
// feed; text after the last line feed is not a line. Empty lines are left out.
std::vector<std::string> printLines(std::string_view datagram);
// The same cut for a print text already taken out of its datagram.
std::vector<std::string> textLines(std::string_view text);
// The first line of lines that begins with prefix, or nullptr.
const std::string* lineBeginningWith(const std::vector<std::string>& lines, std::string_view prefix);

} // namespace replies
