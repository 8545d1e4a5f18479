#include "ui/CQuorvaneView.h"

#include "core/CanvasTone.h"
#include "core/Clock.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/CanvasLayout.h"
#include "layout/CanvasPainter.h"
#include "layout/CommandIds.h"
#include "layout/GroupMove.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "objects/MachineTrouble.h"
#include "ui/CanvasPalette.h"
#include "ui/ObjectMatch.h"
#include "ui/ObjectToolTip.h"
#include "ui/Sparkline.h"

#include <QApplication>
#include <QHelpEvent>
#include <QKeyEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QPainter>
#include <QRegion>
#include <QRubberBand>
#include <QScrollBar>
#include <QToolTip>
#include <QWheelEvent>
#include <algorithm>
#include <cmath>

namespace {

constexpr int kTickMs = 1000;
// The second's polls go out in this many slices, evenly over the second.
constexpr int kTickSlices = 20;
constexpr int kAutoWebMs = 30000;
constexpr int kAutoScrollStep = 70;
// The zoom steps of Ctrl+= and Ctrl+-, in per cent.
constexpr int kZoomSteps[] = {50, 67, 75, 90, 100, 110, 125, 150, 175, 200};

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

// What an object's history counts.
QString historyCaption(const CCommonObject& object)
{
    if (object.IsHubManager())
        return QStringLiteral("Clients");
    if (dynamic_cast<const CHLTV*>(&object))
        return QStringLiteral("Spectators");
    return QStringLiteral("Players");
}

} // namespace

CQuorvaneView::CQuorvaneView(CQuorvaneDoc& document, QWidget* parent)
    : QAbstractScrollArea(parent), m_document(document)
{
    viewport()->setMouseTracking(false);
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::StrongFocus);
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
    LayoutOptions options;
    options.groupsSideBySide = m_groupsSideBySide;
    options.wrapWidth = static_cast<int>(viewport()->width() / m_zoom);
    const QSize laidOut = m_sizeLayout;
    m_sizeLayout = RecalcLayout(m_document, options);
    UpdateScrollBars();
    if (isDragging()) {
        m_bRedrawPending = true;
        return;
    }
    // A canvas that grew or shrank uncovers the background beyond it.
    const auto& picks = m_document.parkConsole().picks.objects();
    if (m_sizeLayout != laidOut ||
        !std::equal(picks.begin(), picks.end(), m_paintedPicks.begin(), m_paintedPicks.end())) {
        viewport()->update();
        return;
    }
    // Only what draws differently from what was painted; the marks reach
    // a pixel or two past a piece, and the zoom rounds.
    const ScopedCanvasTone tone(isDarkCanvas() ? CanvasTone::Dark : CanvasTone::Light);
    QRegion changed;
    for (const QRect& part : m_damage.Changed(m_document, VisibleCanvas(), CurrentFilter()))
        changed += QRect(toViewport(part.topLeft()), toViewport(part.bottomRight() + QPoint(1, 1)))
                       .adjusted(-3, -3, 3, 3);
    if (!changed.isEmpty())
        viewport()->update(changed);
}

QRect CQuorvaneView::VisibleCanvas() const
{
    const QRect shown = viewport()->rect();
    return QRect(toCanvas(shown.topLeft()), toCanvas(shown.bottomRight() + QPoint(1, 1)))
        .adjusted(-1, -1, 1, 1)
        .intersected(QRect(QPoint(0, 0), m_sizeLayout));
}

void CQuorvaneView::UpdateScrollBars()
{
    const QSize visible = viewport()->size();
    const QSize scaled(static_cast<int>(std::ceil(m_sizeLayout.width() * m_zoom)),
                       static_cast<int>(std::ceil(m_sizeLayout.height() * m_zoom)));
    horizontalScrollBar()->setRange(0, std::max(0, scaled.width() - visible.width()));
    verticalScrollBar()->setRange(0, std::max(0, scaled.height() - visible.height()));
    horizontalScrollBar()->setPageStep(visible.width());
    verticalScrollBar()->setPageStep(visible.height());
    horizontalScrollBar()->setSingleStep(std::max(1, visible.width() / 10));
    verticalScrollBar()->setSingleStep(std::max(1, visible.height() / 10));
}

QPoint CQuorvaneView::toCanvas(QPoint viewportPosition) const
{
    const QPoint scaled =
        viewportPosition + QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
    return QPoint(static_cast<int>(std::floor(scaled.x() / m_zoom)),
                  static_cast<int>(std::floor(scaled.y() / m_zoom)));
}

