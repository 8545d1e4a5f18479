#include "park/RconAttacks.h"

#include <algorithm>

bool RconAttacks::Record(const std::string& server, const std::string& source, std::int64_t now)
{
    Server& entry = m_servers[server];
    ++entry.refused;
    if (entry.sources.size() >= kMaxSources && !entry.sources.count(source)) {
        const auto oldest =
            std::min_element(entry.sources.begin(), entry.sources.end(),
                             [](const auto& a, const auto& b) { return a.second.last < b.second.last; });
        entry.sources.erase(oldest);
    }
    Source& from = entry.sources[source];
    from.last = now;
    while (!from.times.empty() && from.times.front() <= now - kWindowSeconds)
        from.times.pop_front();
    // A quiet window ends the spell.
    if (from.times.empty())
        from.alerted = false;
    from.times.push_back(now);
    // A flood needs no more than the threshold's worth to be told apart.
    if (from.times.size() > kMaxSources)
        from.times.pop_front();
    if (from.alerted || static_cast<int>(from.times.size()) <= kThreshold)
        return false;
    from.alerted = true;
    m_alerts.push_back(Alert{++m_sequence, now, server, source, static_cast<int>(from.times.size())});
    if (m_alerts.size() > kMaxAlerts)
        m_alerts.pop_front();
    return true;
}

std::uint64_t RconAttacks::Refused(const std::string& server) const
{
    const auto found = m_servers.find(server);
    return found == m_servers.end() ? 0 : found->second.refused;
}

std::vector<RconAttacks::Alert> RconAttacks::AlertsAfter(std::uint64_t sequence) const
{
    std::vector<Alert> after;
    for (const Alert& alert : m_alerts) {
        if (alert.sequence > sequence)
            after.push_back(alert);
    }
    return after;
}

void RconAttacks::Forget(const std::string& server)
{
    m_servers.erase(server);
}
