#pragma once

#include "layout/DownWatch.h"

#include <QString>

class CQuorvaneDoc;

// The words of one desktop alert for a burst of machines going down or
// coming back: a summary ("3 machines down") and one line per machine with
// its last host name. Plain text.
struct DownAlert
{
    QString summary;
    QString body;
};

DownAlert describeBurst(const DownWatch::Burst& burst, const CQuorvaneDoc& document);
