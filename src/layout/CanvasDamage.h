#pragma once

#include "core/Geometry.h"
#include "core/PaintFingerprint.h"
#include "layout/CanvasPainter.h"

#include <QRegion>
#include <vector>

class CCommonObject;
class CQuorvaneDoc;
class CZone;

// What of the canvas differs from what the window shows: each piece of the
// canvas (an area, an object's box, an object's links) is drawn on a
// fingerprint when the window paints it and again when the document
// changes; the pieces whose marks differ are the parts to repaint. A park
// whose players come and go then repaints the boxes that changed, not the
// screen. Whatever the canvas draws is in the marks, so no change of look
// can go unpainted; a layout that moved repaints everything.
class CanvasDamage
{
public:
    // The parts of visible (canvas coordinates) whose pieces now draw
    // differently from what was painted there, or have not been painted.
    QRegion Changed(const CQuorvaneDoc& document, const QRect& visible, const ObjectFilter& filter);
    // After painting exposed, with visible on the screen: the pieces whose
    // visible part lies inside it are now shown as they draw; a piece only
    // partly repainted is painted again next time.
    void Painted(const CQuorvaneDoc& document, const QRegion& exposed, const QRect& visible,
                 const ObjectFilter& filter);

private:
    struct Shown
    {
        PaintFingerprint::Mark mark; // what the screen shows, when known
        bool known = false;
        QRect stale; // when not known: where the screen may show it out of date
    };

    // Calls visit(piece, mark) for each piece that may meet within, in the
    // order the canvas paints them; piece indexes m_shown.
    template <class Visit>
    void EachPiece(const CQuorvaneDoc& document, const QRect& within, const ObjectFilter& filter,
                   Visit&& visit) const;
    // Forgets what is shown when the areas, objects or boxes differ from
    // those last seen: the whole screen is out of date.
    void Resync(const CQuorvaneDoc& document);

    std::vector<Rect> m_layout;        // every area and box, in order
    std::vector<const void*> m_owners; // every area and object, in order
    std::vector<Shown> m_shown;        // per area, then per object its links and its box
    bool m_everything = true;          // the next Changed is the whole visible part
};
