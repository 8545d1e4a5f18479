#include "objects/CCommonObject.h"

#include "core/CanvasTone.h"
#include "core/Clock.h"
#include "core/ColorRef.h"
#include "core/LinkRoute.h"
#include "core/Operator.h"
#include "core/Painting.h"
#include "core/RandomSource.h"
#include "core/TextCodec.h"
#include "objects/CRconSocket.h"
#include "objects/IconLibrary.h"
#include "objects/MachineTrouble.h"
#include "objects/RconNotices.h"

#include <QPainter>

CCommonObject::CCommonObject(const CoreContext& context) : m_context(context)
{
    // A random start spreads the polls of many objects over the cycle.
    m_nPhase = m_context.random->uniform(0, 4);
}

namespace {
std::uint64_t g_addressGeneration = 0;
// Objects live on one thread, and so does whoever acts for the operator.
CommandWatcher* g_commandWatcher = nullptr;
const std::vector<Rect>* g_linkObstacles = nullptr;
} // namespace

CommandWatcher* CCommonObject::WatchCommands(CommandWatcher* watcher)
{
    CommandWatcher* previous = g_commandWatcher;
    g_commandWatcher = watcher;
    return previous;
}

void CCommonObject::ReportCommand(const std::string& command)
{
    if (g_commandWatcher)
        g_commandWatcher->CommandSent(*this, command);
}

CCommonObject::~CCommonObject()
{
    AddressChanged();
}

std::uint64_t CCommonObject::AddressGeneration()
{
    return g_addressGeneration;
}

void CCommonObject::AddressChanged()
{
    ++g_addressGeneration;
}

bool CCommonObject::IsHubManager() const
{
    return false;
}

bool CCommonObject::IsNamed(const std::string& name) const
{
    return GetName() == name;
}

void CCommonObject::DrawLinks(QPainter&) {}

void CCommonObject::DropOn(CCommonObject* target)
{
    if (target)
        m_context.op->showMessage("Drop on " + target->GetName());
}

void CCommonObject::DrawHighlighted(QPainter& painter)
{
    drawFramedBox(painter, m_rcBox, canvasColor(Qt::black), 1, canvasColor(QColor(220, 220, 220)));
    Draw(painter);
}

bool CCommonObject::CanDrag() const
{
    return false;
}

void CCommonObject::DrawPlain(QPainter& painter)
{
    if (const ObjectGroup* group = m_pGroup.view())
        fillBox(painter, m_rcBox, canvasColor(toQColor(group->GroupFill())));
    Draw(painter);
}

QSize CCommonObject::GetBoxSize() const
{
    return {120, 78};
}

void CCommonObject::Place(const Rect& box)
{
    m_rcBox = box;
    m_rcIcon = IconRectFor(box);
}

Rect CCommonObject::IconRectFor(const Rect& box)
{
    const int centerX = (box.left + box.right) / 2;
    return {centerX - 24, box.top, centerX + 24, box.top + 48};
}

void CCommonObject::Draw(QPainter& painter)
{
    switch (troubleOf(*this)) {
    case Trouble::Down:
        // A red tint under the icon and a red frame: seen across the canvas.
        drawFramedBox(painter, m_rcBox, QColor(200, 0, 0), 3, QColor(255, 0, 0, 60));
        break;
    case Trouble::RelayLost:
        drawFramedBox(painter, m_rcBox, QColor(230, 120, 0), 3, QColor(255, 150, 0, 60));
        break;
    case Trouble::Unreachable: {
        painter.save();
        QPen pen(canvasColor(QColor(120, 120, 120)), 2, Qt::DashLine);
        painter.setPen(pen);
        painter.setBrush(QColor(128, 128, 128, 40));
        painter.drawRect(
            QRect(m_rcBox.left, m_rcBox.top, m_rcBox.right - m_rcBox.left, m_rcBox.bottom - m_rcBox.top));
        painter.restore();
        break;
    }
    case Trouble::None:
        break;
    }
    m_rcIcon = IconRectFor(m_rcBox);
    drawIcon(painter, m_nBitmapId, m_rcIcon.left, m_rcIcon.top);

    painter.save();
    painter.setFont(canvasFont(13));
    // The label sits on the group's fill.
    if (const ObjectGroup* group = m_pGroup.view())
        painter.setPen(textColorOn(canvasColor(toQColor(group->GroupFill()))));
    drawSingleLine(painter, m_rcBox, decodeText(GetName()), Qt::AlignHCenter | Qt::AlignBottom);
    painter.restore();
}

