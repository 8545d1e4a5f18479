#pragma once

#include "feeds/LogEvent.h"

#include <cstddef>
#include <deque>
#include <memory>

// The newest events of one object, oldest first. A full ring forgets its
// oldest event for each new one, so a flood costs a fixed amount of memory.
class EventRing
{
public:
    static constexpr std::size_t kDefaultCapacity = 200;
    // Text fields longer than this are cut: a datagram is at most 2 KiB,
    // but the ring must not hold 2 KiB per field per event.
    static constexpr std::size_t kMaxField = 256;

    explicit EventRing(std::size_t capacity = kDefaultCapacity) : m_capacity(capacity == 0 ? 1 : capacity) {}

    void push(LogEvent event);
    // Forgets every event, and the memory they took.
    void clear() { m_events.reset(); }
    // The event as the ring would keep it: text fields cut to kMaxField.
    static LogEvent trimmed(LogEvent event);
    const std::deque<LogEvent>& events() const;
    std::size_t capacity() const { return m_capacity; }

private:
    std::size_t m_capacity;
    // Made with the first event: an empty deque already takes a block of
    // memory, and most objects of a park never stream their log.
    std::unique_ptr<std::deque<LogEvent>> m_events;
};
