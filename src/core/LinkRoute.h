#pragma once

#include "core/Geometry.h"

#include <QPoint>
#include <vector>

// The path of a link line between two boxes on the canvas: straight when no
// other box stands in the way, else bent around the boxes in between,
// through the gaps beside the two end boxes (the group's edge beside a
// column, the gap above or below a box). Of the paths that cross no other
// box the shortest is taken; when every path crosses one, the one that
// crosses the fewest.
//
// from and to lie in fromBox and toBox; obstacles are every box on the
// canvas (the two end boxes among them are not obstacles).
std::vector<QPoint> routeLink(QPoint from, const Rect& fromBox, QPoint to, const Rect& toBox,
                              const std::vector<Rect>& obstacles);

// True when the segment from a to b meets the box (edges included).
bool segmentMeets(QPoint a, QPoint b, const Rect& box);
