#include "park/ParkConsole.h"

#include "objects/CCommonObject.h"

void ParkConsole::Tick(std::int64_t now)
{
    sending.Collect(now);
    variables.Tick(now);
}

void ParkConsole::Forget(const CCommonObject& object)
{
    picks.Forget(object);
    sending.Forget(object);
    variables.Forget(object);
    bans.Forget(object);
    attacks.Forget(object.GetName());
}

void ParkConsole::ForgetAll()
{
    picks.Clear();
    sending = SendToMany();
    variables = VariablesWatch();
    bans.ForgetServers();
    attacks = RconAttacks();
}
