#include "ledger/LedgerHistory.h"

#include "ledger/LedgerConnection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace
{
constexpr std::int64_t kWeekSeconds = 7 * 86400;

bool Exec(QSqlQuery& query, QString& error)
{
    if (query.exec())
        return true;
    error = query.lastError().text().trimmed();
    return false;
}

QVariant Number(std::int64_t value)
{
    return QVariant::fromValue(static_cast<qlonglong>(value));
}
} // namespace

std::int64_t LedgerHistory::FoldBefore(std::int64_t now)
{
    const std::int64_t line = now - kMinuteRowsSeconds;
    return line - ((line % kSpanSeconds) + kSpanSeconds) % kSpanSeconds;
}

bool LedgerHistory::fold(QSqlDatabase& db, std::int64_t now, QString& error)
{
    const std::int64_t before = FoldBefore(now);
    if (!db.transaction())
    {
        error = db.lastError().text().trimmed();
        return false;
    }
    QSqlQuery query(db);
    // minute is a whole number of seconds: the division truncates on both databases.
    query.prepare(QStringLiteral("INSERT INTO history_10min (instance, object, span, players, spectators, samples)"
                                 " SELECT instance, object, (minute / 600) * 600, MAX(players), MAX(spectators),"
                                 " COUNT(*) FROM history WHERE minute < ? GROUP BY instance, object,"
                                 " (minute / 600) * 600"));
    query.addBindValue(Number(before));
    bool done = Exec(query, error);
    if (done)
    {
        query.prepare(QStringLiteral("DELETE FROM history WHERE minute < ?"));
        query.addBindValue(Number(before));
        done = Exec(query, error);
    }
    if (done && db.commit())
        return true;
    if (done)
        error = db.lastError().text().trimmed();
    db.rollback();
    return false;
}

std::optional<std::map<QString, LedgerHistory::Series>> LedgerHistory::read(const LedgerTarget& target,
                                                                            std::int64_t now, QString& error)
{
    LedgerConnection connection(target);
    if (!connection.open(LedgerConnection::Mode::Read, error))
        return std::nullopt;
    std::map<QString, Series> found;
    const auto select = [&](const char* statement, auto member)
    {
        QSqlQuery query(connection.db());
        query.setForwardOnly(true);
        query.prepare(QString::fromLatin1(statement));
        query.addBindValue(Number(now - kWeekSeconds));
        if (!Exec(query, error))
            return false;
        while (query.next())
            (found[query.value(0).toString()].*member)
                .emplace_back(query.value(1).toLongLong(), query.value(2).toInt());
        return true;
    };
    // Every minute row of the week: those past their first day and not yet folded count for the week.
    if (!select("SELECT object, minute, MAX(players + spectators) FROM history WHERE minute >= ?"
                " GROUP BY object, minute ORDER BY object, minute",
                &Series::minutes))
        return std::nullopt;
    // A ledger that the writer has not migrated yet holds no spans: read as none.
    if (!select("SELECT object, span, MAX(players + spectators) FROM history_10min WHERE span >= ?"
                " GROUP BY object, span ORDER BY object, span",
                &Series::spans) &&
        connection.db().tables().contains(QStringLiteral("history_10min")))
        return std::nullopt;
    error.clear();
    return found;
}
