#include "ledger/LedgerTarget.h"

#include <QDir>
#include <QStandardPaths>
#include <QUrl>

namespace
{
const QString kScheme = QStringLiteral("postgresql://");
const QString kShortScheme = QStringLiteral("postgres://");
} // namespace

std::optional<LedgerTarget> LedgerTarget::parse(const QString& text, QString& error)
{
    LedgerTarget target;
    QString rest;
    if (text.startsWith(kScheme))
        rest = text.mid(kScheme.size());
    else if (text.startsWith(kShortScheme))
        rest = text.mid(kShortScheme.size());
    else
    {
        if (text.isEmpty())
        {
            error = QStringLiteral("--ledger needs a file name or postgresql://USER@HOST[:PORT]/DB");
            return std::nullopt;
        }
        target.path = text;
        return target;
    }
    target.kind = Kind::Postgres;
    const qsizetype at = rest.indexOf(QLatin1Char('@'));
    const qsizetype slash = rest.indexOf(QLatin1Char('/'), at < 0 ? 0 : at);
    if (at <= 0 || slash < 0)
    {
        error = QStringLiteral("A PostgreSQL ledger is written postgresql://USER@HOST[:PORT]/DB");
        return std::nullopt;
    }
    const QString userPart = rest.left(at);
    if (userPart.contains(QLatin1Char(':')))
    {
        error = QStringLiteral("A password does not belong on the command line: put it into ~/.pgpass "
                               "(or the file PGPASSFILE names) and write postgresql://USER@HOST[:PORT]/DB");
        return std::nullopt;
    }
    target.user = QUrl::fromPercentEncoding(userPart.toUtf8());
    QString hostPart = rest.mid(at + 1, slash - at - 1);
    // The port follows the last colon, unless the colon belongs to a bracketed IPv6 address.
    const qsizetype colon = hostPart.lastIndexOf(QLatin1Char(':'));
    if (colon >= 0 && colon > hostPart.lastIndexOf(QLatin1Char(']')))
    {
        bool ok = false;
        const int port = hostPart.mid(colon + 1).toInt(&ok);
        if (!ok || port < 1 || port > 65535)
        {
            error = QStringLiteral("The PostgreSQL port must be a number from 1 to 65535");
            return std::nullopt;
        }
        target.port = port;
        hostPart.truncate(colon);
    }
    if (hostPart.startsWith(QLatin1Char('[')) && hostPart.endsWith(QLatin1Char(']')))
        hostPart = hostPart.mid(1, hostPart.size() - 2);
    target.host = QUrl::fromPercentEncoding(hostPart.toUtf8());
    QString database = rest.mid(slash + 1);
    const qsizetype query = database.indexOf(QLatin1Char('?'));
    if (query >= 0)
        database.truncate(query);
    target.database = QUrl::fromPercentEncoding(database.toUtf8());
    if (target.host.isEmpty() || target.database.isEmpty())
    {
        error = QStringLiteral("A PostgreSQL ledger is written postgresql://USER@HOST[:PORT]/DB");
        return std::nullopt;
    }
    return target;
}

LedgerTarget LedgerTarget::defaultFile()
{
    LedgerTarget target;
    target.path = QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                      .filePath(QStringLiteral("ledger.sqlite"));
    return target;
}

QString LedgerTarget::describe() const
{
    if (kind == Kind::Sqlite)
        return path;
    // Concatenated: a "%1" in a name must not be taken for a place marker.
    return QStringLiteral("postgresql://") + user + QLatin1Char('@') + host + QLatin1Char(':') +
           QString::number(port) + QLatin1Char('/') + database;
}
