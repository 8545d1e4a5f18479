#pragma once

#include "core/Geometry.h"
#include "objects/ObjectStatus.h"

class QPainter;
class QColor;

// Heights of the filled part of the vertical gauges beside an object's icon.
// Each is clamped to 0..height so that a nonsense count from a machine can
// never paint outside the gauge.
int playerGaugeFill(int height, int players);                  // full from 14 players
int ratioGaugeFill(int height, int value, int maximum);        // 0 when maximum is 0
int rateGaugeFill(int height, float rate);                     // logarithmic, full at 1500

// Draws a 7-pixel gauge at x..x+7 over the rows of icon: grey, then its
// lower `fill` pixels in color.
void drawGauge(QPainter& painter, const Rect& icon, int x, int fill, const QColor& color);

// The status mark (16x16 picture) for a status: 142 unknown/timeout,
// 144 monitoring, 143 control, 145 full control.
int statusMarkBitmap(CSStatus status);