void CCommonObject::DrawTroubleMarks(QPainter& painter)
{
    // A 14-pixel disc at the box's top right corner, drawn in vector so that
    // it stays sharp at any scale.
    const bool refused = PasswordRefused();
    const Trouble trouble = troubleOf(*this);
    if (!refused && trouble != Trouble::RelayLost && trouble != Trouble::Unreachable)
        return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF disc(m_rcBox.right - 15, m_rcBox.top + 1, 14, 14);
    QColor fill = QColor(120, 120, 120);
    if (refused)
        fill = QColor(170, 0, 0);
    else if (trouble == Trouble::RelayLost)
        fill = QColor(230, 120, 0);
    painter.setPen(Qt::NoPen);
    painter.setBrush(fill);
    painter.drawEllipse(disc);
    painter.setPen(QPen(Qt::white, 2, Qt::SolidLine, Qt::RoundCap));
    const QPointF c = disc.center();
    if (refused) {
        // "!": the password was refused.
        painter.drawLine(QPointF(c.x(), c.y() - 4), QPointF(c.x(), c.y() + 1));
        painter.drawPoint(QPointF(c.x(), c.y() + 4));
    } else if (trouble == Trouble::RelayLost) {
        // A broken link: two stubs with a gap.
        painter.drawLine(QPointF(c.x() - 5, c.y() + 3), QPointF(c.x() - 1.5, c.y() - 0.5));
        painter.drawLine(QPointF(c.x() + 1.5, c.y() + 0.5), QPointF(c.x() + 5, c.y() - 3));
    } else {
        painter.setFont(canvasFont(12));
        painter.drawText(disc, Qt::AlignCenter, QStringLiteral("?"));
    }
    painter.restore();
}

void CCommonObject::MarkReply()
{
    m_timeLastReply = Now();
}

void CCommonObject::OpenChannel()
{
    m_pChannel.reset();
    m_pChannel = std::make_unique<CRconSocket>(*this, *m_context.op);
    m_pChannel->Open(m_strAddress, m_nPort);
    m_timeWatchedSince = Now();
}

void CCommonObject::CloseChannel()
{
    m_pChannel.reset();
}

void CCommonObject::OnReply(std::string_view) {}

void CCommonObject::Tick() {}

void CCommonObject::SetStatus(CSStatus status)
{
    m_nStatus = status;
}

bool CCommonObject::CanRecord() const
{
    return false;
}

bool CCommonObject::IsGameServer() const
{
    return false;
}

int CCommonObject::GetPlayerCount() const
{
    return m_nPlayers;
}

const CCommonObject::PlayerNames& CCommonObject::GetPlayerNames() const
{
    return m_strPlayers;
}

void CCommonObject::SendCommand(std::string) {}

void CCommonObject::OnClick(QPoint) {}

void CCommonObject::Kick(std::string) {}

void CCommonObject::ChangePOV(std::string) {}

bool CCommonObject::IsDown() const
{
    return m_nStatus == CSStatus_TIMEOUT && m_timeLastReply != 0;
}

bool CCommonObject::IsUnreachable() const
{
    return m_nStatus == CSStatus_TIMEOUT && m_timeLastReply == 0 && m_timeWatchedSince != 0 &&
           Now() - m_timeWatchedSince > kUnreachableSeconds;
}

bool CCommonObject::IsRelayLost() const
{
    return false;
}

bool CCommonObject::PasswordRefused() const
{
    return m_bRconSuspended && m_strSuspendReason == notices::kBadPassword;
}

QColor CCommonObject::DownTextColor()
{
    return canvasColor(QColor(110, 110, 110));
}

std::string CCommonObject::GetName() const
{
    return m_strAddress + ":" + std::to_string(m_nPort);
}

void CCommonObject::SetLinkObstacles(const std::vector<Rect>* boxes)
{
    g_linkObstacles = boxes;
}

void CCommonObject::DrawLink(QPainter& painter, QPoint from, QPoint to, bool dashed)
{
    std::vector<QPoint> path{from, to};
    if (g_linkObstacles) {
        // The end boxes are those that hold the two icons.
        const Rect* fromBox = nullptr;
        const Rect* toBox = nullptr;
        for (const Rect& box : *g_linkObstacles) {
            if (!fromBox && box.contains(from))
                fromBox = &box;
            if (!toBox && box.contains(to))
                toBox = &box;
        }
        if (fromBox && toBox && fromBox != toBox)
            path = routeLink(from, *fromBox, to, *toBox, *g_linkObstacles);
    }
    painter.save();
    painter.setBrush(Qt::NoBrush);
    const QColor ink = canvasColor(Qt::black);
    painter.setPen(dashed ? QPen(ink, 1, Qt::DashDotLine) : QPen(ink, 4, Qt::SolidLine));
    painter.drawPolyline(path.data(), static_cast<int>(path.size()));
    painter.restore();
}

bool CCommonObject::SuspendRcon(std::string reason)
{
    if (m_bRconSuspended && reason == m_strSuspendReason)
        return false;
    m_bRconSuspended = true;
    m_log.Add(reason);
    m_strSuspendReason = std::move(reason);
    return true;
}

void CCommonObject::SetRconPassword(std::string password)
{
    m_strRconPassword = std::move(password);
    m_bRconSuspended = false;
    m_strSuspendReason.clear();
}

void CCommonObject::LiftBanSuspension()
{
    if (!m_bRconSuspended || m_strSuspendReason != notices::kBanned)
        return;
    m_bRconSuspended = false;
    m_strSuspendReason.clear();
    m_log.Add(notices::kBanLifted);
}

void CCommonObject::SendDatagram(std::string_view datagram)
{
    if (m_pChannel)
        m_pChannel->Send(datagram);
}

void CCommonObject::SendQuery(std::string_view datagram)
{
    if (m_pChannel)
        m_pChannel->SendQuery(datagram);
}

std::int64_t CCommonObject::Now() const
{
    return m_context.clock->now();
}
