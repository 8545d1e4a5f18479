#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>

// A canvas rectangle with an exclusive right and bottom edge, as all the
// layout arithmetic is written (width = right - left). QRect keeps inclusive
// edges, so conversion goes through toQRect().
struct Rect
{
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int width() const { return right - left; }
    int height() const { return bottom - top; }
    QPoint center() const { return {(left + right) / 2, (top + bottom) / 2}; }
    bool contains(QPoint p) const { return p.x() >= left && p.x() < right && p.y() >= top && p.y() < bottom; }
    QRect toQRect() const { return {left, top, width(), height()}; }

    friend bool operator==(const Rect&, const Rect&) = default;
};
