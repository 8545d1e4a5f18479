#include "ui/MachineStates.h"

#include "objects/CCommonObject.h"

#include <iterator>

namespace {

const MachineState kStates[] = {
    {"Down", QColor(255, 190, 190), [](const CCommonObject& object) { return object.IsDown(); }},
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
