#pragma once

#include "MachineSettings.h"

#include <QStringList>

#include <optional>
#include <vector>

// Everything the park is started with: its machines in listing order (all
// game servers, then all proxies, then all hub managers), each with its port
// settled.
struct ParkPlan
{
    std::vector<MachineSettings> machines;
    quint32 seed = 0;
    // Accepted by every machine for the sim_ commands only, so that a test can
    // steer a machine whose rcon password it means to get wrong.
    QByteArray controlPassword = "sim";
    // Print the totals of queries received and replies sent on exit.
    bool countQueries = false;
};

// Reads the command line (arguments()[0] is the program) and the
// configuration file it names. On a usage error returns nothing and sets
// *error; on --help sets *helpText instead.
std::optional<ParkPlan> planFromCommandLine(const QStringList& arguments, QString* error, QString* helpText);
