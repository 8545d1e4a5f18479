#include "objects/MachineTrouble.h"

#include "objects/CCommonObject.h"

Trouble troubleOf(const CCommonObject& object)
{
    if (object.IsDown())
        return Trouble::Down;
    if (object.IsRelayLost())
        return Trouble::RelayLost;
    if (object.IsUnreachable())
        return Trouble::Unreachable;
    return Trouble::None;
}

std::string TroubleCount::words() const
{
    std::string text;
    const auto add = [&text](int count, const char* kind) {
        if (count == 0)
            return;
        if (!text.empty())
            text += ", ";
        text += std::to_string(count) + " " + kind;
    };
    add(down, "down");
    add(relayLost, "relay lost");
    add(unreachable, "unreachable");
    return text;
}

void TroubleCount::add(Trouble trouble)
{
    switch (trouble) {
    case Trouble::Down:
        ++down;
        break;
    case Trouble::RelayLost:
        ++relayLost;
        break;
    case Trouble::Unreachable:
        ++unreachable;
        break;
    case Trouble::None:
        break;
    }
}

TroubleCount countTrouble(const std::vector<std::unique_ptr<CCommonObject>>& objects)
{
    TroubleCount count;
    for (const auto& object : objects)
        count.add(troubleOf(*object));
    return count;
}
