#include "ledger/LedgerSchema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>
#include <vector>

namespace
{
struct Migration
{
    int version;
    // %ID% is the dialect's self-numbering key column.
    QStringList statements;
};

const std::vector<Migration>& Migrations()
{
    static const std::vector<Migration> migrations = {
        {1,
         {
             "CREATE TABLE commands (id %ID%, at BIGINT NOT NULL, instance TEXT NOT NULL, os_user TEXT NOT NULL,"
             " object TEXT NOT NULL, text TEXT NOT NULL, answer TEXT NOT NULL)",
             "CREATE INDEX commands_at ON commands (at)",
             "CREATE TABLE availability (id %ID%, at BIGINT NOT NULL, instance TEXT NOT NULL, object TEXT NOT NULL,"
             " change TEXT NOT NULL, duration BIGINT NOT NULL)",
             "CREATE INDEX availability_at ON availability (at)",
             "CREATE INDEX availability_object ON availability (object, at)",
             "CREATE TABLE matches (id %ID%, instance TEXT NOT NULL, object TEXT NOT NULL, map TEXT NOT NULL,"
             " teams TEXT NOT NULL, scores TEXT NOT NULL, started BIGINT NOT NULL, ended BIGINT NOT NULL,"
             " proxies TEXT NOT NULL, demos TEXT NOT NULL, ending TEXT NOT NULL)",
             "CREATE INDEX matches_started ON matches (started)",
             "CREATE INDEX matches_object ON matches (object, started)",
             "CREATE TABLE sightings (id %ID%, instance TEXT NOT NULL, object TEXT NOT NULL, name TEXT NOT NULL,"
             " steam_id TEXT NOT NULL, ip TEXT NOT NULL, first_seen BIGINT NOT NULL, last_seen BIGINT NOT NULL)",
             "CREATE INDEX sightings_last ON sightings (last_seen)",
             "CREATE INDEX sightings_steam ON sightings (steam_id)",
             "CREATE INDEX sightings_ip ON sightings (ip)",
             "CREATE INDEX sightings_object ON sightings (object, name)",
             "CREATE TABLE history (id %ID%, instance TEXT NOT NULL, object TEXT NOT NULL, minute BIGINT NOT NULL,"
             " players INTEGER NOT NULL, spectators INTEGER NOT NULL)",
             "CREATE INDEX history_object ON history (object, minute)",
             "CREATE INDEX history_minute ON history (minute)",
         }},
        // The demo files collected for each match, and the folder each proxy writes its demos to.
        {2,
         {
             "CREATE TABLE demo_files (id %ID%, instance TEXT NOT NULL, match_object TEXT NOT NULL,"
             " match_started BIGINT NOT NULL, proxy TEXT NOT NULL, remote_name TEXT NOT NULL,"
             " file_name TEXT NOT NULL, size BIGINT NOT NULL, sha256 TEXT NOT NULL, state TEXT NOT NULL,"
             " url TEXT NOT NULL, at BIGINT NOT NULL)",
             "CREATE INDEX demo_files_match ON demo_files (match_object, match_started)",
             "CREATE INDEX demo_files_at ON demo_files (at)",
             "CREATE TABLE demo_folders (proxy TEXT NOT NULL PRIMARY KEY, url TEXT NOT NULL)",
         }},
        // Each proxy's wanted upstream and whether it is connected again by itself.
        {3,
         {
             "CREATE TABLE relay_plan (proxy TEXT NOT NULL PRIMARY KEY, upstream TEXT NOT NULL,"
             " auto_reconnect INTEGER NOT NULL)",
         }},
        // The park's bans, and where each server stands with each.
        {4,
         {
             "CREATE TABLE bans (id %ID%, instance TEXT NOT NULL, ban_key TEXT NOT NULL UNIQUE, by_ip INTEGER NOT NULL,"
             " target TEXT NOT NULL, name TEXT NOT NULL, os_user TEXT NOT NULL, at BIGINT NOT NULL,"
             " reason TEXT NOT NULL, minutes BIGINT NOT NULL, expires BIGINT NOT NULL, scope TEXT NOT NULL,"
             " lifted_at BIGINT NOT NULL, lifted_by TEXT NOT NULL)",
             "CREATE INDEX bans_target ON bans (target)",
             "CREATE TABLE ban_servers (ban_key TEXT NOT NULL, server TEXT NOT NULL, state TEXT NOT NULL,"
             " at BIGINT NOT NULL, PRIMARY KEY (ban_key, server))",
         }},
        // The history past its first day, one row per object and ten minutes: the peak of the
        // minutes it folds (players and spectators each) and how many minutes had a sample.
        {5,
         {
             "CREATE TABLE history_10min (id %ID%, instance TEXT NOT NULL, object TEXT NOT NULL,"
             " span BIGINT NOT NULL, players INTEGER NOT NULL, spectators INTEGER NOT NULL,"
             " samples INTEGER NOT NULL)",
             "CREATE INDEX history_10min_object ON history_10min (object, span)",
             "CREATE INDEX history_10min_span ON history_10min (span)",
         }},
        // The operator's schedules, one row per schedule and instance.
        {6,
         {
             "CREATE TABLE schedules (id %ID%, instance TEXT NOT NULL, schedule_id BIGINT NOT NULL,"
             " command TEXT NOT NULL, preset TEXT NOT NULL, machines TEXT NOT NULL, rule TEXT NOT NULL,"
             " next_run BIGINT NOT NULL, last_run BIGINT NOT NULL, last_result TEXT NOT NULL)",
             "CREATE INDEX schedules_instance ON schedules (instance, schedule_id)",
         }},
        // The map each demo file holds (a match that changes map has a file per map): the page
        // lists a later run's published demos as this one did.
        {7,
         {
             "ALTER TABLE demo_files ADD COLUMN map TEXT NOT NULL DEFAULT ''",
         }},
        // A month of a large park in less room: the history past its first day packed a row per
        // object and day; the minute rows (inserted, then folded hourly) and the sightings (their
        // open stints found by the writer's own memory) without the indexes nothing reads by.
        {8,
         {
             "CREATE TABLE history_days (instance TEXT NOT NULL, object TEXT NOT NULL, day BIGINT NOT NULL,"
             " spans %BLOB% NOT NULL, PRIMARY KEY (instance, object, day))",
             "DROP INDEX history_object",
             "DROP INDEX history_minute",
             "DROP INDEX sightings_object",
         }},
    };
    return migrations;
}

bool Run(QSqlDatabase& db, const QString& statement, QString& error)
{
    QSqlQuery query(db);
    if (query.exec(statement))
        return true;
    error = query.lastError().text();
    return false;
}
} // namespace

