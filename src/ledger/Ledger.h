#pragma once

#include "ledger/LedgerQueue.h"
#include "ledger/LedgerRecords.h"
#include "ledger/LedgerStats.h"
#include "ledger/LedgerStore.h"

#include <QObject>
#include <QString>
#include <memory>

class Clock;
class QThread;

// The ledger as the document sees it: record() queues and returns at once;
// a thread of the ledger's own writes the queue in batched transactions.
// Nothing here waits for the database. Messages about trouble (once per
// spell of trouble) arrive as message() on the thread that made the ledger.
class Ledger : public QObject
{
    Q_OBJECT

public:
    static constexpr std::size_t kDefaultCapacity = 200'000;

    struct Options
    {
        LedgerStore::Settings settings;
        std::size_t capacity = kDefaultCapacity;
        // Without a thread, pump() writes on the caller's thread (tests
        // drive the writer step by step against a manual clock).
        bool threaded = true;
    };

    Ledger(Options options, const Clock& clock, QObject* parent = nullptr);
    ~Ledger() override;

    // Queues a record; a command's passwords are masked first.
    void record(LedgerRecord record);
    // Queues many at once (one lock for all) and empties records.
    void recordAll(std::vector<LedgerRecord>& records);
    // Removes a SteamID or an IP everywhere in the ledger.
    void forgetPlayer(const std::string& steamIdOrIp);

    // The writer step, for a ledger without a thread.
    bool pump();

    const LedgerStats& stats() const { return m_stats; }
    std::size_t queued() const { return m_queue.size(); }
    std::uint64_t dropped() const { return m_queue.dropped(); }
    const LedgerTarget& target() const { return m_options.settings.target; }
    // The name this console or headless run writes in every row.
    const QString& instance() const { return m_options.settings.instance; }

signals:
    void message(const QString& text);

private:
    void runWriter();

    Options m_options;
    const Clock& m_clock;
    LedgerQueue m_queue;
    LedgerStats m_stats;
    std::unique_ptr<LedgerStore> m_store; // without a thread only
    QThread* m_thread = nullptr;
};
