#include "ledger/LedgerQuery.h"

#include "ledger/LedgerConnection.h"

#include <QDateTime>
#include <QHostAddress>
#include <QRegularExpression>
#include <QSqlError>
#include <QSqlQuery>

namespace
{
struct KindSql
{
    const char* table;
    const char* columns; // as selected, in order
    const char* timeColumn;
    QStringList headers;
    QStringList timeHeaders;
    QStringList textColumns;
    const char* objectColumn = "object"; // ends with the object's address
};

KindSql SqlFor(LedgerQuery::Kind kind)
{
    switch (kind)
    {
    case LedgerQuery::Kind::Matches:
        return {"matches",
                "started, ended, object, map, teams, scores, ending, proxies, demos, instance",
                "started",
                {"started", "ended", "object", "map", "teams", "scores", "ending", "proxies", "demos", "instance"},
                {"started", "ended"},
                {"map", "teams", "proxies", "demos", "ending"}};
    case LedgerQuery::Kind::Players:
        return {"sightings",
                "first_seen, last_seen, object, name, steam_id, ip, instance",
                "last_seen",
                {"first_seen", "last_seen", "object", "name", "steam_id", "ip", "instance"},
                {"first_seen", "last_seen"},
                {"name", "steam_id", "ip"}};
    case LedgerQuery::Kind::Commands:
        return {"commands",
                "at, os_user, object, text, answer, instance",
                "at",
                {"at", "os_user", "object", "text", "answer", "instance"},
                {"at"},
                {"os_user", "text", "answer"}};
    case LedgerQuery::Kind::Bans:
        return {"bans",
                "at, expires, lifted_at, target, name, reason, minutes, scope, os_user, lifted_by, instance, ban_key",
                "at",
                {"at", "expires", "lifted_at", "target", "name", "reason", "minutes", "scope", "os_user",
                 "lifted_by", "instance", "servers"},
                {"at", "expires", "lifted_at"},
                {"target", "name", "reason", "scope", "os_user", "lifted_by"},
                "scope"};
    case LedgerQuery::Kind::Schedules:
        // "machines" holds addresses, space-separated: the object filter
        // looks for a whole one among them.
        return {"schedules",
                "next_run, last_run, instance, machines, rule, command, preset, last_result",
                "next_run",
                {"next_run", "last_run", "instance", "machines", "rule", "command", "preset", "last_result"},
                {"next_run", "last_run"},
                {"machines", "command", "preset", "last_result"},
                "machines"};
    case LedgerQuery::Kind::Availability:
        break;
    }
    return {"availability",
            "at, object, change, duration, instance",
            "at",
            {"at", "object", "change", "duration", "instance"},
            {"at"},
            {"change"}};
}

// LIKE with the operator's text taken literally.
QString LikePattern(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('!'), QStringLiteral("!!"));
    escaped.replace(QLatin1Char('%'), QStringLiteral("!%"));
    escaped.replace(QLatin1Char('_'), QStringLiteral("!_"));
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}
} // namespace

std::optional<LedgerQuery::Kind> LedgerQuery::KindNamed(const QString& name)
{
    if (name == QLatin1String("matches"))
        return Kind::Matches;
    if (name == QLatin1String("players"))
        return Kind::Players;
    if (name == QLatin1String("commands"))
        return Kind::Commands;
    if (name == QLatin1String("availability"))
        return Kind::Availability;
    if (name == QLatin1String("bans"))
        return Kind::Bans;
    if (name == QLatin1String("schedules"))
        return Kind::Schedules;
    return std::nullopt;
}

std::optional<LedgerQuery::Table> LedgerQuery::run(const LedgerTarget& target, Kind kind, const Filter& filter,
                                                   QString& error)
{
    LedgerConnection connection(target);
    if (!connection.open(LedgerConnection::Mode::Read, error))
        return std::nullopt;
    return run(connection, kind, filter, error);
}

