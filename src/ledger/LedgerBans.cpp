#include "ledger/LedgerBans.h"

#include "ledger/LedgerConnection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>
#include <map>

namespace {
bool Missing(const QString& error)
{
    return error.contains(QLatin1String("no such table")) || error.contains(QLatin1String("does not exist"));
}

std::string Bytes(const QVariant& value)
{
    return value.toString().toStdString();
}
} // namespace

std::optional<std::vector<LedgerBans::Ban>> LedgerBans::load(const LedgerTarget& target, std::int64_t now,
                                                             std::int64_t liftedSince, int limit,
                                                             QString& error)
{
    LedgerConnection connection(target);
    if (!connection.open(LedgerConnection::Mode::Read, error))
        return std::nullopt;
    QSqlQuery query(connection.db());
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT ban_key, by_ip, target, name, os_user, at, reason, minutes, expires, scope,"
                       " lifted_at, lifted_by FROM bans WHERE (expires = 0 OR expires > ?)"
                       " AND (lifted_at = 0 OR lifted_at >= ?) ORDER BY at DESC, id DESC LIMIT %1")
            .arg(std::max(1, limit)));
    query.addBindValue(QVariant::fromValue(static_cast<qlonglong>(now)));
    query.addBindValue(QVariant::fromValue(static_cast<qlonglong>(liftedSince)));
    std::vector<Ban> bans;
    if (!query.exec()) {
        error = query.lastError().text().trimmed();
        if (Missing(error)) {
            error.clear();
            return bans;
        }
        return std::nullopt;
    }
    std::map<std::string, std::size_t> byKey;
    while (query.next()) {
        Ban row;
        BanRecord& ban = row.ban;
        ban.key = Bytes(query.value(0));
        ban.byIp = query.value(1).toInt() != 0;
        ban.target = Bytes(query.value(2));
        ban.name = Bytes(query.value(3));
        ban.osUser = Bytes(query.value(4));
        ban.at = query.value(5).toLongLong();
        ban.reason = Bytes(query.value(6));
        ban.minutes = query.value(7).toLongLong();
        ban.expires = query.value(8).toLongLong();
        ban.scope = Bytes(query.value(9));
        ban.liftedAt = query.value(10).toLongLong();
        ban.liftedBy = Bytes(query.value(11));
        byKey[ban.key] = bans.size();
        bans.push_back(std::move(row));
    }
    QSqlQuery servers(connection.db());
    servers.setForwardOnly(true);
    if (!servers.exec(QStringLiteral("SELECT ban_key, server, state, at FROM ban_servers"))) {
        error = servers.lastError().text().trimmed();
        return std::nullopt;
    }
    while (servers.next()) {
        const auto found = byKey.find(Bytes(servers.value(0)));
        if (found == byKey.end())
            continue;
        bans[found->second].servers.push_back(BanServerRecord{
            found->first, Bytes(servers.value(1)), Bytes(servers.value(2)), servers.value(3).toLongLong()});
    }
    return bans;
}
