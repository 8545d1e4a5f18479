#include "objects/CGTV.h"

#include "core/CanvasTone.h"
#include "core/Clock.h"
#include "core/Painting.h"
#include "core/TextCodec.h"
#include "core/TextTokens.h"
#include "objects/Gauges.h"
#include "objects/HubReplies.h"
#include "objects/IconLibrary.h"
#include "objects/OobDatagrams.h"
#include "objects/RconCommandText.h"
#include "objects/RconNotices.h"
#include "objects/ServerReplies.h"

#include <QPainter>
#include <algorithm>

namespace {

constexpr std::int64_t kReplyTimeout = 10;
constexpr int kIconHeight = 48;
constexpr int kRowHeight = 40;

void drawRowText(QPainter& painter, const Rect& row, const QString& text, int cellHeight, int weight,
                 const QColor& color, Qt::Alignment alignment)
{
    painter.save();
    QFont font = canvasFont(cellHeight);
    font.setWeight(static_cast<QFont::Weight>(weight));
    painter.setFont(font);
    painter.setPen(color);
    drawSingleLine(painter, row, text, alignment);
    painter.restore();
}

} // namespace

const std::string* CHubInfo::FollowedName() const
{
    for (int i = 0; i < std::clamp(m_nCount, 0, CCommonObject::kMaxPlayers); ++i) {
        if (m_nSlots[static_cast<std::size_t>(i)] == m_nFollowing)
            return &m_strNames[static_cast<std::size_t>(i)];
    }
    return nullptr;
}

CGTV::CGTV(const CoreContext& context) : CCommonObject(context)
{
    m_nBitmapId = 161;
}

bool CGTV::IsHubManager() const
{
    return true;
}

bool CGTV::CanDrag() const
{
    return m_nStatus == CSStatus_CONTROL || m_nStatus == CSStatus_FULLCONTROL;
}

bool CGTV::CanRecord() const
{
    return true;
}

bool CGTV::IsGameServer() const
{
    return false;
}

QSize CGTV::GetBoxSize() const
{
    return {120, 83 + kRowHeight * m_nHubs};
}

int CGTV::GetPlayerCount() const
{
    return m_pSelectedHub ? std::clamp(m_pSelectedHub->m_nCount, 0, kMaxPlayers) : 0;
}

const CCommonObject::PlayerNames& CGTV::GetPlayerNames() const
{
    static const PlayerNames none;
    return m_pSelectedHub ? m_pSelectedHub->m_strNames : none;
}

void CGTV::SendCommand(std::string command)
{
    if (!RconUsable())
        return;
    SendDatagram(oob::hubRconCommand(m_strRconPassword, command));
    ReportCommand(command);
}

void CGTV::RequestManagerInfo()
{
    SendQuery(oob::managerInfoQuery());
}

void CGTV::RequestHubInfo(std::int32_t hubNumber)
{
    SendQuery(oob::hubInfoQuery(hubNumber));
}

void CGTV::Tick()
{
    if (Now() - m_timeLastReply > kReplyTimeout)
        SetStatus(CSStatus_TIMEOUT);
    if (m_nPhase == 0) {
        RequestManagerInfo();
    } else if (m_nPhase == 1) {
        for (int i = 0; i < m_nHubs; ++i)
            RequestHubInfo(m_hubs[static_cast<std::size_t>(i)].m_nHubNum);
    }
    m_nPhase = (m_nPhase + 1) % 6;
}

void CGTV::SetRconPassword(std::string password)
{
    CCommonObject::SetRconPassword(std::move(password));
    if (m_nStatus == CSStatus_MONITORING)
        SendCommand("gtv_follow");
}

void CGTV::SetStatus(CSStatus status)
{
    if (status >= CSStatus_CONTROL && RconSuspended())
        status = CSStatus_MONITORING;
    // The probe's printed answer proves control.
    if (status == CSStatus_MONITORING && !m_strRconPassword.empty())
        SendCommand("gtv_follow");
    m_nStatus = status;
}

void CGTV::OnReply(std::string_view datagram)
{
    if (!oob::hasOobPrefix(datagram))
        return; // hub managers send no replies in parts
    const std::string_view text = hubs::replyText(datagram);
    if (beginsWith(text, "managerInfoResponse"))
        OnManagerInfo(text);
    else if (beginsWith(text, "hubInfoResponse"))
        OnHubInfo(text);
    else if (beginsWith(text, "print"))
        OnPrint(text);
}