std::optional<LedgerQuery::Table> LedgerQuery::run(LedgerConnection& connection, Kind kind, const Filter& filter,
                                                   QString& error)
{
    const KindSql sql = SqlFor(kind);
    QStringList where;
    QVariantList values;
    const QString time = QString::fromLatin1(sql.timeColumn);
    if (filter.since)
    {
        where << time + QStringLiteral(" >= ?");
        values << QVariant::fromValue(static_cast<qlonglong>(*filter.since));
    }
    if (filter.until)
    {
        where << time + QStringLiteral(" < ?");
        values << QVariant::fromValue(static_cast<qlonglong>(*filter.until));
    }
    if (!filter.object.isEmpty() && kind == Kind::Schedules)
    {
        where << QStringLiteral("(' ' || machines || ' ') LIKE ? ESCAPE '!'");
        values << QStringLiteral("% ") + LikePattern(filter.object).mid(1).chopped(1) + QStringLiteral(" %");
    }
    else if (!filter.object.isEmpty())
    {
        // The typed address "server 10.0.0.5:27015" ends with the address.
        where << QStringLiteral("(%1 = ? OR %1 LIKE ? ESCAPE '!')").arg(QLatin1String(sql.objectColumn));
        values << filter.object << QStringLiteral("% ") + LikePattern(filter.object).mid(1).chopped(1);
    }
    // A whole SteamID or IP among the players is looked up by its index, not scanned for.
    const bool wholeKey = kind == Kind::Players &&
                          (QRegularExpression(QStringLiteral("^STEAM_\\d+:\\d+:\\d+$")).match(filter.find).hasMatch() ||
                           !QHostAddress(filter.find).isNull());
    if (wholeKey)
    {
        where << QStringLiteral("(steam_id = ? OR ip = ?)");
        values << filter.find << QHostAddress(filter.find).toString();
    }
    else if (!filter.find.isEmpty())
    {
        QStringList any;
        for (const QString& column : sql.textColumns)
        {
            // Folded on both sides: PostgreSQL's LIKE minds the case, SQLite's does not.
            any << QStringLiteral("LOWER(") + column + QStringLiteral(") LIKE ? ESCAPE '!'");
            values << LikePattern(filter.find.toLower());
        }
        where << QLatin1Char('(') + any.join(QStringLiteral(" OR ")) + QLatin1Char(')');
    }
    QString statement =
        QStringLiteral("SELECT %1 FROM %2").arg(QString::fromLatin1(sql.columns), QString::fromLatin1(sql.table));
    if (!where.isEmpty())
        statement += QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND "));
    statement += filter.newestFirst ? QStringLiteral(" ORDER BY %1 DESC, id DESC LIMIT %2")
                                    : QStringLiteral(" ORDER BY %1, id LIMIT %2");
    statement = statement.arg(time).arg(std::max(1, filter.limit));

    Table table;
    table.columns = sql.headers;
    table.timeColumns = sql.timeHeaders;
    {
        QSqlQuery query(connection.db());
        query.setForwardOnly(true);
        query.prepare(statement);
        for (const QVariant& value : values)
            query.addBindValue(value);
        if (!query.exec())
        {
            error = query.lastError().text().trimmed();
            if (error.contains(QLatin1String("no such table")))
                error = QStringLiteral("the ledger holds nothing yet");
            return std::nullopt;
        }
        while (query.next())
        {
            std::vector<QVariant> row;
            row.reserve(sql.headers.size());
            for (int i = 0; i < sql.headers.size(); ++i)
                row.push_back(query.value(i));
            table.rows.push_back(std::move(row));
        }
    }
    if (kind == Kind::Bans && !attachBanServers(connection, table, error))
        return std::nullopt;
    return table;
}

bool LedgerQuery::attachBanServers(LedgerConnection& connection, Table& bans, QString& error)
{
    // Where each server of its scope stands: "127.0.0.1:27015 applied; ...".
    QSqlQuery query(connection.db());
    query.prepare(QStringLiteral("SELECT server, state FROM ban_servers WHERE ban_key = ? ORDER BY server"));
    for (auto& row : bans.rows)
    {
        query.addBindValue(row.back());
        if (!query.exec())
        {
            error = query.lastError().text().trimmed();
            return false;
        }
        QStringList servers;
        while (query.next())
            servers << query.value(0).toString() + QLatin1Char(' ') + query.value(1).toString();
        row.back() = servers.join(QStringLiteral("; "));
    }
    return true;
}

QString LedgerQuery::FormatTime(std::int64_t seconds)
{
    return QDateTime::fromSecsSinceEpoch(seconds, Qt::UTC).toString(Qt::ISODate);
}

std::optional<std::int64_t> LedgerQuery::ParseTime(const QString& text)
{
    QDateTime when = QDateTime::fromString(text, Qt::ISODate);
    if (!when.isValid())
    {
        const QDate day = QDate::fromString(text, Qt::ISODate);
        if (!day.isValid())
            return std::nullopt;
        when = QDateTime(day, QTime(0, 0), Qt::UTC);
    }
    else if (when.timeSpec() == Qt::LocalTime)
        when.setTimeSpec(Qt::UTC);
    return when.toSecsSinceEpoch();
}
