#pragma once

#include "layout/CanvasDamage.h"

#include <QAbstractScrollArea>
#include <QPoint>
#include <QSize>
#include <QTimer>
#include <vector>

class CCommonObject;
class CQuorvaneDoc;
class QMenu;

// The canvas: every zone, group and object of the document on a scrolling
// area. A click picks, a right click opens the picked item's menu, and a
// controlled proxy or hub manager can be dragged onto another object to
// connect it there. The view also runs the program's two clocks: the
// one-second tick and the 30-second status page.
class CQuorvaneView : public QAbstractScrollArea
{
    Q_OBJECT

public:
    explicit CQuorvaneView(CQuorvaneDoc& document, QWidget* parent = nullptr);

    // Recomputes the layout and repaints; called on every document update.
    void OnUpdate(int hint);
    // Picks the object, else the group, else the zone at a canvas point;
    // a click on empty canvas clears both picks.
    void SelectAt(QPoint point);

    QSize layoutSize() const { return m_sizeLayout; }
    // The canvas point under a viewport position, and back.
    QPoint toCanvas(QPoint viewportPosition) const;
    QPoint toViewport(QPoint canvasPoint) const;

    // The context menu for the present pick; null when nothing is picked.
    // Each action carries its command id in data().
    QMenu* ContextMenu(QWidget* parent) const;

    bool isDragging() const { return m_nDragMode == 1; }
    CCommonObject* dropTarget() const { return m_pDropTarget; }

    // Renders the whole canvas, as painted, into an image; always at 100 %.
    void RenderCanvas(class QPainter& painter, const class QRect& area);
    void RenderCanvas(class QPainter& painter, const class QRegion& area);

    // Searching: boxes whose host name, address, map or a player name hold
    // the text are framed, the others faded. An empty text ends the search.
    void setFindText(const QString& text);
    QString findText() const { return m_findText; }
    // Only the machines that are down stand out (with the search, those
    // among its matches).
    void setShowOnlyDown(bool only);
    bool showsOnlyDown() const { return m_onlyDown; }
    bool isFiltering() const { return !m_findText.isEmpty() || m_onlyDown; }
    // The objects the search or the down filter accepts, in list order.
    std::vector<CCommonObject*> matches() const;
    // Picks the next match after the picked object (wrapping) and scrolls
    // to it; null when nothing matches.
    CCommonObject* JumpToNextMatch();
    // Scrolls so that the box is in sight.
    void EnsureVisible(const CCommonObject& object);

    // The canvas scale on screen: 0.5 to 2.0; printing and rendering keep 1.
    static constexpr double kMinZoom = 0.5;
    static constexpr double kMaxZoom = 2.0;
    double zoom() const { return m_zoom; }
    void setZoom(double zoom);
    void ZoomIn();
    void ZoomOut();

    // Actual size (100 %), with the title of the zone in sight brought into
    // view (the top-left zone when none is).
    void ResetZoom();

    // The dark look: on when asked for (View, Dark Canvas) or when the
    // canvas's own palette is dark. Printing and rendering stay light.
    void setDarkCanvasForced(bool forced);
    bool isDarkCanvas() const;

    // View, Arrange Groups in Columns: a zone's groups side by side,
    // wrapping at the width of the view; off, the classic arrangement.
    void setGroupsSideBySide(bool sideBySide);
    bool groupsSideBySide() const { return m_groupsSideBySide; }

    // Moves the pick to the nearest object in the direction of an arrow key
    // (Qt::Key_Left, ...); the first object when nothing is picked.
    void MovePick(int arrowKey);

    // Ctrl+click: the object joins the picked machines, or leaves them.
    void TogglePick(CCommonObject& object);
    // A rubber band over the canvas: every machine whose box it touches
    // joins the picked machines.
    void PickInside(const QRect& canvasArea);

signals:
    void zoomChanged(double zoom);

protected:
    void changeEvent(QEvent* event) override;
    bool viewportEvent(QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void BeginDrag(CCommonObject* object);
    void DragTo(QPoint point);
    void EndDrag();
    void AutoScroll(QPoint point);
    void UpdateScrollBars();
    ObjectFilter CurrentFilter() const;
    // The part of the canvas the viewport shows.
    QRect VisibleCanvas() const;

    CQuorvaneDoc& m_document;
    QSize m_sizeLayout;
    bool m_bRedrawPending = false;
    CCommonObject* m_pDropTarget = nullptr;
    QPoint m_ptDragLast;
    CCommonObject* m_pDragObject = nullptr;
    int m_nDragMode = 0;
    QTimer m_tickTimer;
    int m_nTickSlice = 0;
    QTimer m_autoWebTimer;
    QString m_findText;
    bool m_onlyDown = false;
    double m_zoom = 1.0;
    bool m_darkForced = false;
    bool m_groupsSideBySide = false;
    // What of the canvas changed since it was painted: a tick repaints
    // only that. The extra picks' frames are the view's own.
    CanvasDamage m_damage;
    std::vector<const CCommonObject*> m_paintedPicks;
    // A group pressed on: dragged to another place or zone when released
    // away from where it was pressed.
    class CGroup* m_pDragGroup = nullptr;
    // Ctrl+drag from an empty spot: the rubber band picking many.
    class QRubberBand* m_pRubberBand = nullptr;
    QPoint m_ptBandOrigin;
    QPoint m_ptGroupPress;
};
