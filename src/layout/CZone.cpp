#include "layout/CZone.h"

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
    drawFramedBox(painter, m_rcArea, Qt::black, penWidth, toQColor(m_crFill));
    painter.save();
    painter.setPen(textColorOn(toQColor(m_crFill)));
    drawSingleLine(painter, m_rcArea, decodeText(m_strName), Qt::AlignHCenter | Qt::AlignTop);
    painter.restore();
}
