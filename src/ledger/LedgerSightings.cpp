#include "ledger/LedgerSightings.h"

#include "ledger/LedgerSql.h"

using ledgersql::Exec;
using ledgersql::Number;

QString LedgerSightings::keyOf(const QString& object, const QString& name, const QString& steamId, const QString& ip)
{
    // The stored texts hold no NUL: it parts them.
    return object + QChar(0) + name + QChar(0) + steamId + QChar(0) + ip;
}

void LedgerSightings::reset()
{
    m_open.clear();
    m_loaded = false;
}

bool LedgerSightings::load(QSqlDatabase& db, const QString& instance, std::int64_t now, QString& error)
{
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT id, object, name, steam_id, ip, last_seen FROM sightings"
                                 " WHERE last_seen >= ? AND instance = ?"));
    query.addBindValue(Number(now - kGapSeconds));
    query.addBindValue(instance);
    if (!Exec(query, error))
        return false;
    while (query.next())
    {
        Open& open = m_open[keyOf(query.value(1).toString(), query.value(2).toString(), query.value(3).toString(),
                                  query.value(4).toString())];
        if (query.value(5).toLongLong() >= open.last)
            open = {query.value(0).toLongLong(), query.value(5).toLongLong()};
    }
    m_loaded = true;
    return true;
}

bool LedgerSightings::write(QSqlDatabase& db, const QString& instance, const Seen& seen, QString& error)
{
    if (!m_loaded && !load(db, instance, seen.at, error))
        return false;
    // Stints nobody was seen in for long are closed: the memory holds the players now on. Records
    // come about in time order, not exactly (one server's minute before another's): an hour's room.
    if (seen.at >= m_nextSweep)
    {
        m_open.removeIf([&](const auto& open) { return open.value().last < seen.at - kForgetSeconds; });
        m_nextSweep = seen.at + 60;
    }
    const QString key = keyOf(seen.object, seen.name, seen.steamId, seen.ip);
    QSqlQuery query(db);
    const auto found = m_open.find(key);
    if (found != m_open.end() && seen.at >= found->last - kGapSeconds && seen.at <= found->last + kGapSeconds)
    {
        if (seen.at <= found->last)
            return true; // within the stint already
        // The row is checked to be the player's: one forgotten since is written anew.
        query.prepare(QStringLiteral("UPDATE sightings SET last_seen = ? WHERE id = ? AND object = ? AND name = ?"
                                     " AND instance = ?"));
        query.addBindValue(Number(seen.at));
        query.addBindValue(found->id);
        query.addBindValue(seen.object);
        query.addBindValue(seen.name);
        query.addBindValue(instance);
        if (!Exec(query, error))
            return false;
        if (query.numRowsAffected() > 0)
        {
            found->last = seen.at;
            return true;
        }
    }
    query.prepare(QStringLiteral("INSERT INTO sightings (first_seen, last_seen, object, name, steam_id, ip, instance)"
                                 " VALUES (?, ?, ?, ?, ?, ?, ?) RETURNING id"));
    query.addBindValue(Number(seen.at));
    query.addBindValue(Number(seen.at));
    query.addBindValue(seen.object);
    query.addBindValue(seen.name);
    query.addBindValue(seen.steamId);
    query.addBindValue(seen.ip);
    query.addBindValue(instance);
    if (!Exec(query, error))
        return false;
    if (query.next())
        m_open[key] = {query.value(0).toLongLong(), seen.at};
    return true;
}
