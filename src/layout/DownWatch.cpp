#include "layout/DownWatch.h"

#include "objects/CCommonObject.h"

#include <algorithm>

bool DownWatch::IsDown(const CCommonObject& object)
{
    return object.m_nStatus == CSStatus_TIMEOUT && object.m_timeLastReply != 0;
}

std::optional<DownWatch::Burst> DownWatch::Update(const std::vector<std::unique_ptr<CCommonObject>>& objects,
                                                  std::int64_t now)
{
    std::unordered_map<const CCommonObject*, std::string> down;
    bool changed = false;
    for (const auto& object : objects) {
        const bool isDown = IsDown(*object);
        const auto before = m_down.find(object.get());
        const bool wasDown = before != m_down.end();
        if (isDown)
            down.emplace(object.get(), wasDown ? before->second : object->GetName());
        if (isDown == wasDown)
            continue;
        changed = true;
        std::vector<std::string>& into = isDown ? m_pending.wentDown : m_pending.cameBack;
        std::vector<std::string>& other = isDown ? m_pending.cameBack : m_pending.wentDown;
        const std::string name = object->GetName();
        // Down and back within one burst cancel out.
        if (const auto found = std::find(other.begin(), other.end(), name); found != other.end())
            other.erase(found);
        else
            into.push_back(name);
    }
    // Deleted machines leave the count without an alert.
    changed = changed || down.size() != m_down.size();
    m_down = std::move(down);
    if (changed)
        m_lastChange = now;
    if (m_pending.wentDown.empty() && m_pending.cameBack.empty())
        return std::nullopt;
    if (now - m_lastChange < kSettleSeconds)
        return std::nullopt;
    Burst burst = std::move(m_pending);
    burst.downNow = DownCount();
    m_pending = {};
    return burst;
}
