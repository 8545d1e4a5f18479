#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class CCommonObject;

// Which machines are down: they answered once and have since fallen silent
// (timed out). Machines that never answered are not down, only unknown.
//
// Changes are gathered into bursts: a zone that loses power makes its
// machines time out over a few seconds, and the operator wants one alert for
// that, not one per machine. A burst closes once kSettleSeconds pass without
// a further change.
class DownWatch
{
public:
    static constexpr std::int64_t kSettleSeconds = 5;

    struct Burst
    {
        std::vector<std::string> wentDown; // "address:port", in list order
        std::vector<std::string> cameBack;
        int downNow = 0;
    };

    static bool IsDown(const CCommonObject& object);

    // Looks at every object once; returns a burst when one has just closed.
    std::optional<Burst> Update(const std::vector<std::unique_ptr<CCommonObject>>& objects, std::int64_t now);

    int DownCount() const { return static_cast<int>(m_down.size()); }

private:
    // The down machines seen by the last update, with their names (a deleted
    // object's name is still known, without touching it).
    std::unordered_map<const CCommonObject*, std::string> m_down;
    Burst m_pending;
    std::int64_t m_lastChange = 0;
};
