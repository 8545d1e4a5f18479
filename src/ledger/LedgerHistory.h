#pragma once

#include "ledger/LedgerTarget.h"

#include <QSqlDatabase>
#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// The player history past its first day. Minute rows older than a day are
// folded, in whole ten-minute spans, into one row per object and day that
// packs its 144 spans, each the peak of its minutes (players and spectators
// each: a sparkline shows the busiest moment, which an average would
// flatten) and how many minutes had a sample; the minute rows then go. A
// minute that comes late (a ledger that could not be written for a day)
// folds into its day's row with the peak of both. A row per day keeps a
// month of a large park in a few megabytes, where a row per span took
// tens.
namespace LedgerHistory
{
constexpr std::int64_t kSpanSeconds = 600;
constexpr std::int64_t kMinuteRowsSeconds = 86400;

// The first minute that stays a minute row at `now`: the start of the span
// that holds now - 24 h.
std::int64_t FoldBefore(std::int64_t now);
// Folds the minute rows before FoldBefore(now), in one transaction.
bool fold(QSqlDatabase& db, std::int64_t now, QString& error);
// Removes the spans that start before `before` (in the caller's transaction).
bool prune(QSqlDatabase& db, std::int64_t before, QString& error);

struct Series
{
    // (second of the minute, count) and (second the span starts, peak),
    // oldest first; a count is players plus spectators.
    std::vector<std::pair<std::int64_t, int>> minutes;
    std::vector<std::pair<std::int64_t, int>> spans;
};
// Typed address -> what the ledger holds of the 7 days before now, on a
// connection of its own that changes nothing; nullopt with the reason when
// the ledger cannot be read. Rows of several consoles for one object merge
// into their peak.
std::optional<std::map<QString, Series>> read(const LedgerTarget& target, std::int64_t now, QString& error);
} // namespace LedgerHistory
