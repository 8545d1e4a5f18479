#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

// The player table of a game server's "status" text:
//
//   #      name userid uniqueid frag time ping loss adr
//   # 1 "Player" 12 STEAM_0:1:1234   3 12:04   35    0 10.0.0.7:27005
//   1 users
//
// Names are chosen by players and may hold anything, quotes included: the
// name runs from the first quote to the last one of the line, since the
// columns after it never hold a quote.
struct StatusPlayer
{
    std::int32_t userId = 0;
    std::string name;
    std::string uniqueId; // SteamID, BOT, HLTV, ...
    std::int32_t frags = 0;
    std::string time;
    std::int32_t ping = 0;
    std::string address; // empty for bots
};

// One line of the table; nullopt for any other line.
std::optional<StatusPlayer> parseStatusPlayerLine(std::string_view line);

// Collects the table as its lines arrive (one command's output may come in
// several datagrams): the column header starts a table, player lines add to
// it, the "N users" line ends it.
class StatusTableReader
{
public:
    // True when the line ended a table; then takeTable() hands it over.
    bool readLine(std::string_view line);
    // The table the last readLine ended, moved out (a park of thousands
    // keeps one copy per server, not two).
    std::vector<StatusPlayer> takeTable() { return std::move(m_pending); }

private:
    std::vector<StatusPlayer> m_pending;
    bool m_inTable = false;
};
