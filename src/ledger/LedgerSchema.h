#pragma once

#include <QSqlDatabase>
#include <QString>

// The ledger's tables, versioned. Opening a ledger migrates it forward to
// kVersion in one transaction; a ledger of a newer version is refused
// rather than guessed at.
namespace LedgerSchema
{
constexpr int kVersion = 8;

enum class Dialect
{
    Sqlite,
    Postgres,
};

// True when the database now has kVersion; false with the reason.
bool migrate(QSqlDatabase& db, Dialect dialect, QString& error);
// The version the database has (0: none yet); -1 when it cannot be read.
int version(QSqlDatabase& db);
} // namespace LedgerSchema