int LedgerSchema::version(QSqlDatabase& db)
{
    QSqlQuery query(db);
    if (!query.exec(QStringLiteral("SELECT version FROM ledger_schema")))
        return db.tables().contains(QStringLiteral("ledger_schema")) ? -1 : 0;
    return query.next() ? query.value(0).toInt() : 0;
}

bool LedgerSchema::migrate(QSqlDatabase& db, Dialect dialect, QString& error)
{
    const QString id = dialect == Dialect::Sqlite ? QStringLiteral("INTEGER PRIMARY KEY")
                                                  : QStringLiteral("BIGSERIAL PRIMARY KEY");
    const QString blob = dialect == Dialect::Sqlite ? QStringLiteral("BLOB") : QStringLiteral("BYTEA");
    if (!db.transaction())
    {
        error = db.lastError().text();
        return false;
    }
    const auto fail = [&] {
        db.rollback();
        return false;
    };
    // Two consoles opening one PostgreSQL ledger at once migrate one after the other.
    if (dialect == Dialect::Postgres && !Run(db, QStringLiteral("SELECT pg_advisory_xact_lock(7368211)"), error))
        return fail();
    if (!Run(db, QStringLiteral("CREATE TABLE IF NOT EXISTS ledger_schema (version INTEGER NOT NULL)"), error))
        return fail();
    QSqlQuery read(db);
    if (!read.exec(QStringLiteral("SELECT version FROM ledger_schema")))
    {
        error = read.lastError().text();
        return fail();
    }
    const bool hasRow = read.next();
    int current = hasRow ? read.value(0).toInt() : 0;
    read.finish();
    if (current > kVersion)
    {
        error = QStringLiteral("it was written by a newer Quorvane (schema %1; this one knows up to %2)")
                    .arg(current)
                    .arg(kVersion);
        return fail();
    }
    for (const Migration& migration : Migrations())
    {
        if (migration.version <= current)
            continue;
        for (QString statement : migration.statements)
            if (!Run(db, statement.replace(QStringLiteral("%ID%"), id).replace(QStringLiteral("%BLOB%"), blob), error))
                return fail();
        current = migration.version;
    }
    const QString store = hasRow ? QStringLiteral("UPDATE ledger_schema SET version = %1")
                                 : QStringLiteral("INSERT INTO ledger_schema (version) VALUES (%1)");
    if (!Run(db, store.arg(current), error))
        return fail();
    if (!db.commit())
    {
        error = db.lastError().text();
        return fail();
    }
    return true;
}
