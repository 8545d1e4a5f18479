#pragma once

#include <string>
#include <vector>

// One event of a machine's log, as the parser reads it. Every text field
// comes from the machine, often from a player: it is data, never markup.
struct LogPlayer
{
    std::string name;
    std::string uid;
    std::string steamId;
    std::string team;
};

// One team's score as a round's end carries it: `(CT "3")`.
struct LogTeamScore
{
    std::string team;
    int score = 0;
};

struct LogEvent
{
    enum class Type
    {
        Say,
        Kill,
        Connect,
        Enter, // entered the game
        Disconnect,
        Team,
        Round,
        Map,
    };
    static constexpr int kTypeCount = 8;

    Type type = Type::Say;
    // The log's own clock, "YYYY-MM-DDTHH:MM:SS" (the machine's local time).
    std::string time;
    LogPlayer player; // the speaker, killer, or the player who came, went or changed team
    LogPlayer victim; // kills only
    std::string weapon;
    // say: the message; team: the new team; round: "Round_Start", ...;
    // map: the map's name.
    std::string text;
    bool teamOnly = false; // say_team
    // round: the team whose trigger it was (empty for the world's), and the
    // scores the line carries (none when it carries none).
    std::string team;
    std::vector<LogTeamScore> scores;
};

// "say", "kill", "connect", "enter", "disconnect", "team", "round", "map".
const char* eventTypeName(LogEvent::Type type);
