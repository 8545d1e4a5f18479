#pragma once

#include <cstdint>
#include <string>

// The name a collected demo is kept under,
// "DATE_TIME_SERVER_MAP_TEAMA-vs-TEAMB.dem". Every part is remote text (a
// host name, a map, team names a player typed), so each is cut to letters,
// digits and "._+-", to a bounded length, and can never name a hidden file,
// a parent folder or a path.
namespace DemoFileName {

constexpr std::size_t kMaxPart = 40;
// Far below any file system's name limit, with room for "_99.gz".
constexpr std::size_t kMaxName = 200;

struct Parts
{
    std::int64_t started = 0; // seconds since 1970; shown in local time
    std::string server;       // the game server's host name
    std::string map;
    std::string teamA;
    std::string teamB;
};

// One part as it may stand in the name: never empty ("unknown").
std::string SafePart(const std::string& text, std::size_t limit = kMaxPart);
// The whole name, ".dem" included; copy > 1 adds "_N" before the extension.
std::string Build(const Parts& parts, int copy = 1);
// True when name is a plain file name that stays in its folder.
bool IsSafe(const std::string& name);

} // namespace DemoFileName
