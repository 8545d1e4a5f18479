#include "objects/CCommonObject.h"

#include "core/Clock.h"
#include "core/ColorRef.h"
#include "core/Operator.h"
#include "core/Painting.h"
#include "core/RandomSource.h"
#include "core/TextCodec.h"
#include "objects/CRconSocket.h"
#include "objects/IconLibrary.h"
#include "objects/RconNotices.h"

#include <QPainter>

CCommonObject::CCommonObject(const CoreContext& context) : m_context(context)
{
    // A random start spreads the polls of many objects over the cycle.
    m_nPhase = m_context.random->uniform(0, 4);
}

namespace {
std::uint64_t g_addressGeneration = 0;
} // namespace

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
    drawFramedBox(painter, m_rcBox, Qt::black, 1, QColor(220, 220, 220));
    Draw(painter);
}

bool CCommonObject::CanDrag() const
{
    return false;
}

void CCommonObject::DrawPlain(QPainter& painter)
{
    if (const ObjectGroup* group = m_pGroup.view())
        fillBox(painter, m_rcBox, toQColor(group->GroupFill()));
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
    if (IsDown()) {
        // A red tint under the icon and a red frame: seen across the canvas.
        drawFramedBox(painter, m_rcBox, QColor(200, 0, 0), 3, QColor(255, 0, 0, 60));
    }
    m_rcIcon = IconRectFor(m_rcBox);
    drawIcon(painter, m_nBitmapId, m_rcIcon.left, m_rcIcon.top);

    painter.save();
    painter.setFont(canvasFont(13));
    // The label sits on the group's fill.
    if (const ObjectGroup* group = m_pGroup.view())
        painter.setPen(textColorOn(toQColor(group->GroupFill())));
    drawSingleLine(painter, m_rcBox, decodeText(GetName()), Qt::AlignHCenter | Qt::AlignBottom);
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

QColor CCommonObject::DownTextColor()
{
    return QColor(110, 110, 110);
}

std::string CCommonObject::GetName() const
{
    return m_strAddress + ":" + std::to_string(m_nPort);
}

void CCommonObject::DrawLink(QPainter& painter, QPoint from, QPoint to, bool dashed)
{
    painter.save();
    painter.setBrush(Qt::NoBrush);
    painter.setPen(dashed ? QPen(Qt::black, 1, Qt::DashDotLine) : QPen(Qt::black, 4, Qt::SolidLine));
    painter.drawLine(from, to);
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
