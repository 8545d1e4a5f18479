#pragma once

#include <QString>
#include <QTemporaryDir>

// A real PostgreSQL server (Debian's initdb and pg_ctl) on a Unix socket in
// a temporary folder, no TCP port. PostgreSQL refuses to run as root: the
// test runs under tests/support/run_unprivileged.sh then. The destructor
// stops the server and removes its files.
class PostgresServer
{
public:
    PostgresServer();
    ~PostgresServer();
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;

    // Makes the cluster and starts it; false with errorString() when not.
    bool start();
    // pg_ctl stop / start of the same cluster (the data stay).
    bool stop();
    bool restart();
    bool running() const { return m_running; }
    QString errorString() const { return m_error; }

    // Creates an empty database; false when it cannot.
    bool createDatabase(const QString& name);
    // "postgresql://USER@%2Ftmp%2F...:PORT/name"
    QString url(const QString& database) const;
    QString socketFolder() const { return m_dir.path(); }
    QString user() const { return m_user; }
    int port() const { return kPort; }

private:
    static constexpr int kPort = 54329;
    bool run(const QString& program, const QStringList& arguments, int timeoutMs);
    QString tool(const QString& name) const;

    QTemporaryDir m_dir;
    QString m_bin;
    QString m_user;
    QString m_error;
    bool m_running = false;
};
