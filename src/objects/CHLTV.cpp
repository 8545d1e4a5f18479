#include "objects/CHLTV.h"

#include "core/Operator.h"
#include "core/TextTokens.h"
#include "objects/DemoNames.h"
#include "objects/Gauges.h"
#include "objects/IconLibrary.h"
#include "objects/OobDatagrams.h"
#include "objects/ProxyStatus.h"
#include "objects/RconCommandText.h"
#include "objects/ServerReplies.h"

#include <QPainter>
#include <unordered_set>

CHLTV::CHLTV(const CoreContext& context) : CHLServer(context)
{
    m_nBitmapId = 153;
}

bool CHLTV::IsNamed(const std::string& name) const
{
    return CHLServer::IsNamed(name) || GetExternalName() == name;
}

bool CHLTV::CanDrag() const
{
    return m_nStatus == CSStatus_CONTROL || m_nStatus == CSStatus_FULLCONTROL;
}

bool CHLTV::CanRecord() const
{
    return true;
}

bool CHLTV::IsGameServer() const
{
    return false;
}

std::string CHLTV::GetExternalName() const
{
    return m_strExternalAddress + ":" + std::to_string(m_nExternalPort);
}

void CHLTV::SetServerPassword(const std::string& password)
{
    if (password.empty())
        return;
    // The password comes from the relayed machine: one that could start a
    // command of its own is not passed on.
    if (const auto command = rconcmd::serverPassword(password))
        SendCommand(*command);
    else
        m_log.Add(
            "Quorvane : the server password holds a quote, a semicolon or a line break; it was not passed "
            "to the proxy");
}

void CHLTV::SendConnect(const std::string& address)
{
    if (const auto command = rconcmd::connect(address))
        SendCommand(*command);
    else
        m_log.Add("Quorvane : cannot connect to an address that holds a quote, a semicolon or a line break");
}

void CHLTV::DropOn(CCommonObject* target)
{
    if (!target)
        return;
    if (auto* proxy = dynamic_cast<CHLTV*>(target)) {
        SetServerPassword(proxy->m_strProxyPassword);
        const ObjectGroup* mine = m_pGroup.view();
        const ObjectGroup* theirs = proxy->m_pGroup.view();
        const bool sameZone = mine && theirs && mine->ZoneKey() == theirs->ZoneKey();
        SendConnect(sameZone ? proxy->GetName() : proxy->GetExternalName());
        m_strLinkedAddress.clear();
        m_pLinked = target;
    } else if (auto* server = dynamic_cast<CHLServer*>(target)) {
        SetServerPassword(server->m_strServerPassword);
        SendConnect(server->GetName());
        // Linked at once, also when the proxy relayed another server: the
        // link line, the page and automatic recording follow the drop, and
        // the line turns solid when the status names the new server.
        if (RconUsable()) {
            m_strLinkedAddress.clear();
            m_pLinked = target;
        }
    } else {
        SendConnect(target->GetName());
        m_strLinkedAddress.clear();
        m_pLinked = target;
    }
}

void CHLTV::RunPollPhase(int phase)
{
    // A proxy asks for the challenge (whose answer asks for "status") where a
    // game server sends its three rcon queries, and records in step 5.
    if (phase == 3)
        RequestChallenge();
    else if (phase == 5)
        CheckAutoRecord();
    else
        CHLServer::RunPollPhase(phase);
}

void CHLTV::OnReply(std::string_view datagram)
{
    // A proxy keeps its picture whatever game it relays.
    if (datagram.size() < 5 || OnQueryReply(datagram, false))
        return;
    if (datagram[4] == 'c') {
        // Unlike a game server, the challenge alone does not mean control.
        if (TakeChallenge(datagram))
            RequestStatus();
        MarkReply();
    } else if (datagram[4] == 'l') {
        OnStatusText(datagram);
    } else if (datagram[4] == '9') {
        OnReject();
    }
}

