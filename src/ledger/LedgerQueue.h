#pragma once

#include "ledger/LedgerRecords.h"

#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

// The records waiting for the writer, shared by the thread that records
// (the UI thread) and the writer thread. Bounded: once full, a new record is
// dropped and counted, so that a ledger that stays unwritable for hours
// cannot eat the memory.
class LedgerQueue
{
public:
    explicit LedgerQueue(std::size_t capacity) : m_capacity(capacity) {}

    // False when the record was dropped because the queue is full.
    bool push(LedgerRecord record);
    // Many records under one lock, in order; those beyond the bound are
    // dropped and counted. The count dropped.
    std::size_t pushAll(std::vector<LedgerRecord>& records);
    // Up to max records from the front.
    std::vector<LedgerRecord> take(std::size_t max);
    // Puts records that could not be written back at the front, in order;
    // those beyond the bound are dropped and counted.
    void giveBack(std::vector<LedgerRecord> records);

    std::size_t size() const;
    std::uint64_t dropped() const;
    // Waits until a record is queued after the last wait, stop() is called or the time passes.
    void waitFor(int milliseconds);
    void stop();
    bool stopped() const;

private:
    mutable std::mutex m_mutex;
    std::condition_variable m_wake;
    std::deque<LedgerRecord> m_records;
    std::size_t m_capacity;
    std::uint64_t m_dropped = 0;
    bool m_stopped = false;
    // A record came in since the last wait (records given back do not
    // count: the writer waits for its next attempt instead of spinning).
    bool m_signalled = false;
};
