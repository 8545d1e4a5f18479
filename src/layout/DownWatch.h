#pragma once

#include "objects/MachineTrouble.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <unordered_map>
#include <vector>

class CCommonObject;

// Which machines are in trouble: down (they answered once and have since
// fallen silent), relay lost (a proxy relays nothing where it relayed), or
// unreachable (never answered since they were opened or added).
//
// Changes are gathered into bursts: a zone that loses power makes its
// machines time out over a few seconds, and its proxies lose their relay,
// and the operator wants one alert for that, not one per machine. A burst
// closes once kSettleSeconds pass without a further change.
class DownWatch
{
public:
    static constexpr std::int64_t kSettleSeconds = 5;

    struct Burst
    {
        std::vector<std::string> wentDown; // "address:port", in list order
        std::vector<std::string> cameBack;
        std::vector<std::string> relayLost;
        std::vector<std::string> relayBack;
        std::vector<std::string> unreachable;
        TroubleCount now;
    };

    static bool IsDown(const CCommonObject& object);

    // Looks at every object once; returns a burst when one has just closed.
    std::optional<Burst> Update(const std::vector<std::unique_ptr<CCommonObject>>& objects, std::int64_t now);

    int DownCount() const { return m_count.down; }
    const TroubleCount& Count() const { return m_count; }

private:
    struct Seen
    {
        Trouble trouble;
        std::string name; // a deleted object's name is still known, without touching it
    };
    void Note(Trouble was, Trouble is, const std::string& name);

    std::unordered_map<const CCommonObject*, Seen> m_troubled;
    TroubleCount m_count;
    Burst m_pending;
    std::int64_t m_lastChange = 0;
};
