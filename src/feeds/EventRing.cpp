#include "feeds/EventRing.h"

namespace {

void cut(std::string& text)
{
    if (text.size() <= EventRing::kMaxField)
        return;
    std::size_t end = EventRing::kMaxField;
    // Never split a UTF-8 sequence: back up over continuation bytes.
    while (end > 0 && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80)
        --end;
    text.resize(end);
}

void cut(LogPlayer& player)
{
    cut(player.name);
    cut(player.uid);
    cut(player.steamId);
    cut(player.team);
}

} // namespace

LogEvent EventRing::trimmed(LogEvent event)
{
    cut(event.player);
    cut(event.victim);
    cut(event.weapon);
    cut(event.text);
    cut(event.time);
    cut(event.team);
    for (LogTeamScore& score : event.scores)
        cut(score.team);
    return event;
}

void EventRing::push(LogEvent event)
{
    event = trimmed(std::move(event));
    if (!m_events)
        m_events = std::make_unique<std::deque<LogEvent>>();
    if (m_events->size() >= m_capacity)
        m_events->pop_front();
    m_events->push_back(std::move(event));
}

const std::deque<LogEvent>& EventRing::events() const
{
    static const std::deque<LogEvent> none;
    return m_events ? *m_events : none;
}