QPoint CQuorvaneView::toViewport(QPoint canvasPoint) const
{
    const QPoint scaled(static_cast<int>(std::lround(canvasPoint.x() * m_zoom)),
                        static_cast<int>(std::lround(canvasPoint.y() * m_zoom)));
    return scaled - QPoint(horizontalScrollBar()->value(), verticalScrollBar()->value());
}

ObjectFilter CQuorvaneView::CurrentFilter() const
{
    if (!isFiltering())
        return {};
    return [this](const CCommonObject& object) {
        return (!m_onlyDown || troubleOf(object) != Trouble::None) && objectMatches(object, m_findText);
    };
}

void CQuorvaneView::RenderCanvas(QPainter& painter, const QRect& area)
{
    RenderCanvas(painter, QRegion(area));
}

void CQuorvaneView::RenderCanvas(QPainter& painter, const QRegion& area)
{
    PaintCanvas(painter, m_document, area, CurrentFilter());
    // The machines picked beside the one in the panel: a blue frame.
    const auto& picks = m_document.parkConsole().picks.objects();
    if (!picks.empty()) {
        painter.save();
        painter.setPen(QPen(QColor(30, 100, 230), 3));
        painter.setBrush(Qt::NoBrush);
        for (const CCommonObject* object : picks) {
            const Rect& box = object->m_rcBox;
            painter.drawRect(
                QRect(QPoint(box.left, box.top), QPoint(box.right, box.bottom)).adjusted(-2, -2, 1, 1));
        }
        painter.restore();
    }
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
    const ScopedCanvasTone tone(isDarkCanvas() ? CanvasTone::Dark : CanvasTone::Light);
    const QPoint offset(horizontalScrollBar()->value(), verticalScrollBar()->value());
    painter.translate(-offset);
    painter.scale(m_zoom, m_zoom);
    // Outside the canvas the window takes the canvas's background too. The
    // canvas fills every pixel it covers whole: filling the screen first
    // and once more over it cost a quarter of a repaint.
    const QRectF canvas = painter.worldTransform().mapRect(QRectF(QPoint(0, 0), m_sizeLayout));
    const QRect whole(QPoint(static_cast<int>(std::ceil(canvas.left())), static_cast<int>(std::ceil(canvas.top()))),
                      QPoint(static_cast<int>(std::floor(canvas.right())) - 1,
                             static_cast<int>(std::floor(canvas.bottom())) - 1));
    const QTransform world = painter.worldTransform();
    painter.resetTransform();
    for (const QRect& outside : QRegion(event->rect()).subtracted(QRegion(whole)))
        painter.fillRect(outside, canvasColor(Qt::white));
    painter.setWorldTransform(world);
    // What the event repaints, on the canvas: a little more to draw, a
    // little less to call painted (the zoom rounds).
    const QTransform toCanvasSpace = world.inverted();
    const QRect layout(QPoint(0, 0), m_sizeLayout);
    QRegion exposed;
    QRegion painted;
    for (const QRect& part : event->region()) {
        const QRect mapped = toCanvasSpace.mapRect(part);
        exposed += mapped.adjusted(-1, -1, 1, 1).intersected(layout);
        painted += mapped.adjusted(1, 1, -1, -1);
    }
    RenderCanvas(painter, exposed);
    if (!isDragging()) {
        m_damage.Painted(m_document, painted, VisibleCanvas(), CurrentFilter());
        m_paintedPicks.assign(m_document.parkConsole().picks.objects().begin(),
                              m_document.parkConsole().picks.objects().end());
    }
}

void CQuorvaneView::resizeEvent(QResizeEvent* event)
{
    QAbstractScrollArea::resizeEvent(event);
    if (m_groupsSideBySide && !isDragging())
        OnUpdate(CQuorvaneDoc::HintLayout); // the rows wrap at the new width
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
                         {ID_HLTV_RECONNECTNOW, "Reconnect now", false},
                         {ID_HLTV_RECONNECTAUTO, "Reconnect automatically", false},
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
            if (id == ID_HLTV_RECONNECTNOW)
                action->setEnabled(controlled && !proxy->m_strWantedUpstream.empty());
            if (id == ID_HLTV_RECONNECTAUTO) {
                action->setCheckable(true);
                action->setChecked(proxy->m_bReconnectAuto);
            }
        }
    } else if (m_document.m_pSelectedObject) {
        addItems(*menu, {{ID_OBJECT_DELETE, "Delete", false},
                         {ID_OBJECT_MOVEUP, "Move Up", true},
                         {ID_OBJECT_MOVEDOWN, "Move Down", false},
                         {ID_OBJECT_PROPERTIES, "Properies", true}});
        // Asked by rcon, so greyed until the log port is open and rcon works.
        if (m_document.m_pSelectedObject->IsGameServer()) {
            addItems(*menu, {{ID_OBJECT_STREAMLOGS, "Stream Logs Here", true},
                             {ID_OBJECT_STOPSTREAMING, "Stop Streaming", false}});
            const bool usable = m_document.CanStreamLogs(*m_document.m_pSelectedObject);
            for (QAction* action : menu->actions()) {
                const int id = action->data().toInt();
                if (id == ID_OBJECT_STREAMLOGS || id == ID_OBJECT_STOPSTREAMING)
                    action->setEnabled(usable);
            }
        }
    } else {
        delete menu;
        return nullptr;
    }
    return menu;
}

