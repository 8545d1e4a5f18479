#pragma once

#include <QRect>

class CQuorvaneDoc;
class QPainter;

// Paints the canvas as the layout view shows it: white, then the zones, the
// groups, every link line (under all boxes), then the object boxes; the
// picked zone or group and the picked object highlighted. Only what meets
// exposed is drawn, so a large park repaints only the visible part.
void PaintCanvas(QPainter& painter, CQuorvaneDoc& document, const QRect& exposed);
