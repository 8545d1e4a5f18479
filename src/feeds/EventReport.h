#pragma once

#include "feeds/LogEvent.h"

#include <QJsonObject>
#include <string>

// One log event for scripts, as headless --json prints it:
//   {"event":"say","object":"ADDR:PORT","time":"...","player":"...",
//    "steamid":"...","team":"...","text":"..."}
// and "kill" (killer, victim, weapon and their ids and teams), "connect"
// ("stage": "connected" or "entered"), "disconnect", "team" ("newteam"),
// "round" ("trigger") and "map" ("map"). Wire texts are decoded for display.
QJsonObject describeEvent(const std::string& objectName, const LogEvent& event);

// The same event as one line of plain text, escaped for a terminal.
QString eventLine(const std::string& objectName, const LogEvent& event);
