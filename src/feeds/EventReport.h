#pragma once

#include "feeds/LogEvent.h"

#include <QJsonObject>
#include <string>

// One log event for scripts, as headless --json prints it:
//   {"event":"say","object":"ADDR:PORT","time":"...","player":"...",
//    "steamid":"...","team":"...","text":"..."}
// and "kill" (killer, victim, weapon and their ids and teams), "connect"
// ("stage": "connected" or "entered"), "disconnect", "team" ("newteam"),
// "round" ("trigger", and "team" and "score" {"CT":3,"T":0} when the line
// carries them) and "map" ("map"). Wire texts are decoded for display.
QJsonObject describeEvent(const std::string& objectName, const LogEvent& event);

// The same event as one line of plain text, escaped for a terminal.
QString eventLine(const std::string& objectName, const LogEvent& event);

// The event as a row of a list: the time of day, then who did what
// ("14:22:01  Bob: hello", "14:22:05  Bob killed Ann with ak47"). Plain
// text for a plain-text widget; control characters become U+FFFD so that a
// name cannot break the row.
QString eventText(const LogEvent& event);
