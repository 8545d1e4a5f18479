#include "ledger/LedgerDemoFiles.h"

#include "ledger/LedgerConnection.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>
#include <algorithm>

namespace
{
const char* const kColumns = "match_object, match_started, instance, proxy, remote_name, file_name, size, sha256,"
                             " state, url, at, map";

LedgerDemoFiles::File Read(const QSqlQuery& query)
{
    LedgerDemoFiles::File file;
    file.matchObject = query.value(0).toString();
    file.matchStarted = query.value(1).toLongLong();
    file.instance = query.value(2).toString();
    file.proxy = query.value(3).toString();
    file.remoteName = query.value(4).toString();
    file.fileName = query.value(5).toString();
    file.size = query.value(6).toLongLong();
    file.sha256 = query.value(7).toString();
    file.state = query.value(8).toString();
    file.url = query.value(9).toString();
    file.at = query.value(10).toLongLong();
    file.map = query.value(11).toString();
    return file;
}

bool Missing(const QString& error)
{
    return error.contains(QLatin1String("no such table")) || error.contains(QLatin1String("does not exist"));
}

// Runs statement; a ledger without the tables yet reads as empty.
template <typename Each>
bool Select(const LedgerTarget& target, const QString& statement, const QVariantList& values, Each each,
            QString& error)
{
    LedgerConnection connection(target);
    if (!connection.open(LedgerConnection::Mode::Read, error))
        return false;
    QSqlQuery query(connection.db());
    query.setForwardOnly(true);
    query.prepare(statement);
    for (const QVariant& value : values)
        query.addBindValue(value);
    if (!query.exec())
    {
        error = query.lastError().text().trimmed();
        if (Missing(error))
        {
            error.clear();
            return true;
        }
        return false;
    }
    while (query.next())
        each(query);
    return true;
}
} // namespace

std::optional<LedgerDemoFiles::ByMatch> LedgerDemoFiles::files(const LedgerTarget& target,
                                                               std::optional<std::int64_t> since,
                                                               std::optional<std::int64_t> until, QString& error)
{
    QString statement = QStringLiteral("SELECT %1 FROM demo_files WHERE 1 = 1").arg(QLatin1String(kColumns));
    QVariantList values;
    if (since)
    {
        statement += QStringLiteral(" AND match_started >= ?");
        values << QVariant::fromValue(static_cast<qlonglong>(*since));
    }
    if (until)
    {
        statement += QStringLiteral(" AND match_started < ?");
        values << QVariant::fromValue(static_cast<qlonglong>(*until));
    }
    statement += QStringLiteral(" ORDER BY match_started, id");
    ByMatch byMatch;
    if (!Select(
            target, statement, values,
            [&](const QSqlQuery& query) {
                File file = Read(query);
                byMatch[{file.matchObject, file.matchStarted}].push_back(std::move(file));
            },
            error))
        return std::nullopt;
    return byMatch;
}

std::optional<std::vector<LedgerDemoFiles::Published>> LedgerDemoFiles::published(const LedgerTarget& target,
                                                                                  int limit, QString& error)
{
    QString columns = QLatin1String(kColumns);
    columns.replace(QLatin1String(", "), QLatin1String(", d.")).prepend(QLatin1String("d."));
    const QString statement =
        QStringLiteral("SELECT %1, m.teams, m.scores FROM demo_files d LEFT JOIN matches m ON m.object ="
                       " d.match_object AND m.started = d.match_started AND m.instance = d.instance"
                       " WHERE d.state = 'published' ORDER BY d.match_started DESC, d.id DESC LIMIT %2")
            .arg(columns)
            .arg(std::max(1, limit));
    std::vector<Published> found;
    if (!Select(
            target, statement, {},
            [&](const QSqlQuery& query) {
                // The score over time ends with the final one.
                const QStringList scores = query.value(13).toString().split(QLatin1Char(' '), Qt::SkipEmptyParts);
                found.push_back({Read(query), query.value(12).toString(), scores.isEmpty() ? QString() : scores.last()});
            },
            error))
        return std::nullopt;
    return found;
}

std::optional<std::map<QString, QString>> LedgerDemoFiles::folders(const LedgerTarget& target, QString& error)
{
    std::map<QString, QString> folders;
    if (!Select(
            target, QStringLiteral("SELECT proxy, url FROM demo_folders"), {},
            [&](const QSqlQuery& query) { folders[query.value(0).toString()] = query.value(1).toString(); }, error))
        return std::nullopt;
    return folders;
}

std::optional<std::map<QString, LedgerDemoFiles::RelayPlan>> LedgerDemoFiles::relayPlans(const LedgerTarget& target,
                                                                                        QString& error)
{
    std::map<QString, RelayPlan> plans;
    if (!Select(
            target, QStringLiteral("SELECT proxy, upstream, auto_reconnect FROM relay_plan"), {},
            [&](const QSqlQuery& query) {
                plans[query.value(0).toString()] = RelayPlan{query.value(1).toString(), query.value(2).toInt() != 0};
            },
            error))
        return std::nullopt;
    return plans;
}

void LedgerDemoFiles::attachFiles(LedgerQuery::Table& matches, const ByMatch& files)
{
    const qsizetype object = matches.columns.indexOf(QStringLiteral("object"));
    const qsizetype started = matches.columns.indexOf(QStringLiteral("started"));
    if (object < 0 || started < 0)
        return;
    matches.columns.append(QStringLiteral("files"));
    for (std::vector<QVariant>& row : matches.rows)
    {
        QStringList described;
        if (row.size() > static_cast<std::size_t>(std::max(object, started)))
        {
            const auto found = files.find({row[object].toString(), row[started].toLongLong()});
            if (found != files.end())
                for (const File& file : found->second)
                    described.append(QStringLiteral("%1 (%2 MB, %3)")
                                         .arg(file.fileName.isEmpty() ? file.remoteName : file.fileName)
                                         .arg(static_cast<double>(file.size) / 1e6, 0, 'f', 1)
                                         .arg(file.state));
        }
        row.push_back(described.join(QStringLiteral("; ")));
    }
}
