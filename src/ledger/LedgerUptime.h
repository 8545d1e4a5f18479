#pragma once

#include "ledger/LedgerTarget.h"

#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <vector>

// Uptime from the availability rows: the share of a span an object was out
// of trouble. A machine down and a proxy whose relay is lost both count as
// out of service; a password refused does not (the machine still serves).
namespace LedgerUptime
{
struct Event
{
    std::int64_t at = 0;
    bool trouble = false; // a spell of trouble begins ("down", "relay lost"); else it ends
};

// The share of [since, now] out of trouble, from the events in time order.
// Before its first event an object counts as up, unless that event ends a
// spell of trouble: then it was in trouble from since.
double upShare(const std::vector<Event>& events, std::int64_t since, std::int64_t now);

struct Shares
{
    double day = 1.0;
    double week = 1.0;
};
// Each object (typed address) with availability rows in the last 7 days;
// nullopt with the reason when the ledger cannot be read.
std::optional<std::map<QString, Shares>> read(const LedgerTarget& target, std::int64_t now, QString& error);
} // namespace LedgerUptime
