#pragma once

#include "ledger/LedgerRecords.h"
#include "ledger/LedgerTarget.h"

#include <QSqlDatabase>
#include <QString>
#include <optional>
#include <vector>

// The schedules of each console or headless run, kept across runs: written
// by the writer thread (one row per schedule and instance, replaced at each
// change), read back at the start on a connection of its own.
namespace LedgerSchedules
{
bool write(QSqlDatabase& db, const QString& instance, const ScheduleRecord& schedule, QString& error);
// The instance's schedules in the order they were made; nullopt with the
// reason when the ledger cannot be read. A ledger from before schedules
// holds none.
std::optional<std::vector<ScheduleRecord>> load(const LedgerTarget& target, const QString& instance, QString& error);
} // namespace LedgerSchedules
