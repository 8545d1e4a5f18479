#include "ui/CQuorvaneView.h"

#include "layout/CQuorvaneDoc.h"
#include "layout/CanvasLayout.h"
#include "layout/CanvasPainter.h"
#include "layout/CommandIds.h"
#include "objects/CHLTV.h"

#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

namespace {

constexpr int kTickMs = 1000;
// The second's polls go out in this many slices, evenly over the second.
constexpr int kTickSlices = 10;
constexpr int kAutoWebMs = 30000;
constexpr int kAutoScrollStep = 70;

struct MenuItem
{
    int id;
    const char* text;
    bool separatorBefore;
};

void addItems(QMenu& menu, std::initializer_list<MenuItem> items)
{
    for (const MenuItem& item : items) {
        if (item.separatorBefore)
            menu.addSeparator();
        menu.addAction(QString::fromLatin1(item.text))->setData(item.id);
    }
}

} // namespace

CQuorvaneView::CQuorvaneView(CQuorvaneDoc& document, QWidget* parent)
    : QAbstractScrollArea(parent), m_document(document)
{
    viewport()->setMouseTracking(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    connect(&m_document, &CQuorvaneDoc::viewsUpdated, this, &CQuorvaneView::OnUpdate);
    connect(&m_tickTimer, &QTimer::timeout, this, [this] {
        m_document.TickSlice(m_nTickSlice, kTickSlices);
        m_nTickSlice = (m_nTickSlice + 1) % kTickSlices;
    });
    connect(&m_autoWebTimer, &QTimer::timeout, &m_document, &CQuorvaneDoc::TickAutoWeb);
    m_tickTimer.start(kTickMs / kTickSlices);
    m_autoWebTimer.start(kAutoWebMs);
    OnUpdate(CQuorvaneDoc::HintLayout);
}

void CQuorvaneView::OnUpdate(int)
{
    m_sizeLayout = RecalcLayout(m_document);
    UpdateScrollBars();
    if (isDragging())
        m_bRedrawPending = true;
    else
        viewport()->update();
}

void CQuorvaneView::UpdateScrollBars()
{
    const QSize visible = viewport()->size();
    horizontalScrollBar()->setRange(0, std::max(0, m_sizeLayout.width() - visible.width()));
    verticalScrollBar()->setRange(0, std::max(0, m_sizeLayout.height() - visible.height()));
    horizontalScrollBar()->setPageStep(visible.width());
    verticalScrollBar()->setPageStep(visible.height());
    horizontalScrollBar()->setSingleStep(std::max(1, visible.width() / 10));
    verticalScrollBar()->setSingleStep(std::max(1, visible.height() / 10));
}

QPoint CQuorvaneView::toCanvas(QPoint viewportPosition) const
{
    return viewportPosition + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

QPoint CQuorvaneView::toViewport(QPoint canvasPoint) const
{
    return canvasPoint - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

void CQuorvaneView::RenderCanvas(QPainter& painter, const QRect& area)
{
    PaintCanvas(painter, m_document, area);
    if (!isDragging())
        return;
    // The drag's own marks: the object and its target highlighted, the
    // rubber band from the object's icon to the pointer.
    m_pDragObject->DrawHighlighted(painter);
    if (m_pDropTarget)
        m_pDropTarget->DrawHighlighted(painter);
    painter.save();
    painter.setPen(QPen(QColor(100, 100, 100), 4));
    painter.drawLine(m_pDragObject->m_rcIcon.center(), m_ptDragLast);
    painter.restore();
}

void CQuorvaneView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    painter.translate(-offset);
    const QRect exposed = event->rect().translated(offset);
    // Outside the canvas the window stays white too.
    painter.fillRect(exposed, Qt::white);
    RenderCanvas(painter, exposed.intersected(QRect(QPoint(0, 0), m_sizeLayout)));
}

void CQuorvaneView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollBars();
}

void CQuorvaneView::SelectAt(QPoint point)
{
    m_document.SetSelection(nullptr, nullptr);
    for (const auto& object : m_document.m_objects) {
        if (object->m_rcBox.contains(point)) {
            m_document.m_pSelectedObject = object.get();
            object->OnClick(point);
            break;
        }
    }
    if (!m_document.m_pSelectedObject) {
        for (const auto& group : m_document.m_groups) {
            if (group->m_rcArea.contains(point)) {
                m_document.m_pSelectedZone = group.get();
                break;
            }
        }
    }
    if (!m_document.m_pSelectedObject && !m_document.m_pSelectedZone) {
        for (const auto& zone : m_document.m_zones) {
            if (zone->m_rcArea.contains(point)) {
                m_document.m_pSelectedZone = zone.get();
                break;
            }
        }
    }
    m_document.UpdateAllViews(CQuorvaneDoc::HintTick);
}

QMenu* CQuorvaneView::ContextMenu(QWidget* parent) const
{
    auto* menu = new QMenu(parent);
    if (m_document.m_pSelectedZone) {
        addItems(*menu, {{ID_ZONE_DELETE, "D&elete", false},
                         {ID_ZONE_INCREASELAYER, "&Increase Layer", true},
                         {ID_ZONE_DECREASELAYER, "De&crease Layer", false},
                         {ID_ZONE_MOVEUP, "Move &Up", true},
                         {ID_ZONE_MOVEDOWN, "Move &Down", false},
                         {ID_ZONE_PROPERTIES, "&Properties", true}});
    } else if (const auto* proxy = dynamic_cast<const CHLTV*>(m_document.m_pSelectedObject)) {
        addItems(*menu, {{ID_HLTV_DELETE, "Delete", false},
                         {ID_HLTV_SERVERPASSWORD, "Server Password", true},
                         {ID_HLTV_SPECPASSWORD, "Spec Password", false},
                         {ID_HLTV_PROXYPASSWORD, "Proxy Password", false},
                         {ID_HLTV_RCONPASSWORD, "Rcon Password", false},
                         {ID_HLTV_DISCONNECT, "Disconnect", false},
                         {ID_HLTV_MOVEUP, "Move Up", true},
                         {ID_HLTV_MOVEDOWN, "Move Down", false},
                         {ID_HLTV_PROPERTIES, "Properties", true}});
        // Commands that need the proxy to listen are greyed until it does.
        const bool controlled = proxy->m_nStatus >= CSStatus_CONTROL;
        for (QAction* action : menu->actions()) {
            const int id = action->data().toInt();
            if (id == ID_HLTV_SERVERPASSWORD || id == ID_HLTV_SPECPASSWORD || id == ID_HLTV_PROXYPASSWORD ||
                id == ID_HLTV_DISCONNECT)
                action->setEnabled(controlled);
        }
    } else if (m_document.m_pSelectedObject) {
        addItems(*menu, {{ID_OBJECT_DELETE, "Delete", false},
                         {ID_OBJECT_MOVEUP, "Move Up", true},
                         {ID_OBJECT_MOVEDOWN, "Move Down", false},
                         {ID_OBJECT_PROPERTIES, "Properies", true}});
    } else {
        delete menu;
        return nullptr;
    }
    return menu;
}

void CQuorvaneView::mousePressEvent(QMouseEvent* event)
{
    const QPoint point = toCanvas(event->position().toPoint());
    if (event->button() == Qt::LeftButton) {
        SelectAt(point);
        CCommonObject* picked = m_document.m_pSelectedObject;
        if (picked && picked->CanDrag())
            BeginDrag(picked);
    } else if (event->button() == Qt::RightButton) {
        window()->activateWindow();
        SelectAt(point);
        if (QMenu* menu = ContextMenu(this)) {
            const QAction* chosen = menu->exec(event->globalPosition().toPoint());
            if (chosen)
                m_document.OnCommand(chosen->data().toInt());
            delete menu;
        }
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CQuorvaneView::mouseMoveEvent(QMouseEvent* event)
{
    if (isDragging()) {
        const QPoint position = event->position().toPoint();
        DragTo(toCanvas(position));
        AutoScroll(position);
    }
    QAbstractScrollArea::mouseMoveEvent(event);
}

void CQuorvaneView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && isDragging()) {
        DragTo(toCanvas(event->position().toPoint()));
        EndDrag();
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void CQuorvaneView::BeginDrag(CCommonObject* object)
{
    m_nDragMode = 1;
    m_pDragObject = object;
    m_pDropTarget = nullptr;
    m_ptDragLast = object->m_rcIcon.center();
    viewport()->update();
}

void CQuorvaneView::DragTo(QPoint point)
{
    m_ptDragLast = point;
    m_pDropTarget = nullptr;
    for (const auto& object : m_document.m_objects) {
        if (object.get() != m_pDragObject && object->m_rcBox.contains(point)) {
            m_pDropTarget = object.get();
            break;
        }
    }
    viewport()->update();
}

void CQuorvaneView::AutoScroll(QPoint position)
{
    // While dragging past an edge the canvas follows the pointer.
    const QSize visible = viewport()->size();
    QScrollBar* vertical = verticalScrollBar();
    QScrollBar* horizontal = horizontalScrollBar();
    if (visible.height() < m_sizeLayout.height()) {
        if (position.y() < 0)
            vertical->setValue(vertical->value() - kAutoScrollStep);
        else if (position.y() > visible.height())
            vertical->setValue(vertical->value() + kAutoScrollStep);
    }
    if (visible.width() < m_sizeLayout.width()) {
        if (position.x() < 0)
            horizontal->setValue(horizontal->value() - kAutoScrollStep);
        else if (position.x() > visible.width())
            horizontal->setValue(horizontal->value() + kAutoScrollStep);
    }
}

void CQuorvaneView::EndDrag()
{
    CCommonObject* dragged = m_pDragObject;
    CCommonObject* target = m_pDropTarget;
    m_nDragMode = 0;
    m_pDragObject = nullptr;
    m_pDropTarget = nullptr;
    if (target)
        dragged->DropOn(target);
    m_bRedrawPending = false;
    viewport()->update();
}
