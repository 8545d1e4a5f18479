#include "layout/DownWatch.h"

#include "objects/CCommonObject.h"

#include <algorithm>

namespace {

// Adds name to into, unless the opposite change of the same burst is in
// other: down and back within one burst cancel out.
void change(std::vector<std::string>& into, std::vector<std::string>& other, const std::string& name)
{
    if (const auto found = std::find(other.begin(), other.end(), name); found != other.end())
        other.erase(found);
    else if (std::find(into.begin(), into.end(), name) == into.end())
        into.push_back(name);
}

} // namespace

bool DownWatch::IsDown(const CCommonObject& object)
{
    return object.IsDown();
}

void DownWatch::Note(Trouble was, Trouble is, const std::string& name)
{
    if (was == Trouble::Down)
        change(m_pending.cameBack, m_pending.wentDown, name);
    if (was == Trouble::RelayLost)
        change(m_pending.relayBack, m_pending.relayLost, name);
    if (was == Trouble::Unreachable) {
        const auto found = std::find(m_pending.unreachable.begin(), m_pending.unreachable.end(), name);
        if (found != m_pending.unreachable.end())
            m_pending.unreachable.erase(found);
    }
    if (is == Trouble::Down)
        change(m_pending.wentDown, m_pending.cameBack, name);
    if (is == Trouble::RelayLost)
        change(m_pending.relayLost, m_pending.relayBack, name);
    if (is == Trouble::Unreachable && std::find(m_pending.unreachable.begin(), m_pending.unreachable.end(),
                                                name) == m_pending.unreachable.end())
        m_pending.unreachable.push_back(name);
}

std::optional<DownWatch::Burst> DownWatch::Update(const std::vector<std::unique_ptr<CCommonObject>>& objects,
                                                  std::int64_t now)
{
    std::unordered_map<const CCommonObject*, Seen> troubled;
    TroubleCount count;
    bool changed = false;
    for (const auto& object : objects) {
        const Trouble is = troubleOf(*object);
        const auto before = m_troubled.find(object.get());
        const Trouble was = before == m_troubled.end() ? Trouble::None : before->second.trouble;
        count.add(is);
        if (is != Trouble::None)
            troubled.emplace(object.get(),
                             Seen{is, before != m_troubled.end() ? before->second.name : object->GetName()});
        if (is == was)
            continue;
        changed = true;
        Note(was, is, object->GetName());
    }
    // Deleted machines leave the count without an alert.
    changed = changed || !(count == m_count);
    m_troubled = std::move(troubled);
    m_count = count;
    if (changed)
        m_lastChange = now;
    const Burst& p = m_pending;
    if (p.wentDown.empty() && p.cameBack.empty() && p.relayLost.empty() && p.relayBack.empty() &&
        p.unreachable.empty())
        return std::nullopt;
    if (now - m_lastChange < kSettleSeconds)
        return std::nullopt;
    Burst burst = std::move(m_pending);
    burst.now = m_count;
    m_pending = {};
    return burst;
}
