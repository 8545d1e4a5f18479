#pragma once

#include "objects/ObjectStatus.h"

#include <QJsonObject>

class CCommonObject;

// The status words the control panel shows: "Timeout", "Monitor only", ...
const char* statusText(CSStatus status);

// An object's state for scripts: name, kind, status, host name, map,
// players and, by kind, the match (servers) or slots, clients, upstream,
// link, recording and rate (proxies). Wire texts are decoded for display.
QJsonObject describeObject(const CCommonObject& object);

// "server", "proxy" or "hub".
const char* objectKind(const CCommonObject& object);