void CGTV::OnManagerInfo(std::string_view text)
{
    m_strHostname = hubs::GetKeyValue(text, "hostname");
    // Counts outside what a manager can hold keep the previous value.
    const auto plausible = [](std::int32_t value) { return value >= 0 && value <= 1'000'000; };
    if (const std::int32_t clients = hubs::GetKeyInt(text, "clients"); plausible(clients))
        m_nSvClients = clients;
    if (const std::int32_t maxClients = hubs::GetKeyInt(text, "sv_maxclients"); plausible(maxClients))
        m_nSvMaxClients = maxClients;
    // The table holds 32 hubs: a count outside 0..32 is limited to it.
    m_nHubs = std::clamp(hubs::GetKeyInt(text, "numHubs"), 0, kMaxHubs);
    // A picked row the manager no longer runs is not shown: its players
    // must not stay in the panel, nor take a change of view.
    if (m_pSelectedHub && m_pSelectedHub - m_hubs.data() >= m_nHubs)
        m_pSelectedHub = nullptr;
    if (m_nHubs != 0) {
        const auto numbers = hubs::parseHubNumbers(hubs::GetKeyValue(text, "hubs"), m_nHubs);
        for (std::size_t i = 0; i < numbers.size(); ++i) {
            if (numbers[i])
                m_hubs[i].m_nHubNum = *numbers[i];
        }
    }
    if (m_nStatus == CSStatus_TIMEOUT)
        SetStatus(CSStatus_MONITORING);
    MarkReply();
}

void CGTV::OnHubInfo(std::string_view text)
{
    const std::int32_t number = hubs::GetKeyInt(text, "hubNum");
    const auto end = m_hubs.begin() + m_nHubs;
    const auto hub = std::find_if(m_hubs.begin(), end,
                                  [number](const CHubInfo& entry) { return entry.m_nHubNum == number; });
    if (hub != end) {
        hub->m_strDesc = hubs::GetKeyValue(text, "desc");
        hub->m_strParent = hubs::GetKeyValue(text, "parent");
        hub->m_nFollowing =
            hubs::GetKeyValue(text, "following").empty() ? -1 : hubs::GetKeyInt(text, "following");
        hub->m_nCount = 0;
        for (int slot = 0; slot < kMaxPlayers; ++slot) {
            const std::string prefix = "p" + std::to_string(slot);
            if (hubs::GetKeyValue(text, prefix + "t").empty())
                continue;
            const auto at = static_cast<std::size_t>(hub->m_nCount++);
            hub->m_nSlots[at] = slot;
            hub->m_strNames[at] = hubs::RemoveColourCodes(hubs::GetKeyValue(text, prefix + "n"));
        }
    }
    if (m_nStatus == CSStatus_TIMEOUT)
        SetStatus(CSStatus_MONITORING);
    MarkReply();
}

void CGTV::OnPrint(std::string_view text)
{
    std::string_view line = text.substr(std::string_view("print").size());
    const auto isSpace = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!line.empty() && isSpace(line.front()))
        line.remove_prefix(1);
    while (!line.empty() && isSpace(line.back()))
        line.remove_suffix(1);
    // A manager's rcon has no challenge: a refusal means the password is
    // wrong, or the address banned. Either way the command is not repeated.
    if (beginsWith(line, replies::kBannedPrefix)) {
        if (!RconSuspended() || RconSuspendReason() != notices::kBanned) {
            m_log.Add(std::string(line));
            SuspendRcon(notices::kBanned);
        }
    } else if (beginsWith(line, replies::kBadPasswordPrefix)) {
        m_log.Add(std::string(line));
        if (RconUsable() && SuspendRcon(notices::kBadPassword))
            m_log.Add(notices::kReenterPassword);
    } else {
        m_log.Add(std::string(line));
    }
    if (RconSuspended()) {
        if (m_nStatus > CSStatus_MONITORING)
            m_nStatus = CSStatus_MONITORING;
    } else if (m_nStatus <= CSStatus_CONTROL) {
        SetStatus(CSStatus_CONTROL);
    }
    MarkReply();
}

void CGTV::OnClick(QPoint point)
{
    m_pSelectedHub = nullptr;
    for (int i = 0; i < m_nHubs; ++i) {
        if (m_hubs[static_cast<std::size_t>(i)].m_rcRow.contains(point))
            m_pSelectedHub = &m_hubs[static_cast<std::size_t>(i)];
    }
}

