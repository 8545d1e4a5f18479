#include "ledger/LedgerBrowse.h"

#include "ledger/LedgerConnection.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>
#include <map>
#include <set>
#include <vector>

namespace {
// Bound parameters per statement stay well under SQLite's limit.
constexpr int kKeysPerStatement = 300;

struct Sighting
{
    qlonglong firstSeen = 0, lastSeen = 0;
    QString object, name, steamId, ip;
};

// "S:STEAM_0:1:2", "I:127.0.0.9" or "N:name": who a sighting belongs to.
QString KeyOf(const QString& steamId, const QString& ip, const QString& name)
{
    if (!steamId.isEmpty())
        return QStringLiteral("S:") + steamId;
    if (!ip.isEmpty())
        return QStringLiteral("I:") + ip;
    return QStringLiteral("N:") + name;
}

struct Player
{
    QStringList names, servers, addresses;
    qlonglong firstSeen = 0, lastSeen = 0;
    qlonglong sightings = 0;
};

void AddOnce(QStringList& list, const QString& value)
{
    if (!value.isEmpty() && !list.contains(value))
        list << value;
}

// Every sighting whose key is among keys of the given prefix.
bool FetchSightings(QSqlDatabase& db, const QString& column, const QString& extra, const QStringList& values,
                    std::vector<Sighting>& into, QString& error)
{
    for (qsizetype at = 0; at < values.size(); at += kKeysPerStatement) {
        const QStringList part = values.mid(at, kKeysPerStatement);
        QStringList marks;
        for (qsizetype i = 0; i < part.size(); ++i)
            marks << QStringLiteral("?");
        QSqlQuery query(db);
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT first_seen, last_seen, object, name, steam_id, ip FROM sightings"
                                     " WHERE %1 IN (%2)%3")
                          .arg(column, marks.join(QLatin1Char(',')), extra));
        for (const QString& value : part)
            query.addBindValue(value);
        if (!query.exec()) {
            error = query.lastError().text().trimmed();
            return false;
        }
        while (query.next())
            into.push_back({query.value(0).toLongLong(), query.value(1).toLongLong(),
                            query.value(2).toString(), query.value(3).toString(), query.value(4).toString(),
                            query.value(5).toString()});
    }
    return true;
}
} // namespace

bool LedgerBrowse::IsPlayerKey(const QString& text)
{
    static const QRegularExpression steamId(QStringLiteral("^(STEAM|VALVE)_\\d{1,3}:\\d{1,3}:\\d{1,12}$"));
    return steamId.match(text).hasMatch() || !QHostAddress(text).isNull();
}

std::optional<LedgerQuery::Table> LedgerBrowse::players(LedgerConnection& connection,
                                                        const LedgerQuery::Filter& filter, QString& error)
{
    LedgerQuery::Filter first = filter;
    first.newestFirst = true;
    const auto matching = LedgerQuery::run(connection, LedgerQuery::Kind::Players, first, error);
    if (!matching)
        return std::nullopt;
    // Columns of the plain list: first_seen, last_seen, object, name, steam_id, ip, instance.
    QStringList order; // the players, newest sighting first
    std::set<QString> known;
    QStringList steamIds, ips, names;
    for (const auto& row : matching->rows) {
        const QString name = row[3].toString(), steamId = row[4].toString(), ip = row[5].toString();
        const QString key = KeyOf(steamId, ip, name);
        if (!known.insert(key).second)
            continue;
        order << key;
        (!steamId.isEmpty() ? steamIds : !ip.isEmpty() ? ips : names) << key.mid(2);
    }
    std::vector<Sighting> all;
    QSqlDatabase& db = connection.db();
    if (!FetchSightings(db, QStringLiteral("steam_id"), QString(), steamIds, all, error) ||
        !FetchSightings(db, QStringLiteral("ip"), QStringLiteral(" AND steam_id = ''"), ips, all, error) ||
        !FetchSightings(db, QStringLiteral("name"), QStringLiteral(" AND steam_id = '' AND ip = ''"), names,
                        all, error))
        return std::nullopt;
    std::sort(all.begin(), all.end(),
              [](const Sighting& a, const Sighting& b) { return a.lastSeen > b.lastSeen; });
    std::map<QString, Player> players;
    for (const Sighting& seen : all) {
        const QString key = KeyOf(seen.steamId, seen.ip, seen.name);
        if (!known.count(key))
            continue;
        Player& player = players[key];
        AddOnce(player.names, seen.name);
        AddOnce(player.servers, seen.object);
        AddOnce(player.addresses, seen.ip);
        player.lastSeen = std::max(player.lastSeen, seen.lastSeen);
        player.firstSeen =
            player.firstSeen == 0 ? seen.firstSeen : std::min(player.firstSeen, seen.firstSeen);
        ++player.sightings;
    }
    LedgerQuery::Table table;
    table.columns = {QStringLiteral("player"),    QStringLiteral("names"),      QStringLiteral("servers"),
                     QStringLiteral("addresses"), QStringLiteral("first_seen"), QStringLiteral("last_seen"),
                     QStringLiteral("sightings")};
    table.timeColumns = {QStringLiteral("first_seen"), QStringLiteral("last_seen")};
    for (const QString& key : order) {
        const auto found = players.find(key);
        if (found == players.end())
            continue; // forgotten between the two look-ups
        const Player& player = found->second;
        table.rows.push_back({key.startsWith(QLatin1String("N:")) ? QString() : key.mid(2), player.names,
                              player.servers, player.addresses, player.firstSeen, player.lastSeen,
                              player.sightings});
    }
    return table;
}
