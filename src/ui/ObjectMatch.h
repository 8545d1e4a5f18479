#pragma once

#include <QString>

class CCommonObject;

// True when the needle occurs, ignoring case, in the object's host name,
// "address:port", map or one of its player names. An empty needle matches.
bool objectMatches(const CCommonObject& object, const QString& needle);
