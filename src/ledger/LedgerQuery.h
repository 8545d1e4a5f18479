#pragma once

#include "ledger/LedgerTarget.h"

#include <QString>
#include <QStringList>
#include <QVariant>
#include <cstdint>
#include <optional>
#include <vector>

class LedgerConnection;

// The look-ups the window and `quorvane ledger ...` run, on a connection of
// their own that changes nothing.
class LedgerQuery
{
public:
    enum class Kind
    {
        Matches,
        Players,
        Commands,
        Availability,
        Bans,
        Schedules,
    };
    static std::optional<Kind> KindNamed(const QString& name);

    struct Filter
    {
        std::optional<std::int64_t> since, until; // seconds since 1970
        QString object;                           // "address:port", matched inside the typed address
        QString find;                             // any text column contains it; among players a
                                                  // whole SteamID or IP is matched exactly
        int limit = 100'000;
        // The newest rows first (a window shows the latest when the limit cuts).
        bool newestFirst = false;
    };

    struct Table
    {
        QStringList columns;
        // Columns named in timeColumns hold seconds since 1970.
        QStringList timeColumns;
        std::vector<std::vector<QVariant>> rows;
    };

    // nullopt with the reason when the ledger cannot be read.
    static std::optional<Table> run(const LedgerTarget& target, Kind kind, const Filter& filter, QString& error);
    // The same on a connection already open for reading (a browser keeps one).
    static std::optional<Table> run(LedgerConnection& connection, Kind kind, const Filter& filter, QString& error);

    // "2026-12-07T05:30:00Z".
    static QString FormatTime(std::int64_t seconds);
    // An ISO date or date and time (UTC unless it names its zone).
    static std::optional<std::int64_t> ParseTime(const QString& text);

private:
    // Fills the bans' last column (their keys) with each server's state.
    static bool attachBanServers(LedgerConnection& connection, Table& bans, QString& error);
};
