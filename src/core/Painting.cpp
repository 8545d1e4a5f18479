#include "core/Painting.h"

#include <QFontMetrics>
#include <QPainter>

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
    const QFontMetrics metrics(painter.font());
    const QString shown = metrics.elidedText(text, Qt::ElideRight, std::max(0, box.width()));
    painter.drawText(box.toQRect(), static_cast<int>(alignment) | Qt::TextSingleLine, shown);
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

QColor textColorOn(const QColor& fill)
{
    // Relative luminance with the sRGB weights, on 0..255.
    const double luminance = 0.2126 * fill.red() + 0.7152 * fill.green() + 0.0722 * fill.blue();
    return luminance >= 128 ? QColor(Qt::black) : QColor(Qt::white);
}