void CQuorvaneView::mousePressEvent(QMouseEvent* event)
{
    const QPoint point = toCanvas(event->position().toPoint());
    if (event->button() == Qt::LeftButton && (event->modifiers() & Qt::ControlModifier)) {
        const auto hit = std::find_if(m_document.m_objects.begin(), m_document.m_objects.end(),
                                      [&](const auto& object) { return object->m_rcBox.contains(point); });
        if (hit != m_document.m_objects.end()) {
            TogglePick(**hit);
        } else {
            m_ptBandOrigin = event->position().toPoint();
            if (!m_pRubberBand)
                m_pRubberBand = new QRubberBand(QRubberBand::Rectangle, viewport());
            m_pRubberBand->setGeometry(QRect(m_ptBandOrigin, QSize()));
            m_pRubberBand->show();
        }
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    if (event->button() == Qt::LeftButton) {
        m_document.parkConsole().picks.Clear();
        SelectAt(point);
        CCommonObject* picked = m_document.m_pSelectedObject;
        if (picked && picked->CanDrag())
            BeginDrag(picked);
        m_pDragGroup = picked ? nullptr : dynamic_cast<CGroup*>(m_document.m_pSelectedZone);
        m_ptGroupPress = event->position().toPoint();
    } else if (event->button() == Qt::RightButton) {
        window()->activateWindow();
        SelectAt(point);
        if (QMenu* menu = ContextMenu(this)) {
            const QAction* chosen = menu->exec(event->globalPosition().toPoint());
            if (chosen)
                m_document.RunCommand(chosen->data().toInt());
            delete menu;
        }
    }
    QAbstractScrollArea::mousePressEvent(event);
}

void CQuorvaneView::mouseMoveEvent(QMouseEvent* event)
{
    if (m_pRubberBand && m_pRubberBand->isVisible()) {
        m_pRubberBand->setGeometry(QRect(m_ptBandOrigin, event->position().toPoint()).normalized());
    } else if (isDragging()) {
        const QPoint position = event->position().toPoint();
        DragTo(toCanvas(position));
        AutoScroll(position);
    } else if (m_pDragGroup) {
        viewport()->setCursor(Qt::ClosedHandCursor);
        AutoScroll(event->position().toPoint());
    }
    QAbstractScrollArea::mouseMoveEvent(event);
}

void CQuorvaneView::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_pRubberBand && m_pRubberBand->isVisible()) {
        m_pRubberBand->hide();
        const QRect band = QRect(m_ptBandOrigin, event->position().toPoint()).normalized();
        PickInside(QRect(toCanvas(band.topLeft()), toCanvas(band.bottomRight())));
    }
    if (event->button() == Qt::LeftButton && isDragging()) {
        DragTo(toCanvas(event->position().toPoint()));
        EndDrag();
    }
    if (event->button() == Qt::LeftButton && m_pDragGroup) {
        CGroup* group = m_pDragGroup;
        m_pDragGroup = nullptr;
        viewport()->unsetCursor();
        const QPoint position = event->position().toPoint();
        const bool present = std::any_of(m_document.m_groups.begin(), m_document.m_groups.end(),
                                         [group](const auto& g) { return g.get() == group; });
        if (present && (position - m_ptGroupPress).manhattanLength() >= QApplication::startDragDistance())
            dropGroup(m_document, *group, toCanvas(position));
    }
    QAbstractScrollArea::mouseReleaseEvent(event);
}

void CQuorvaneView::TogglePick(CCommonObject& object)
{
    PickSet& picks = m_document.parkConsole().picks;
    // The machine in the panel is the first of the picks.
    if (m_document.m_pSelectedObject)
        picks.Add(m_document.m_pSelectedObject);
    picks.Toggle(&object);
    CCommonObject* shown = picks.Contains(&object) ? &object : nullptr;
    if (!shown && !picks.empty())
        shown = picks.objects().back();
    m_document.SetSelection(nullptr, shown);
    m_document.UpdateAllViews(CQuorvaneDoc::HintTick);
}