void CHLTV::OnStatusText(std::string_view datagram)
{
    const std::vector<std::string> lines = replies::textLines(proxyPrintText(datagram));
    if (OnBanned(lines))
        return;
    ProxyStatusFields fields{m_nMaxClients, m_nClients, m_fOutRate, m_strLinkedAddress, m_strRecordFile};
    ProxyStatusFlags flags;
    bool refused = false;
    for (const std::string& line : lines) {
        m_log.Add(line);
        if (beginsWith(line, replies::kBadPasswordPrefix)) {
            refused = true;
            OnBadPassword();
            continue;
        }
        readProxyStatusLine(line, fields, flags);
    }
    if (flags.headerSeen && !flags.recordingSeen)
        fields.recordFile.clear();
    m_nMaxClients = fields.maxClients;
    m_nClients = fields.clients;
    m_fOutRate = fields.outRate;
    if (fields.linkedAddress != m_strLinkedAddress || m_timeRelayingSince == 0)
        m_timeRelayingSince = fields.linkedAddress.empty() ? 0 : Now();
    m_strLinkedAddress = std::move(fields.linkedAddress);
    m_strRecordFile = std::move(fields.recordFile);

    // A refusal proves no control; neither does anything while rcon is
    // suspended.
    if (!refused)
        OnRconAccepted();
    if (m_nStatus < CSStatus_CONTROL && !refused && !RconSuspended())
        SetStatus(CSStatus_CONTROL);
    MarkReply();
}

CHLServer* CHLTV::GetRelayedServer()
{
    std::unordered_set<const CCommonObject*> visited{this};
    CCommonObject* current = m_pLinked;
    while (current) {
        if (auto* proxy = dynamic_cast<CHLTV*>(current)) {
            if (!visited.insert(proxy).second)
                return nullptr; // proxies relaying each other in a ring
            current = proxy->m_pLinked;
        } else if (auto* server = dynamic_cast<CHLServer*>(current)) {
            return server;
        } else {
            if (m_pReportedChainEnd != current) {
                m_pReportedChainEnd = current;
                m_context.op->showMessage(
                    "CHLTV::CheckAutoRecord() : Internal error, report this bug to the author");
            }
            return nullptr;
        }
    }
    return nullptr;
}

void CHLTV::CheckAutoRecord()
{
    if (!m_bAutoRecord)
        return;
    CHLServer* server = GetRelayedServer();
    if (!server)
        return;
    if (server->m_bMatchRunning && m_strRecordFile.empty())
        SendCommand("record " + MakeAutoDemoName());
    if (!server->m_bMatchRunning && !m_strRecordFile.empty())
        SendCommand("stoprecord");
}

std::string CHLTV::MakeAutoDemoName()
{
    std::string teams;
    CHLServer* server = GetRelayedServer();
    if (server && server->m_bMatchRunning)
        teams = server->m_strTeamA + "_" + server->m_strTeamB;
    else
        teams = Clans();
    std::string name = demoTimeStamp(Now()) + "_" + m_strMap + "_" + teams;
    SanitizeDemoName(name);
    return name;
}

void CHLTV::DrawLinks(QPainter& painter)
{
    if (m_nStatus == CSStatus_TIMEOUT || !m_pLinked)
        return;
    bool dashed = true;
    if (m_strLinkedAddress.empty()) {
        dashed = true;
    } else if (m_pLinked->GetName() == m_strLinkedAddress) {
        dashed = false;
    } else if (auto* proxy = dynamic_cast<CHLTV*>(m_pLinked)) {
        if (proxy->GetExternalName() != m_strLinkedAddress)
            return; // linked to a proxy the status does not name
        dashed = false;
    }
    DrawLink(painter, m_rcIcon.center(), m_pLinked->m_rcIcon.center(), dashed);
}

void CHLTV::Draw(QPainter& painter)
{
    CCommonObject::Draw(painter);
    if (m_nStatus != CSStatus_TIMEOUT) {
        const int height = m_rcIcon.height();
        drawGauge(painter, m_rcIcon, m_rcIcon.right + 2, playerGaugeFill(height, m_nPlayers),
                  QColor(0, 0, 255));
        drawGauge(painter, m_rcIcon, m_rcIcon.right + 11, ratioGaugeFill(height, m_nClients, m_nMaxClients),
                  QColor(0, 255, 0));
        drawGauge(painter, m_rcIcon, m_rcIcon.right + 20, rateGaugeFill(height, m_fOutRate),
                  QColor(255, 0, 0));
        DrawHostname(painter);
    } else if (IsDown()) {
        DrawHostname(painter, true);
    }
    DrawStatusMark(painter);
    if (m_nStatus >= CSStatus_CONTROL) {
        if (!m_strRecordFile.empty())
            drawIcon(painter, 151, m_rcBox.left + 18, m_rcBox.top + 3);
        else if (m_bAutoRecord)
            drawIcon(painter, 155, m_rcBox.left + 18, m_rcBox.top + 3);
    }
}
