#include "ledger/LedgerUptime.h"

#include "ledger/LedgerConnection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <algorithm>

namespace
{
constexpr std::int64_t kDay = 24 * 3600;
constexpr std::int64_t kWeek = 7 * kDay;
} // namespace

double LedgerUptime::upShare(const std::vector<Event>& events, std::int64_t since, std::int64_t now)
{
    if (now <= since)
        return 1.0;
    std::int64_t troubled = 0;
    bool inTrouble = false;
    std::int64_t from = since;
    bool first = true;
    for (const Event& event : events)
    {
        if (event.at <= since)
        {
            inTrouble = event.trouble;
            first = false;
            continue;
        }
        if (event.at > now)
            break;
        if (first && !event.trouble)
            inTrouble = true; // the spell it ends began before the span
        first = false;
        if (inTrouble)
            troubled += event.at - from;
        from = event.at;
        inTrouble = event.trouble;
    }
    if (inTrouble)
        troubled += now - from;
    return 1.0 - static_cast<double>(std::clamp<std::int64_t>(troubled, 0, now - since)) / (now - since);
}

std::optional<std::map<QString, LedgerUptime::Shares>> LedgerUptime::read(const LedgerTarget& target,
                                                                          std::int64_t now, QString& error)
{
    LedgerConnection connection(target);
    if (!connection.open(LedgerConnection::Mode::Read, error))
        return std::nullopt;
    QSqlQuery query(connection.db());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT object, at, change FROM availability WHERE at >= ? AND change IN"
                                 " ('down', 'up', 'relay lost', 'relay back') ORDER BY object, at, id"));
    query.addBindValue(static_cast<qlonglong>(now - kWeek));
    if (!query.exec())
    {
        error = query.lastError().text().trimmed();
        return std::nullopt;
    }
    std::map<QString, std::vector<Event>> byObject;
    while (query.next())
    {
        const QString change = query.value(2).toString();
        byObject[query.value(0).toString()].push_back(
            Event{query.value(1).toLongLong(),
                  change == QLatin1String("down") || change == QLatin1String("relay lost")});
    }
    std::map<QString, Shares> shares;
    for (const auto& [object, events] : byObject)
        shares[object] = Shares{upShare(events, now - kDay, now), upShare(events, now - kWeek, now)};
    return shares;
}
