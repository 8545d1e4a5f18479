#pragma once

#include <QAbstractScrollArea>
#include <QPoint>
#include <QSize>
#include <QTimer>

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

    // Renders the whole canvas, as painted, into an image.
    void RenderCanvas(class QPainter& painter, const class QRect& area);

protected:
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
};
