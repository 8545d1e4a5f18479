#pragma once

#include "core/Geometry.h"

#include <QRect>
#include <functional>
#include <vector>

class CCommonObject;
class CQuorvaneDoc;
class CZone;
class QPainter;
class QRegion;

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
// The same for the parts of the canvas in exposed, as a window repaints
// what changed; the painter's clip keeps the pixels beyond them.
void PaintCanvas(QPainter& painter, CQuorvaneDoc& document, const QRegion& exposed,
                 const ObjectFilter& filter = {});

// The pieces the canvas is painted from, each drawn whole: an area's frame
// and name over its fill, an object's links, an object's box with its
// highlight and filter marks. The links of an object are drawn with the
// obstacles of every box set (see CCommonObject::SetLinkObstacles).
void DrawAreaOverFill(QPainter& painter, const CQuorvaneDoc& document, const CZone& area);
void DrawObjectBox(QPainter& painter, const CQuorvaneDoc& document, CCommonObject& object,
                   const ObjectFilter& filter);
// Every box of the document, as the links route around them.
std::vector<Rect> LinkObstacles(const CQuorvaneDoc& document);
