#pragma once

#include "core/Geometry.h"

#include <QColor>
#include <QFont>
#include <QString>

class QPainter;

// The canvas font: Arial (or the nearest sans-serif face installed) with the
// given character cell height in pixels and normal weight.
QFont canvasFont(int cellHeight);

// One line of text inside box, cut with an ellipsis at its end when it is
// wider than the box; never wrapped. alignment picks the horizontal and
// vertical placement (e.g. Qt::AlignHCenter | Qt::AlignBottom). Drawn as
// QPainter::drawText draws it, from a layout kept between repaints.
void drawSingleLine(QPainter& painter, const Rect& box, const QString& text, Qt::Alignment alignment);

// Fills box (exclusive right/bottom edges) with colour, no outline.
void fillBox(QPainter& painter, const Rect& box, const QColor& color);

// Fills box with brush and frames it with a solid pen of penWidth pixels,
// the frame centred on the box edge.
void drawFramedBox(QPainter& painter, const Rect& box, const QColor& penColor, int penWidth,
                   const QColor& brush);

// The frame alone of drawFramedBox (no fill), the same pixels. On a painter
// that only moves by whole pixels it is filled as four bands: a zone taller
// than the screen costs a few rectangles rather than a stroked path.
void drawFrame(QPainter& painter, const Rect& box, const QColor& penColor, int penWidth);

// Black or white, whichever reads better on fill (by its luminance): text
// follows what it is drawn on, never the desktop theme.
QColor textColorOn(const QColor& fill);
