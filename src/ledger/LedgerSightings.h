#pragma once

#include <QHash>
#include <QSqlDatabase>
#include <QString>
#include <cstdint>

// A player's sightings kept as stints: one row per player and server while
// he stays (seen again within the gap), its last_seen moved on. The writer
// remembers the rows of the open stints, so that no index is kept only to
// find them again: a month of a busy park is many rows, and such an index
// took a fifth of its room.
class LedgerSightings
{
public:
    // A player counts as still there when seen again within this time.
    static constexpr std::int64_t kGapSeconds = 15 * 60;
    // How long a stint's row is remembered after its last sighting.
    static constexpr std::int64_t kForgetSeconds = 3600;

    struct Seen
    {
        std::int64_t at = 0;
        QString object, name, steamId, ip; // as they are to be stored
    };
    // Writes one sighting in the caller's transaction.
    bool write(QSqlDatabase& db, const QString& instance, const Seen& seen, QString& error);
    // The rows remembered may be gone (a transaction rolled back): read them
    // again before the next write.
    void reset();

private:
    bool load(QSqlDatabase& db, const QString& instance, std::int64_t now, QString& error);
    static QString keyOf(const QString& object, const QString& name, const QString& steamId, const QString& ip);

    struct Open
    {
        qlonglong id = 0;
        std::int64_t last = 0;
    };
    QHash<QString, Open> m_open;
    bool m_loaded = false;
    std::int64_t m_nextSweep = 0;
};
