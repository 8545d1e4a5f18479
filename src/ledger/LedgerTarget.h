#pragma once

#include <QString>
#include <optional>

// Where the ledger lives: an SQLite file, or a PostgreSQL database named by
// postgresql://USER@HOST[:PORT]/DB. A host that starts with "/" (written
// %2F... in the URL) is the folder of the server's Unix socket. A password
// never comes from here: libpq reads it from PGPASSFILE or ~/.pgpass.
struct LedgerTarget
{
    enum class Kind
    {
        Sqlite,
        Postgres,
    };
    Kind kind = Kind::Sqlite;
    QString path; // Sqlite
    QString user, host, database;
    int port = 5432;

    // Parses what follows --ledger; nullopt with the reason in error.
    static std::optional<LedgerTarget> parse(const QString& text, QString& error);
    // The default: ledger.sqlite in the user's data folder.
    static LedgerTarget defaultFile();
    // For messages; never holds a password.
    QString describe() const;
};
