#pragma once

#include <memory>
#include <string>
#include <vector>

class CCommonObject;

// What is wrong with a machine, as the canvas frames it, the machines list
// colours it and the window counts it. Most urgent first: a machine is in
// one kind of trouble at a time.
enum class Trouble
{
    None,
    Down,        // answered once, silent since
    RelayLost,   // a proxy under rcon that had an upstream and relays nothing now
    Unreachable, // never answered within two poll cycles of being opened or added
};

Trouble troubleOf(const CCommonObject& object);

// The one count behind the title, the status bar and the button, so that
// they always agree.
struct TroubleCount
{
    int down = 0;
    int relayLost = 0;
    int unreachable = 0;

    int total() const { return down + relayLost + unreachable; }
    // Counts one machine in this trouble (none: nothing).
    void add(Trouble trouble);
    // "3 down, 1 relay lost, 2 unreachable"; only the kinds there are;
    // empty when there is no trouble.
    std::string words() const;
    bool operator==(const TroubleCount&) const = default;
};

TroubleCount countTrouble(const std::vector<std::unique_ptr<CCommonObject>>& objects);
