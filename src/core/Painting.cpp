#include "core/Painting.h"

#include "core/LineCache.h"

#include <QFontMetrics>
#include <QPainter>
#include <cmath>

namespace {

// Every line of a large park's visible boxes, with room for a zoom step.
constexpr int kCachedLines = 8192;

} // namespace

QFont canvasFont(int cellHeight)
{
    QFont font(QStringLiteral("Arial"));
    font.setStyleHint(QFont::SansSerif);
    // A cell height includes the internal leading; the em size is about
    // 85 % of it for Arial.
    font.setPixelSize(std::max(1, cellHeight * 85 / 100));
    font.setWeight(QFont::Normal);
    font.setItalic(false);
    font.setUnderline(false);
    return font;
}

void drawSingleLine(QPainter& painter, const Rect& box, const QString& text, Qt::Alignment alignment)
{
    // One cache per painting thread (a test may render an image on another).
    thread_local LineCache lines(kCachedLines);
    const LineCache::Line& line = lines.get(painter.font(), text, box.width());
    const QRectF area = box.toQRect();
    // Placed as QPainter::drawText places one line in a rectangle.
    qreal x = 0;
    qreal y = 0;
    if (alignment & Qt::AlignRight)
        x = area.width() - line.advance;
    else if (alignment & Qt::AlignHCenter)
        x = (area.width() - line.advance) / 2;
    if (alignment & Qt::AlignBottom)
        y = area.height() - line.height;
    else if (alignment & Qt::AlignVCenter)
        y = (area.height() - line.height) / 2;
    const bool overflows = x < 0 || y < 0;
    if (overflows) {
        painter.save();
        painter.setClipRect(area, Qt::IntersectClip);
    }
    if (line.layout->lineCount() > 0)
        line.layout->draw(&painter, QPointF(area.x() + x, area.y() + y));
    if (overflows)
        painter.restore();
}

void fillBox(QPainter& painter, const Rect& box, const QColor& color)
{
    painter.fillRect(box.toQRect(), color);
}

void drawFramedBox(QPainter& painter, const Rect& box, const QColor& penColor, int penWidth,
                   const QColor& brush)
{
    painter.save();
    painter.setBrush(brush);
    painter.setPen(QPen(penColor, penWidth, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    // The outline runs through the middle of the edge pixels, as the
    // classic rectangle call draws it.
    painter.drawRect(QRectF(box.left + 0.5, box.top + 0.5, box.width() - 1, box.height() - 1));
    painter.restore();
}

void drawFrame(QPainter& painter, const Rect& box, const QColor& penColor, int penWidth)
{
    const QTransform device = painter.deviceTransform();
    const bool wholePixels = device.type() <= QTransform::TxTranslate && device.dx() == std::floor(device.dx()) &&
                             device.dy() == std::floor(device.dy());
    if (!wholePixels || penWidth < 1 || box.width() < 1 || box.height() < 1) {
        drawFramedBox(painter, box, penColor, penWidth, Qt::transparent);
        return;
    }
    // A pen of width w centred on the middle of an edge pixel covers the
    // pixels from (w - 1) / 2 before it to w / 2 after it.
    const int before = (penWidth - 1) / 2;
    const int left = box.left - before;
    const int right = box.right - 1 - before; // first column of the right band
    const int top = box.top - before;
    const int bottom = box.bottom - 1 - before;
    const int across = right + penWidth - left;
    const int down = bottom + penWidth - top;
    painter.fillRect(QRect(left, top, across, penWidth), penColor);
    painter.fillRect(QRect(left, bottom, across, penWidth), penColor);
    painter.fillRect(QRect(left, top, penWidth, down), penColor);
    painter.fillRect(QRect(right, top, penWidth, down), penColor);
}

QColor textColorOn(const QColor& fill)
{
    // Relative luminance with the sRGB weights, on 0..255.
    const double luminance = 0.2126 * fill.red() + 0.7152 * fill.green() + 0.0722 * fill.blue();
    return luminance >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}
