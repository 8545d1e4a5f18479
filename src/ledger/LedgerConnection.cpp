#include "ledger/LedgerConnection.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
// Creates the file readable and writable by its owner only, before SQLite
// sees it (its -wal and -shm files take the same mode).
bool CreatePrivateFile(const QString& path, QString& error)
{
    const QByteArray native = QFile::encodeName(path);
    const int fd = ::open(native.constData(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0)
    {
        error = QString::fromLocal8Bit(strerror(errno));
        return false;
    }
    ::close(fd);
    return true;
}
} // namespace

LedgerConnection::LedgerConnection(LedgerTarget target)
    : m_target(std::move(target)),
      m_name(QStringLiteral("quorvane-ledger-") + QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

LedgerConnection::~LedgerConnection()
{
    close();
}

LedgerSchema::Dialect LedgerConnection::dialect() const
{
    return m_target.kind == LedgerTarget::Kind::Sqlite ? LedgerSchema::Dialect::Sqlite
                                                       : LedgerSchema::Dialect::Postgres;
}

bool LedgerConnection::IsCorruption(const QString& nativeCode)
{
    const int code = nativeCode.toInt() & 0xff; // extended codes keep the primary in the low byte
    return code == 11 /* SQLITE_CORRUPT */ || code == 26 /* SQLITE_NOTADB */;
}

void LedgerConnection::close()
{
    if (m_db.isValid())
    {
        m_db.close();
        m_db = QSqlDatabase();
        QSqlDatabase::removeDatabase(m_name);
    }
    m_open = false;
}

bool LedgerConnection::open(Mode mode, QString& error)
{
    close();
    m_setAside.clear();
    return m_target.kind == LedgerTarget::Kind::Sqlite ? openSqlite(mode, error) : openPostgres(mode, error);
}

bool LedgerConnection::openSqlite(Mode mode, QString& error)
{
    const QFileInfo info(m_target.path);
    if (mode == Mode::Read)
    {
        if (!info.exists())
        {
            error = QStringLiteral("there is no ledger at %1 yet").arg(m_target.path);
            return false;
        }
    }
    else
    {
        if (!QDir().mkpath(info.absolutePath()))
        {
            error = QStringLiteral("its folder %1 cannot be made").arg(info.absolutePath());
            return false;
        }
        if (!info.exists() && !CreatePrivateFile(m_target.path, error))
            return false;
        // SQLite gives its -wal and -shm files the file's mode when it makes
        // them: those made while the file was read-only keep it unwritable
        // after the file is writable again.
        if (::access(QFile::encodeName(m_target.path).constData(), W_OK) == 0)
            for (const char* suffix : {"-wal", "-shm"})
                ::chmod(QFile::encodeName(m_target.path + QLatin1String(suffix)).constData(), 0600);
    }
    for (int attempt = 0; attempt < 2; ++attempt)
    {
        m_db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        if (!m_db.isValid())
        {
            error = QStringLiteral("Qt's SQLite driver is not installed");
            close();
            return false;
        }
        m_db.setDatabaseName(m_target.path);
        QString options = QStringLiteral("QSQLITE_BUSY_TIMEOUT=2000");
        if (mode == Mode::Read)
            options += QStringLiteral(";QSQLITE_OPEN_READONLY");
        m_db.setConnectOptions(options);
        if (!m_db.open())
        {
            error = m_db.lastError().text();
            close();
            return false;
        }
        bool damaged = false;
        QString failure;
        // Only a writer checks the whole file: a look-up must not read 200 MB first.
        if (mode == Mode::Write)
        {
            QSqlQuery check(m_db);
            if (!check.exec(QStringLiteral("PRAGMA quick_check")))
            {
                damaged = IsCorruption(check.lastError().nativeErrorCode());
                failure = check.lastError().text();
            }
            else if (!check.next() || check.value(0).toString() != QStringLiteral("ok"))
                damaged = true;
        }
        if (damaged && mode == Mode::Write && attempt == 0)
        {
            close();
            if (!setAside(error) || !CreatePrivateFile(m_target.path, error))
                return false;
            continue;
        }
        if (damaged || !failure.isEmpty())
        {
            error = damaged ? QStringLiteral("the file is damaged") : failure;
            close();
            return false;
        }
        break;
    }
    if (mode == Mode::Write)
    {
        QString pragmaError;
        {
            QSqlQuery pragma(m_db);
            if (!pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")) ||
                !pragma.exec(QStringLiteral("PRAGMA synchronous=NORMAL")))
                pragmaError = pragma.lastError().text();
        }
        if (!pragmaError.isEmpty())
        {
            error = pragmaError;
            close();
            return false;
        }
        if (!LedgerSchema::migrate(m_db, LedgerSchema::Dialect::Sqlite, error))
        {
            close();
            return false;
        }
    }
    m_open = true;
    return true;
}

bool LedgerConnection::openPostgres(Mode mode, QString& error)
{
    m_db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), m_name);
    if (!m_db.isValid())
    {
        error = QStringLiteral("Qt's PostgreSQL driver is not installed");
        close();
        return false;
    }
    // No password is set: libpq takes it from PGPASSFILE or ~/.pgpass.
    m_db.setHostName(m_target.host);
    m_db.setPort(m_target.port);
    m_db.setUserName(m_target.user);
    m_db.setDatabaseName(m_target.database);
    m_db.setConnectOptions(QStringLiteral("connect_timeout=5;application_name=quorvane"));
    if (!m_db.open())
    {
        error = m_db.lastError().text().trimmed();
        close();
        return false;
    }
    if (mode == Mode::Write && !LedgerSchema::migrate(m_db, LedgerSchema::Dialect::Postgres, error))
    {
        close();
        return false;
    }
    m_open = true;
    return true;
}

bool LedgerConnection::setAside(QString& error)
{
    const QString stamp = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMdd-HHmmss"));
    QString aside = m_target.path + QStringLiteral(".damaged-") + stamp;
    for (int n = 2; QFileInfo::exists(aside); ++n)
        aside = m_target.path + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
    if (!QFile::rename(m_target.path, aside))
    {
        error = QStringLiteral("the file is damaged and cannot be set aside");
        return false;
    }
    for (const char* suffix : {"-wal", "-shm"})
        if (QFileInfo::exists(m_target.path + QLatin1String(suffix)))
            QFile::rename(m_target.path + QLatin1String(suffix), aside + QLatin1String(suffix));
    m_setAside = aside;
    return true;
}
