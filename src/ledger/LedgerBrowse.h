#pragma once

#include "ledger/LedgerQuery.h"

#include <QString>
#include <optional>

class LedgerConnection;

// The look-ups of the ledger window beyond the plain lists: the players
// gathered per person, with every name and server seen for them.
namespace LedgerBrowse {
// A SteamID of the STEAM_X:Y:Z shape or an IP address: what "Forget player"
// takes. Anything shorter would mask unrelated text in every command.
bool IsPlayerKey(const QString& text);

// One row per player: by SteamID, else by IP, else by name alone. The
// filter picks the players (a sighting of theirs must match it); each row
// then holds all their names, servers (newest first) and addresses,
// whenever seen. Columns: player, names, servers, addresses (QStringList
// each), first_seen, last_seen, sightings. Newest first.
std::optional<LedgerQuery::Table> players(LedgerConnection& connection, const LedgerQuery::Filter& filter,
                                          QString& error);
} // namespace LedgerBrowse
