#pragma once

#include <QColor>
#include <QString>

class CCommonObject;

// The states that colour a machine's row in the machines list, most urgent
// first. A state the objects learn to tell is one more line in the table of
// MachineStates.cpp.
struct MachineState
{
    const char* words;   // what the status column says
    QColor tint;         // the row's background
    bool (*holds)(const CCommonObject& object);
};

// The first state that holds for the object; null when none does.
const MachineState* machineState(const CCommonObject& object);
