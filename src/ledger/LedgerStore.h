#pragma once

#include "ledger/LedgerConnection.h"
#include "ledger/LedgerQueue.h"
#include "ledger/LedgerSightings.h"
#include "ledger/LedgerStats.h"

#include <QString>
#include <cstdint>
#include <functional>

class Clock;

// The writer's side of the ledger, run on one thread: takes the queued
// records and writes them in batched transactions. When the ledger cannot
// be opened or written it says so once, lets the records wait in the queue
// and tries again a minute later (by the injected clock). Personal data
// older than the kept days is pruned once a day; the player history past
// its first day is folded into rows of a day every ten minutes.
class LedgerStore
{
public:
    static constexpr std::int64_t kRetrySeconds = 60;
    static constexpr std::int64_t kPruneSeconds = 24 * 3600;
    static constexpr std::size_t kBatch = 500;
    // How often minute rows past their first day are folded into ten-minute rows.
    static constexpr std::int64_t kHistoryFoldSeconds = 600;

    struct Settings
    {
        LedgerTarget target;
        QString instance; // names this console or headless run in every row
        int keepDays = 30;
    };
    using Reporter = std::function<void(const QString&)>;

    LedgerStore(Settings settings, LedgerQueue& queue, LedgerStats& stats, const Clock& clock, Reporter report);

    // One step: opens when due, then writes what is queued. Returns true
    // when the queue was emptied into the ledger.
    bool pump();
    bool isOpen() const { return m_connection.isOpen(); }
    // The seconds since 1970 of the next attempt while in trouble.
    std::int64_t nextAttempt() const { return m_nextAttempt; }

private:
    bool ensureOpen();
    bool writeBatch(std::vector<LedgerRecord>& batch, QString& error);
    bool write(const LedgerRecord& record, QString& error);
    bool writeDemoFile(const DemoFileRecord& demo, QString& error);
    bool writeDemoFolder(const DemoFolderRecord& folder, QString& error);
    bool writeRelayPlan(const RelayPlanRecord& plan, QString& error);
    bool writeBan(const BanRecord& ban, QString& error);
    bool writeBanServer(const BanServerRecord& state, QString& error);
    bool prune(std::int64_t before, QString& error);
    bool forget(const std::string& who, QString& error);
    // After a forget: the write-ahead log, which still holds the pages as
    // they were, is folded into the file and emptied.
    void foldLog();
    void trouble(const QString& what);

    Settings m_settings;
    LedgerQueue& m_queue;
    LedgerStats& m_stats;
    const Clock& m_clock;
    Reporter m_report;
    LedgerConnection m_connection;
    LedgerSightings m_sightings;
    std::int64_t m_nextAttempt = 0;
    std::int64_t m_nextPrune = 0;
    std::int64_t m_nextHistoryFold = 0;
    bool m_inTrouble = false;
    bool m_foldDue = false;
    std::uint64_t m_droppedReported = 0;
};
