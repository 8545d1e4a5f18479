#pragma once

#include "modules/DemoCollector.h"

#include <QJsonObject>

class CQuorvaneDoc;
struct CommandLine;

// What demo collection does this run: the command line's --demos options,
// else the window's settings (Demos/...), else the defaults (demos in the
// user's data folder, kept 30 days, not compressed, left on the proxy, not
// published).
DemoCollector::Settings chosenDemoSettings(const CommandLine& commandLine, bool window);
// The --demo-folder URLs given to the proxies they name; false with the
// reason of the first that cannot be used.
bool applyDemoFolders(const CommandLine& commandLine, CQuorvaneDoc& document, std::string& error);
// {"event":"demo", "proxy":..., "file":..., "state":...} for --json.
QJsonObject describeDemo(const DemoCollector::FileState& file);
