#pragma once

#include <QPoint>

class CGroup;
class CQuorvaneDoc;

// Dragging a group on the canvas. Dropped on another group, it takes that
// group's zone and level and stands just before it; dropped elsewhere in a
// zone, it moves to that zone, keeping its level, after the other groups.
// The move is one step of Edit, Undo. False when the drop moves nothing
// (outside every zone, or back where it was).
bool dropGroup(CQuorvaneDoc& document, CGroup& group, QPoint point);
