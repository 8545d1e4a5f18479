#include "core/LinkRoute.h"

#include <algorithm>
#include <cmath>

namespace {

// How far from a box a bent line runs: half the gap between two boxes.
constexpr int kClearance = 5;

double pathLength(const std::vector<QPoint>& path)
{
    double length = 0;
    for (std::size_t i = 1; i < path.size(); ++i)
        length += std::hypot(path[i].x() - path[i - 1].x(), path[i].y() - path[i - 1].y());
    return length;
}

// The boxes the path meets, counted up to limit (a path that meets more is
// of no use, however many more it meets).
int crossings(const std::vector<QPoint>& path, const std::vector<const Rect*>& near, int limit)
{
    int count = 0;
    for (const Rect* box : near) {
        if (count > limit)
            break;
        for (std::size_t i = 1; i < path.size(); ++i) {
            if (segmentMeets(path[i - 1], path[i], *box)) {
                ++count;
                break;
            }
        }
    }
    return count;
}

} // namespace

bool segmentMeets(QPoint a, QPoint b, const Rect& box)
{
    // Liang-Barsky: clip the segment's parameter range to the box's slabs.
    double enter = 0.0;
    double leave = 1.0;
    const double dx = b.x() - a.x();
    const double dy = b.y() - a.y();
    const auto clip = [&](double p, double q) {
        if (p == 0.0)
            return q >= 0.0;
        const double t = q / p;
        if (p < 0.0)
            enter = std::max(enter, t);
        else
            leave = std::min(leave, t);
        return enter <= leave;
    };
    return clip(-dx, a.x() - box.left) && clip(dx, box.right - 1 - a.x()) && clip(-dy, a.y() - box.top) &&
           clip(dy, box.bottom - 1 - a.y());
}

std::vector<QPoint> routeLink(QPoint from, const Rect& fromBox, QPoint to, const Rect& toBox,
                              const std::vector<Rect>& obstacles)
{
    // Only boxes near the two ends can be in the way of any path tried.
    const int margin = 2 * kClearance;
    const Rect reach{std::min(fromBox.left, toBox.left) - margin, std::min(fromBox.top, toBox.top) - margin,
                     std::max(fromBox.right, toBox.right) + margin,
                     std::max(fromBox.bottom, toBox.bottom) + margin};
    std::vector<const Rect*> near;
    for (const Rect& box : obstacles) {
        if (box == fromBox || box == toBox || box.right <= reach.left || box.left >= reach.right ||
            box.bottom <= reach.top || box.top >= reach.bottom)
            continue;
        near.push_back(&box);
    }
    std::vector<QPoint> straight{from, to};
    const int straightCrossings = crossings(straight, near, static_cast<int>(near.size()));
    if (straightCrossings == 0)
        return straight;

    std::vector<std::vector<QPoint>> paths;
    const int columns[] = {fromBox.right + kClearance, fromBox.left - kClearance, toBox.right + kClearance,
                           toBox.left - kClearance};
    const int rows[] = {fromBox.top - kClearance, fromBox.bottom + kClearance, toBox.top - kClearance,
                        toBox.bottom + kClearance};
    // Along a column of boxes, out to its side and back in.
    for (int x : columns)
        paths.push_back({from, {x, from.y()}, {x, to.y()}, to});
    // Above or below a row of boxes.
    for (int y : rows)
        paths.push_back({from, {from.x(), y}, {to.x(), y}, to});
    // Out of the source's column, then along a row beside the target (and
    // the other way round).
    for (int x : {columns[0], columns[1]}) {
        for (int y : {rows[2], rows[3]})
            paths.push_back({from, {x, from.y()}, {x, y}, {to.x(), y}, to});
    }
    for (int y : {rows[0], rows[1]}) {
        for (int x : {columns[2], columns[3]})
            paths.push_back({from, {from.x(), y}, {x, y}, {x, to.y()}, to});
    }

    std::vector<QPoint> best = straight;
    int bestCrossings = straightCrossings;
    double bestLength = pathLength(straight);
    for (auto& path : paths) {
        const int crossed = crossings(path, near, bestCrossings);
        const double length = pathLength(path);
        if (crossed < bestCrossings || (crossed == bestCrossings && length < bestLength)) {
            best = std::move(path);
            bestCrossings = crossed;
            bestLength = length;
        }
    }
    return best;
}
