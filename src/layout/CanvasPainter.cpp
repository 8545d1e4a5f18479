#include "layout/CanvasPainter.h"

#include "core/CanvasTone.h"
#include "core/ColorRef.h"
#include "core/Painting.h"
#include "layout/CQuorvaneDoc.h"

#include <QPainter>
#include <QRegion>
#include <vector>

namespace {

// A box's marks may reach a pixel or two beyond it (a 3-pixel frame).
bool meets(const Rect& area, const QRegion& exposed)
{
    return exposed.intersects(area.toQRect().adjusted(-3, -3, 3, 3));
}

} // namespace

void PaintCanvas(QPainter& painter, CQuorvaneDoc& document, const QRect& exposed, const ObjectFilter& filter)
{
    PaintCanvas(painter, document, QRegion(exposed), filter);
}

void PaintCanvas(QPainter& painter, CQuorvaneDoc& document, const QRegion& exposed, const ObjectFilter& filter)
{
    // Zones, then groups, each filled opaquely over what came before. Each
    // fills only what no later one covers (the background's white too):
    // filling a screen's pixels three times over was the larger part of a
    // repaint. The frames and names are drawn whole, in the same order, so
    // that the pixels are those of painting every area in full.
    std::vector<const CZone*> areas;
    for (const auto& zone : document.m_zones)
        if (meets(zone->m_rcArea, exposed))
            areas.push_back(zone.get());
    for (const auto& group : document.m_groups)
        if (meets(group->m_rcArea, exposed))
            areas.push_back(group.get());
    std::vector<QRegion> uncovered(areas.size());
    QRegion coveredLater;
    for (std::size_t i = areas.size(); i-- > 0;) {
        const QRegion area = exposed.intersected(areas[i]->m_rcArea.toQRect());
        uncovered[i] = area.subtracted(coveredLater);
        coveredLater += area;
    }
    for (const QRect& part : exposed.subtracted(coveredLater))
        painter.fillRect(part, canvasColor(Qt::white));
    // The canvas's ink follows its own tone, never the desktop's palette (a
    // painter on a widget starts with its text colour).
    painter.setPen(canvasColor(Qt::black));
    for (std::size_t i = 0; i < areas.size(); ++i) {
        const QColor fill = canvasColor(toQColor(areas[i]->m_crFill));
        for (const QRect& part : uncovered[i])
            painter.fillRect(part, fill);
        DrawAreaOverFill(painter, document, *areas[i]);
    }
    // A line may cross the exposed part between two boxes outside it; it
    // goes around the boxes between its ends.
    const std::vector<Rect> boxes = LinkObstacles(document);
    CCommonObject::SetLinkObstacles(&boxes);
    for (const auto& object : document.m_objects)
        object->DrawLinks(painter);
    CCommonObject::SetLinkObstacles(nullptr);
    for (const auto& object : document.m_objects)
        if (meets(object->m_rcBox, exposed))
            DrawObjectBox(painter, document, *object, filter);
}

void DrawAreaOverFill(QPainter& painter, const CQuorvaneDoc& document, const CZone& area)
{
    area.DrawOverFill(painter, &area == document.m_pSelectedZone);
}

void DrawObjectBox(QPainter& painter, const CQuorvaneDoc& document, CCommonObject& object,
                   const ObjectFilter& filter)
{
    &object == document.m_pSelectedObject ? object.DrawHighlighted(painter) : object.Draw(painter);
    if (!filter)
        return;
    if (filter(object))
        drawFramedBox(painter, object.m_rcBox, QColor(255, 140, 0), 3, Qt::transparent);
    else
        fillBox(painter, object.m_rcBox, canvasColor(QColor(255, 255, 255, 170)));
}

std::vector<Rect> LinkObstacles(const CQuorvaneDoc& document)
{
    std::vector<Rect> boxes;
    boxes.reserve(document.m_objects.size());
    for (const auto& object : document.m_objects)
        boxes.push_back(object->m_rcBox);
    return boxes;
}
