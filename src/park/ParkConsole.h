#pragma once

#include "park/ParkBans.h"
#include "park/PickSet.h"
#include "park/Presets.h"
#include "park/RconAttacks.h"
#include "park/SendToMany.h"
#include "park/ServerVariables.h"

#include <cstdint>

class CCommonObject;

// What the operator does to many machines at once from the console: the
// extra picks, the last send to many and its results, the presets and the
// Variables page's asking. The document owns it and drives it from its
// one-second tick; the window only collects choices and shows results.
class ParkConsole
{
public:
    // Once a second: answers of the last send, the Variables page's rules.
    void Tick(std::int64_t now);
    // The object is going away: nothing keeps pointing at it.
    void Forget(const CCommonObject& object);
    // The layout is emptied: picks, results and the watched page go; the
    // bans stay (they are the park's, kept in the ledger).
    void ForgetAll();

    PickSet picks;
    SendToMany sending;
    PresetBook presets;
    VariablesWatch variables;
    // Ticked by the document, which knows the scopes.
    ParkBans bans;
    RconAttacks attacks;
};