void CGTV::ChangePOV(std::string name)
{
    if (!m_pSelectedHub)
        return;
    const CHubInfo& hub = *m_pSelectedHub;
    for (int i = 0; i < std::clamp(hub.m_nCount, 0, kMaxPlayers); ++i) {
        if (hub.m_strNames[static_cast<std::size_t>(i)] == name) {
            SendCommand("gtv_follow " + std::to_string(hub.m_nSlots[static_cast<std::size_t>(i)]) + " " +
                        std::to_string(hub.m_nHubNum));
            RequestHubInfo(hub.m_nHubNum);
            return;
        }
    }
}

void CGTV::DropOn(CCommonObject* target)
{
    // The hub rows link themselves through their parent address.
    if (!target)
        return;
    if (const auto command = rconcmd::gtvConnect(target->GetName()))
        SendCommand(*command);
    else
        m_log.Add("Quorvane : cannot connect to an address that holds a quote, a semicolon or a line break");
}

void CGTV::DrawLinks(QPainter& painter)
{
    if (m_nStatus == CSStatus_TIMEOUT)
        return;
    for (int i = 0; i < m_nHubs; ++i) {
        const CHubInfo& hub = m_hubs[static_cast<std::size_t>(i)];
        if (!hub.m_pLinked)
            continue;
        const bool solid = !hub.m_strParent.empty() && hub.m_pLinked->IsNamed(hub.m_strParent);
        DrawLink(painter, hub.m_pLinked->m_rcIcon.center(), hub.m_rcRow.center(), !solid);
    }
}

void CGTV::Draw(QPainter& painter)
{
    CCommonObject::Draw(painter);
    if (m_nStatus != CSStatus_TIMEOUT || IsDown()) {
        painter.save();
        painter.setFont(canvasFont(12));
        painter.setPen(IsDown() ? DownTextColor() : canvasColor(Qt::black));
        drawSingleLine(painter, Rect{m_rcBox.left, m_rcBox.bottom - 30, m_rcBox.right, m_rcBox.bottom - 15},
                       decodeText(m_strHostname), Qt::AlignHCenter | Qt::AlignBottom);
        painter.restore();
    }
    if (m_nStatus != CSStatus_TIMEOUT) {
        if (m_nSvMaxClients != 0)
            drawGauge(painter, m_rcIcon, m_rcIcon.right + 11,
                      ratioGaugeFill(m_rcIcon.height(), m_nSvClients, m_nSvMaxClients), QColor(0, 255, 0));
    }
    drawIcon(painter, statusMarkBitmap(m_nStatus), m_rcBox.left, m_rcBox.top);
    DrawTroubleMarks(painter);
    PlaceRows();
    for (int i = 0; i < m_nHubs; ++i)
        DrawHubRow(painter, m_hubs[static_cast<std::size_t>(i)]);
}

void CGTV::Place(const Rect& box)
{
    CCommonObject::Place(box);
    PlaceRows();
}

void CGTV::PlaceRows()
{
    for (int i = 0; i < m_nHubs; ++i) {
        const int top = m_rcBox.top + kIconHeight + 5 + kRowHeight * i;
        m_hubs[static_cast<std::size_t>(i)].m_rcRow = {m_rcBox.left + 3, top, m_rcBox.right - 3,
                                                       top + kRowHeight};
    }
}

void CGTV::DrawHubRow(QPainter& painter, CHubInfo& hub)
{
    drawFramedBox(painter, hub.m_rcRow, Qt::black, 1,
                  &hub == m_pSelectedHub ? QColor(160, 243, 230) : Qt::white);

    drawRowText(painter, hub.m_rcRow, QStringLiteral("#%1").arg(hub.m_nHubNum), 40, 800,
                QColor(200, 200, 200), Qt::AlignCenter);
    drawRowText(painter, hub.m_rcRow, decodeText(hub.m_strDesc), 16, 400, QColor(59, 28, 221),
                Qt::AlignLeft | Qt::AlignTop);
    const std::string* followed = hub.FollowedName();
    drawRowText(painter, hub.m_rcRow, followed ? decodeText(*followed) : QStringLiteral("?"), 20, 700,
                QColor(223, 51, 99), Qt::AlignHCenter | Qt::AlignBottom);
}
