#include "ledger/LedgerQueue.h"

#include <chrono>

bool LedgerQueue::push(LedgerRecord record)
{
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        if (m_records.size() >= m_capacity)
        {
            ++m_dropped;
            return false;
        }
        m_records.push_back(std::move(record));
        // The writer needs one wake-up, not one a record.
        wake = !m_signalled;
        m_signalled = true;
    }
    if (wake)
        m_wake.notify_one();
    return true;
}

std::size_t LedgerQueue::pushAll(std::vector<LedgerRecord>& records)
{
    if (records.empty())
        return 0;
    std::size_t dropped = 0;
    bool wake = false;
    {
        std::lock_guard lock(m_mutex);
        for (LedgerRecord& record : records)
        {
            if (m_records.size() >= m_capacity)
            {
                ++dropped;
                continue;
            }
            m_records.push_back(std::move(record));
        }
        m_dropped += dropped;
        wake = !m_signalled;
        m_signalled = true;
    }
    records.clear();
    if (wake)
        m_wake.notify_one();
    return dropped;
}

std::vector<LedgerRecord> LedgerQueue::take(std::size_t max)
{
    std::lock_guard lock(m_mutex);
    std::vector<LedgerRecord> batch;
    const std::size_t n = std::min(max, m_records.size());
    batch.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
    {
        batch.push_back(std::move(m_records.front()));
        m_records.pop_front();
    }
    return batch;
}

void LedgerQueue::giveBack(std::vector<LedgerRecord> records)
{
    std::lock_guard lock(m_mutex);
    // Records queued meanwhile are newer; the oldest given back stay first.
    for (auto it = records.rbegin(); it != records.rend(); ++it)
        m_records.push_front(std::move(*it));
    while (m_records.size() > m_capacity)
    {
        m_records.pop_back();
        ++m_dropped;
    }
}

std::size_t LedgerQueue::size() const
{
    std::lock_guard lock(m_mutex);
    return m_records.size();
}

std::uint64_t LedgerQueue::dropped() const
{
    std::lock_guard lock(m_mutex);
    return m_dropped;
}

void LedgerQueue::waitFor(int milliseconds)
{
    std::unique_lock lock(m_mutex);
    m_wake.wait_for(lock, std::chrono::milliseconds(milliseconds),
                    [this] { return m_stopped || m_signalled; });
    m_signalled = false;
}

void LedgerQueue::stop()
{
    {
        std::lock_guard lock(m_mutex);
        m_stopped = true;
    }
    m_wake.notify_all();
}

bool LedgerQueue::stopped() const
{
    std::lock_guard lock(m_mutex);
    return m_stopped;
}