void CQuorvaneView::PickInside(const QRect& canvasArea)
{
    PickSet& picks = m_document.parkConsole().picks;
    if (m_document.m_pSelectedObject)
        picks.Add(m_document.m_pSelectedObject);
    for (const auto& object : m_document.m_objects) {
        const Rect& box = object->m_rcBox;
        if (canvasArea.intersects(QRect(QPoint(box.left, box.top), QPoint(box.right, box.bottom))))
            picks.Add(object.get());
    }
    if (!m_document.m_pSelectedObject && !picks.empty())
        m_document.SetSelection(nullptr, picks.objects().front());
    m_document.UpdateAllViews(CQuorvaneDoc::HintTick);
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
        m_document.DropOn(*dragged, *target);
    m_bRedrawPending = false;
    viewport()->update();
}

void CQuorvaneView::setFindText(const QString& text)
{
    m_findText = text;
    viewport()->update();
}

void CQuorvaneView::setShowOnlyDown(bool only)
{
    m_onlyDown = only;
    viewport()->update();
}

std::vector<CCommonObject*> CQuorvaneView::matches() const
{
    std::vector<CCommonObject*> found;
    if (!isFiltering())
        return found;
    for (const auto& object : m_document.m_objects) {
        if ((!m_onlyDown || troubleOf(*object) != Trouble::None) && objectMatches(*object, m_findText))
            found.push_back(object.get());
    }
    return found;
}

CCommonObject* CQuorvaneView::JumpToNextMatch()
{
    const std::vector<CCommonObject*> found = matches();
    if (found.empty())
        return nullptr;
    const auto current = std::find(found.begin(), found.end(), m_document.m_pSelectedObject);
    CCommonObject* next =
        current == found.end() || current + 1 == found.end() ? found.front() : *(current + 1);
    m_document.SetSelection(nullptr, next);
    EnsureVisible(*next);
    m_document.UpdateAllViews(CQuorvaneDoc::HintTick);
    return next;
}

void CQuorvaneView::EnsureVisible(const CCommonObject& object)
{
    const QRect box(toViewport(object.m_rcBox.toQRect().topLeft()),
                    toViewport(object.m_rcBox.toQRect().bottomRight()));
    const QRect visible = viewport()->rect();
    if (visible.contains(box))
        return;
    const QPoint shift = box.center() - visible.center();
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + shift.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() + shift.y());
}

void CQuorvaneView::setZoom(double zoom)
{
    zoom = std::clamp(zoom, kMinZoom, kMaxZoom);
    if (zoom == m_zoom)
        return;
    // The canvas point at the centre of the view stays there.
    const QPoint centre = toCanvas(viewport()->rect().center());
    m_zoom = zoom;
    if (m_groupsSideBySide)
        m_sizeLayout = RecalcLayout(m_document, {true, static_cast<int>(viewport()->width() / m_zoom)});
    UpdateScrollBars();
    const QPoint moved = toViewport(centre) - viewport()->rect().center();
    horizontalScrollBar()->setValue(horizontalScrollBar()->value() + moved.x());
    verticalScrollBar()->setValue(verticalScrollBar()->value() + moved.y());
    viewport()->update();
    emit zoomChanged(m_zoom);
}

void CQuorvaneView::ResetZoom()
{
    setZoom(1.0);
    // The zone under the centre of the view, else the first one.
    const QPoint centre = toCanvas(viewport()->rect().center());
    const CZone* shown = nullptr;
    for (const auto& zone : m_document.m_zones) {
        if (!shown || zone->m_rcArea.contains(centre))
            shown = zone.get();
        if (zone->m_rcArea.contains(centre))
            break;
    }
    if (!shown)
        return;
    // Its top-left corner, with the margin above the title, at the top-left
    // of the view unless it is already in sight.
    const QPoint corner = toViewport(QPoint(shown->m_rcArea.left, shown->m_rcArea.top));
    const QRect visible = viewport()->rect();
    if (!visible.contains(corner) || !visible.contains(corner + QPoint(0, 20))) {
        const int margin = 15;
        horizontalScrollBar()->setValue(horizontalScrollBar()->value() + corner.x() - margin);
        verticalScrollBar()->setValue(verticalScrollBar()->value() + corner.y() - margin);
    }
}

void CQuorvaneView::setGroupsSideBySide(bool sideBySide)
{
    m_groupsSideBySide = sideBySide;
    OnUpdate(CQuorvaneDoc::HintLayout);
    saveLayoutOptions({sideBySide, static_cast<int>(viewport()->width() / m_zoom)});
}

