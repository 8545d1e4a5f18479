#include "layout/CZone.h"

#include "core/CanvasTone.h"
#include "core/Painting.h"
#include "core/TextCodec.h"

#include <QPainter>

void CZone::Draw(QPainter& painter) const
{
    DrawFramed(painter, 1);
}

void CZone::DrawHighlighted(QPainter& painter) const
{
    DrawFramed(painter, 4);
}

void CZone::DrawFramed(QPainter& painter, int penWidth) const
{
    const QColor fill = canvasColor(toQColor(m_crFill));
    drawFramedBox(painter, m_rcArea, canvasColor(Qt::black), penWidth, fill);
    painter.save();
    painter.setPen(textColorOn(fill));
    drawSingleLine(painter, m_rcArea, decodeText(m_strName), Qt::AlignHCenter | Qt::AlignTop);
    painter.restore();
}
