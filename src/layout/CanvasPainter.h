#pragma once

#include <QRect>
#include <functional>

class CCommonObject;
class CQuorvaneDoc;
class QPainter;

// Paints the canvas as the layout view shows it: white, then the zones, the
// groups, every link line (under all boxes), then the object boxes; the
// picked zone or group and the picked object highlighted. Only what meets
// exposed is drawn, so a large park repaints only the visible part.
//
// With a filter, the boxes it accepts are framed in orange and the others
// faded, so that the matches of a search stand out.
using ObjectFilter = std::function<bool(const CCommonObject&)>;
void PaintCanvas(QPainter& painter, CQuorvaneDoc& document, const QRect& exposed,
                 const ObjectFilter& filter = {});
