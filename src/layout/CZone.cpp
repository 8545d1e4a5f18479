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

void CZone::DrawOverFill(QPainter& painter, bool highlighted) const
{
    // The brush of a framed box covers the pixels its pen leaves inside the
    // area; an opaque fill of the whole area first, then the pen, gives the same.
    drawFrame(painter, m_rcArea, canvasColor(Qt::black), highlighted ? 4 : 1);
    DrawName(painter);
}

void CZone::DrawFramed(QPainter& painter, int penWidth) const
{
    const QColor fill = canvasColor(toQColor(m_crFill));
    drawFramedBox(painter, m_rcArea, canvasColor(Qt::black), penWidth, fill);
    DrawName(painter);
}

void CZone::DrawName(QPainter& painter) const
{
    const QColor fill = canvasColor(toQColor(m_crFill));
    painter.save();
    painter.setPen(textColorOn(fill));
    drawSingleLine(painter, m_rcArea, decodeText(m_strName), Qt::AlignHCenter | Qt::AlignTop);
    painter.restore();
}
