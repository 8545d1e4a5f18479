#pragma once

// What the ledger's statements share: a number bound as SQL's 64-bit
// integer, and a statement run with its error kept in words.
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <cstdint>

namespace ledgersql {

inline QVariant Number(std::int64_t value)
{
    return QVariant::fromValue(static_cast<qlonglong>(value));
}

inline bool Exec(QSqlQuery& query, QString& error)
{
    if (query.exec())
        return true;
    error = query.lastError().text().trimmed();
    return false;
}

} // namespace ledgersql
