#include "ui/MachineStates.h"

#include "objects/CCommonObject.h"

#include <iterator>

namespace {

const MachineState kStates[] = {
    {"Down", QColor(255, 190, 190), [](const CCommonObject& object) { return object.IsDown(); }},
    {"Relay lost", QColor(255, 215, 160), [](const CCommonObject& object) { return object.IsRelayLost(); }},
    {"Unreachable", QColor(215, 215, 215),
     [](const CCommonObject& object) { return object.IsUnreachable(); }},
    {"Password refused", QColor(255, 225, 225),
     [](const CCommonObject& object) { return object.PasswordRefused(); }},
};

} // namespace

const MachineState* machineState(const CCommonObject& object)
{
    for (const MachineState& state : kStates) {
        if (state.holds(object))
            return &state;
    }
    return nullptr;
}
