#include "layout/CanvasPainter.h"

#include "core/CanvasTone.h"
#include "core/Painting.h"
#include "layout/CQuorvaneDoc.h"

#include <QPainter>
#include <vector>

namespace {

bool meets(const Rect& area, const QRect& exposed)
{
    return area.toQRect().intersects(exposed);
}

} // namespace

void PaintCanvas(QPainter& painter, CQuorvaneDoc& document, const QRect& exposed, const ObjectFilter& filter)
{
    painter.fillRect(exposed, canvasColor(Qt::white));
    // The canvas's ink follows its own tone, never the desktop's palette (a
    // painter on a widget starts with its text colour).
    painter.setPen(canvasColor(Qt::black));
    for (const auto& zone : document.m_zones) {
        if (!meets(zone->m_rcArea, exposed))
            continue;
        zone.get() == document.m_pSelectedZone ? zone->DrawHighlighted(painter) : zone->Draw(painter);
    }
    for (const auto& group : document.m_groups) {
        if (!meets(group->m_rcArea, exposed))
            continue;
        group.get() == document.m_pSelectedZone ? group->DrawHighlighted(painter) : group->Draw(painter);
    }
    // A line may cross the exposed part between two boxes outside it; it
    // goes around the boxes between its ends.
    std::vector<Rect> boxes;
    boxes.reserve(document.m_objects.size());
    for (const auto& object : document.m_objects)
        boxes.push_back(object->m_rcBox);
    CCommonObject::SetLinkObstacles(&boxes);
    for (const auto& object : document.m_objects)
        object->DrawLinks(painter);
    CCommonObject::SetLinkObstacles(nullptr);
    for (const auto& object : document.m_objects) {
        if (!meets(object->m_rcBox, exposed))
            continue;
        object.get() == document.m_pSelectedObject ? object->DrawHighlighted(painter) : object->Draw(painter);
        if (!filter)
            continue;
        if (filter(*object))
            drawFramedBox(painter, object->m_rcBox, QColor(255, 140, 0), 3, Qt::transparent);
        else
            fillBox(painter, object->m_rcBox, canvasColor(QColor(255, 255, 255, 170)));
    }
}
