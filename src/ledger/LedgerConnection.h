#pragma once

#include "ledger/LedgerSchema.h"
#include "ledger/LedgerTarget.h"

#include <QSqlDatabase>
#include <QString>

// One connection to a ledger, used on the thread that opened it. Opening an
// SQLite file makes its folder and the file readable by the owner only,
// turns on WAL and checks the file; a damaged file is set aside (renamed,
// never overwritten) and a new one started. Opening migrates the schema.
class LedgerConnection
{
public:
    enum class Mode
    {
        Write, // creates and migrates
        Read,  // the file must exist; nothing is changed
    };

    explicit LedgerConnection(LedgerTarget target);
    ~LedgerConnection();
    LedgerConnection(const LedgerConnection&) = delete;
    LedgerConnection& operator=(const LedgerConnection&) = delete;

    bool open(Mode mode, QString& error);
    void close();
    bool isOpen() const { return m_open; }
    QSqlDatabase& db() { return m_db; }
    LedgerSchema::Dialect dialect() const;
    const LedgerTarget& target() const { return m_target; }
    // Where the damaged file went at the last open; empty when none was.
    const QString& setAsidePath() const { return m_setAside; }

    // SQLite's codes for a file that is not a database, or damaged.
    static bool IsCorruption(const QString& nativeCode);

private:
    bool openSqlite(Mode mode, QString& error);
    bool openPostgres(Mode mode, QString& error);
    bool setAside(QString& error);

    LedgerTarget m_target;
    QString m_name;
    QSqlDatabase m_db;
    bool m_open = false;
    QString m_setAside;
};
