#pragma once

#include "MachineSettings.h"

#include <QString>

#include <optional>
#include <vector>

// The machines a configuration file describes, in file order.
struct ParkConfig
{
    std::optional<quint32> seed;
    std::vector<MachineSettings> servers;
    std::vector<MachineSettings> proxies;
    std::vector<MachineSettings> hubs;
};

// Reads a JSON configuration file. Every machine starts from the defaults
// of its kind and takes what its entry says. An unknown key, a value of the
// wrong type or out of range is an error: a typo must not pass silently.
std::optional<ParkConfig> loadConfig(const QString& path, const MachineSettings& serverDefaults,
                                     const MachineSettings& proxyDefaults, const MachineSettings& hubDefaults,
                                     QString* error);

// Makes a text from outside safe to put on the wire: no control characters
// (they would break the lines of a print reply or end a string field), at
// most maxBytes bytes.
QByteArray wireText(const QByteArray& text, qsizetype maxBytes);
