#include "layout/CanvasDamage.h"

#include "core/CanvasTone.h"
#include "core/ColorRef.h"
#include "layout/CQuorvaneDoc.h"

#include <QPainter>

namespace {

// Room for any canvas: the fingerprint only hashes what is drawn on it.
const QSize kFingerprintSize(1 << 20, 1 << 20);

bool meets(const Rect& box, const QRect& within)
{
    return box.toQRect().adjusted(-3, -3, 3, 3).intersects(within);
}

bool inside(const QRect& rect, const QRegion& region)
{
    return rect.isEmpty() || QRegion(rect).subtracted(region).isEmpty();
}

} // namespace

template <class Visit>
void CanvasDamage::EachPiece(const CQuorvaneDoc& document, const QRect& within, const ObjectFilter& filter,
                             Visit&& visit) const
{
    PaintFingerprint fingerprint(kFingerprintSize);
    QPainter painter(&fingerprint);
    // As the canvas starts its areas (see PaintCanvas).
    painter.setPen(canvasColor(Qt::black));
    fingerprint.take();
    std::size_t piece = 0;
    const auto area = [&](const CZone& zone) {
        if (meets(zone.m_rcArea, within)) {
            painter.fillRect(zone.m_rcArea.toQRect(), canvasColor(toQColor(zone.m_crFill)));
            DrawAreaOverFill(painter, document, zone);
            visit(piece, fingerprint.take());
        }
        ++piece;
    };
    for (const auto& zone : document.m_zones)
        area(*zone);
    for (const auto& group : document.m_groups)
        area(*group);
    const std::size_t firstObject = piece;
    const std::vector<Rect> boxes = LinkObstacles(document);
    CCommonObject::SetLinkObstacles(&boxes);
    for (const auto& object : document.m_objects) {
        object->DrawLinks(painter);
        visit(piece, fingerprint.take());
        piece += 2;
    }
    CCommonObject::SetLinkObstacles(nullptr);
    piece = firstObject + 1;
    for (const auto& object : document.m_objects) {
        if (meets(object->m_rcBox, within)) {
            DrawObjectBox(painter, document, *object, filter);
            visit(piece, fingerprint.take());
        }
        piece += 2;
    }
}

void CanvasDamage::Resync(const CQuorvaneDoc& document)
{
    std::vector<Rect> layout;
    std::vector<const void*> owners;
    const std::size_t count = document.m_zones.size() + document.m_groups.size() + document.m_objects.size();
    layout.reserve(count);
    owners.reserve(count);
    for (const auto& zone : document.m_zones) {
        layout.push_back(zone->m_rcArea);
        owners.push_back(zone.get());
    }
    for (const auto& group : document.m_groups) {
        layout.push_back(group->m_rcArea);
        owners.push_back(group.get());
    }
    for (const auto& object : document.m_objects) {
        layout.push_back(object->m_rcBox);
        owners.push_back(object.get());
    }
    if (layout == m_layout && owners == m_owners)
        return;
    m_layout = std::move(layout);
    m_owners = std::move(owners);
    m_shown.assign(document.m_zones.size() + document.m_groups.size() + 2 * document.m_objects.size(),
                   Shown{});
    m_everything = true;
}

QRegion CanvasDamage::Changed(const CQuorvaneDoc& document, const QRect& visible, const ObjectFilter& filter)
{
    Resync(document);
    if (m_everything) {
        m_everything = false;
        return QRegion(visible);
    }
    QRegion changed;
    EachPiece(document, visible, filter, [&](std::size_t piece, const PaintFingerprint::Mark& mark) {
        const Shown& shown = m_shown[piece];
        if (shown.known && shown.mark == mark)
            return;
        const QRect before = shown.known ? shown.mark.bounds : shown.stale;
        const QRect parts = before.united(mark.bounds).intersected(visible);
        if (!parts.isEmpty())
            changed += parts;
    });
    return changed;
}

void CanvasDamage::Painted(const CQuorvaneDoc& document, const QRegion& exposed, const QRect& visible,
                           const ObjectFilter& filter)
{
    Resync(document);
    // Only the visible part is on the screen: a group taller than the window
    // is shown as it draws once what the window shows of it is painted.
    const auto painted = [&](const QRect& bounds) { return inside(bounds.intersected(visible), exposed); };
    // All of it painted (give or take the pixel a zoom rounds at the edges).
    if (painted(visible.adjusted(2, 2, -2, -2)))
        m_everything = false;
    EachPiece(document, exposed.boundingRect(), filter,
              [&](std::size_t piece, const PaintFingerprint::Mark& mark) {
                  Shown& shown = m_shown[piece];
                  const QRect before = shown.known ? shown.mark.bounds : shown.stale;
                  const bool unchanged = shown.known && shown.mark == mark;
                  if (painted(mark.bounds) && (unchanged || painted(before))) {
                      shown = Shown{mark, true, QRect()};
                  } else if (!unchanged && (exposed.intersects(mark.bounds) || exposed.intersects(before))) {
                      // Painted in part: what is left of its old look is out of date.
                      shown = Shown{{}, false, before.united(mark.bounds)};
                  }
              });
}