void CQuorvaneView::setDarkCanvasForced(bool forced)
{
    m_darkForced = forced;
    viewport()->update();
}

bool CQuorvaneView::isDarkCanvas() const
{
    return m_darkForced || isDarkPalette(viewport()->palette());
}

void CQuorvaneView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange || event->type() == QEvent::StyleChange)
        viewport()->update();
    QAbstractScrollArea::changeEvent(event);
}

void CQuorvaneView::ZoomIn()
{
    const int percent = static_cast<int>(std::lround(m_zoom * 100));
    for (int step : kZoomSteps) {
        if (step > percent) {
            setZoom(step / 100.0);
            return;
        }
    }
}

void CQuorvaneView::ZoomOut()
{
    const int percent = static_cast<int>(std::lround(m_zoom * 100));
    for (auto step = std::rbegin(kZoomSteps); step != std::rend(kZoomSteps); ++step) {
        if (*step < percent) {
            setZoom(*step / 100.0);
            return;
        }
    }
}

void CQuorvaneView::MovePick(int arrowKey)
{
    const auto& objects = m_document.m_objects;
    if (objects.empty())
        return;
    const CCommonObject* current = m_document.m_pSelectedObject;
    CCommonObject* best = nullptr;
    if (!current) {
        best = objects.front().get();
    } else {
        // The nearest box whose centre lies in the key's direction; sideways
        // distance counts double, so that a column is walked before a jump.
        const QPoint from = current->m_rcBox.center();
        long long bestScore = 0;
        for (const auto& object : objects) {
            const QPoint delta = object->m_rcBox.center() - from;
            int along = 0;
            int across = 0;
            switch (arrowKey) {
            case Qt::Key_Left:
                along = -delta.x(), across = delta.y();
                break;
            case Qt::Key_Right:
                along = delta.x(), across = delta.y();
                break;
            case Qt::Key_Up:
                along = -delta.y(), across = delta.x();
                break;
            default:
                along = delta.y(), across = delta.x();
                break;
            }
            if (along <= 0 || object.get() == current)
                continue;
            const long long score = static_cast<long long>(along) + 2LL * std::abs(across);
            if (!best || score < bestScore) {
                best = object.get();
                bestScore = score;
            }
        }
    }
    if (!best)
        return;
    m_document.SetSelection(nullptr, best);
    EnsureVisible(*best);
    m_document.UpdateAllViews(CQuorvaneDoc::HintTick);
}

void CQuorvaneView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Left:
    case Qt::Key_Right:
    case Qt::Key_Up:
    case Qt::Key_Down:
        MovePick(event->key());
        return;
    case Qt::Key_Delete:
        m_document.DeletePicked();
        return;
    default:
        QAbstractScrollArea::keyPressEvent(event);
    }
}

void CQuorvaneView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        const int steps = event->angleDelta().y();
        if (steps > 0)
            ZoomIn();
        else if (steps < 0)
            ZoomOut();
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

bool CQuorvaneView::viewportEvent(QEvent* event)
{
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        const QPoint point = toCanvas(help->pos());
        QString text;
        for (const auto& object : m_document.m_objects) {
            if (!object->m_rcBox.contains(point))
                continue;
            if (const auto* manager = dynamic_cast<const CGTV*>(object.get())) {
                for (int i = 0; i < manager->m_nHubs && text.isEmpty(); ++i) {
                    const CHubInfo& hub = manager->m_hubs[static_cast<std::size_t>(i)];
                    if (hub.m_rcRow.contains(point))
                        text = hubRowToolTip(hub);
                }
            }
            if (text.isEmpty()) {
                const std::int64_t now = m_document.context().clock->now();
                text = objectToolTip(*object, now, m_document.LastCollectedDemo(*object));
                if (const std::string uptime = m_document.UptimeText(*object); !uptime.empty())
                    text += QStringLiteral("<br>") + QString::fromStdString(uptime).toHtmlEscaped();
                // Drawn only now, as the tip is asked for.
                if (const ObjectFeed* feed = m_document.m_feeds.feed(object->GetName())) {
                    const QString day = sparklineToolTip(feed->history.lastDay(now), historyCaption(*object));
                    if (!day.isEmpty())
                        text += QStringLiteral("<br>") + day;
                }
            }
            break;
        }
        if (text.isEmpty())
            QToolTip::hideText();
        else
            QToolTip::showText(help->globalPos(), text, viewport());
        return true;
    }
    return QAbstractScrollArea::viewportEvent(event);
}
