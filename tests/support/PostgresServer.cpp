#include "support/PostgresServer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QStandardPaths>
#include <QUrl>
#include <QUuid>

#include <pwd.h>
#include <unistd.h>

PostgresServer::PostgresServer()
{
    // Debian keeps the server tools out of PATH, under a folder per version.
    const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql"))
                                     .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name | QDir::Reversed);
    for (const QString& version : versions)
    {
        const QString bin = QStringLiteral("/usr/lib/postgresql/%1/bin").arg(version);
        if (QFileInfo(bin + QStringLiteral("/initdb")).isExecutable())
        {
            m_bin = bin;
            break;
        }
    }
    if (m_bin.isEmpty())
    {
        const QString initdb = QStandardPaths::findExecutable(QStringLiteral("initdb"));
        if (!initdb.isEmpty())
            m_bin = QFileInfo(initdb).absolutePath();
    }
    if (const passwd* entry = getpwuid(getuid()))
        m_user = QString::fromLocal8Bit(entry->pw_name);
}

PostgresServer::~PostgresServer()
{
    if (m_running)
        stop();
}

QString PostgresServer::tool(const QString& name) const
{
    return m_bin + QLatin1Char('/') + name;
}

bool PostgresServer::run(const QString& program, const QStringList& arguments, int timeoutMs)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.start(program, arguments);
    if (!process.waitForFinished(timeoutMs) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0)
    {
        process.kill();
        process.waitForFinished(2000);
        m_error = QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(process.readAll()).trimmed());
        return false;
    }
    return true;
}

bool PostgresServer::start()
{
    if (m_bin.isEmpty())
    {
        m_error = QStringLiteral("initdb is not installed: the tests need Debian's postgresql package (make deps)");
        return false;
    }
    if (geteuid() == 0)
    {
        m_error = QStringLiteral("PostgreSQL does not run as root: run this test through run_unprivileged.sh");
        return false;
    }
    if (!m_dir.isValid())
    {
        m_error = QStringLiteral("no temporary folder");
        return false;
    }
    const QString data = m_dir.filePath(QStringLiteral("data"));
    if (!run(tool(QStringLiteral("initdb")),
             {QStringLiteral("-D"), data, QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-U"), m_user,
              QStringLiteral("-E"), QStringLiteral("UTF8"), QStringLiteral("--no-sync")},
             120000))
        return false;
    return restart();
}

bool PostgresServer::restart()
{
    const QString options = QStringLiteral("-k %1 -c listen_addresses= -p %2 -c fsync=off").arg(m_dir.path()).arg(kPort);
    if (!run(tool(QStringLiteral("pg_ctl")),
             {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-l"),
              m_dir.filePath(QStringLiteral("server.log")), QStringLiteral("-o"), options, QStringLiteral("-w"),
              QStringLiteral("-t"), QStringLiteral("60"), QStringLiteral("start")},
             90000))
        return false;
    m_running = true;
    return true;
}

bool PostgresServer::stop()
{
    m_running = false;
    return run(tool(QStringLiteral("pg_ctl")),
               {QStringLiteral("-D"), m_dir.filePath(QStringLiteral("data")), QStringLiteral("-m"),
                QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")},
               60000);
}

bool PostgresServer::createDatabase(const QString& name)
{
    const QString connection = QUuid::createUuid().toString();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), connection);
        db.setHostName(m_dir.path());
        db.setPort(kPort);
        db.setUserName(m_user);
        db.setDatabaseName(QStringLiteral("postgres"));
        if (db.open())
        {
            QSqlQuery query(db);
            ok = query.exec(QStringLiteral("CREATE DATABASE \"%1\"").arg(name));
            if (!ok)
                m_error = query.lastError().text();
        }
        else
            m_error = db.lastError().text();
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}

QString PostgresServer::url(const QString& database) const
{
    // Concatenated: the encoded path's "%2F" would be taken for a place marker of arg().
    return QStringLiteral("postgresql://") + m_user + QLatin1Char('@') +
           QString::fromLatin1(QUrl::toPercentEncoding(m_dir.path())) + QLatin1Char(':') + QString::number(kPort) +
           QLatin1Char('/') + database;
}
