#pragma once

#include "ledger/LedgerRecords.h"
#include "ledger/LedgerTarget.h"

#include <QString>
#include <cstdint>
#include <optional>
#include <vector>

// The park's bans as the ledger keeps them, read on a connection of their
// own that changes nothing (the start of a run).
namespace LedgerBans {
struct Ban
{
    BanRecord ban;
    std::vector<BanServerRecord> servers;
};

// The bans in force at now, and those lifted since liftedSince (so that an
// unban is still carried to servers that come back); at most limit of them,
// the newest. nullopt with the reason when the ledger cannot be read; a
// ledger from before bans holds none.
std::optional<std::vector<Ban>> load(const LedgerTarget& target, std::int64_t now, std::int64_t liftedSince,
                                     int limit, QString& error);
} // namespace LedgerBans
