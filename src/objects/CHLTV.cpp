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
#include <algorithm>
#include <unordered_set>

namespace {

// Lines that come back to "record" within this time are its answer.
constexpr std::int64_t kRecordAnswerSeconds = 10;

// How proxies refuse to record: not connected, already recording, no file.
bool isRecordRefusal(const std::string& line)
{
    for (std::string_view start : {"Cannot record", "Can't record", "Already recording", "Usage: record",
                                   "Couldn't open", "Cannot open", "Failed to"}) {
        if (beginsWith(line, start))
            return true;
    }
    return false;
}

} // namespace

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

bool CHLTV::IsRelayLost() const
{
    return (m_nStatus == CSStatus_CONTROL || m_nStatus == CSStatus_FULLCONTROL) &&
           m_timeNotConnectedSince != 0;
}

bool CHLTV::RelaysNothing() const
{
    return m_bStatusRead && m_strLinkedAddress.empty();
}

std::int64_t CHLTV::NotConnectedSeconds() const
{
    return m_timeNotConnectedSince == 0 ? 0 : std::max<std::int64_t>(0, Now() - m_timeNotConnectedSince);
}

bool CHLTV::StopAsked() const
{
    return Now() - m_timeStopSent < 60;
}

void CHLTV::SendCommand(std::string command)
{
    const std::string_view verb = std::string_view(command).substr(0, command.find(' '));
    if (verb == "record")
        m_timeRecordSent = Now();
    else if (verb == "stoprecord")
        m_timeStopSent = Now();
    CHLServer::SendCommand(std::move(command));
}

void CHLTV::Reconnect(CCommonObject& target)
{
    m_timeLastReconnect = Now();
    m_log.Add("Quorvane : relay lost, connecting to " + m_strWantedUpstream + " again");
    DropOn(&target);
}

void CHLTV::ForgetUpstream()
{
    m_strWantedUpstream.clear();
    m_timeNotConnectedSince = 0;
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
        m_strWantedUpstream = sameZone ? proxy->GetName() : proxy->GetExternalName();
        SendConnect(m_strWantedUpstream);
        m_strLinkedAddress.clear();
        m_pLinked = target;
    } else if (auto* server = dynamic_cast<CHLServer*>(target)) {
        SetServerPassword(server->m_strServerPassword);
        m_strWantedUpstream = server->GetName();
        SendConnect(server->GetName());
        // Linked at once, also when the proxy relayed another server: the
        // link line, the page and automatic recording follow the drop, and
        // the line turns solid when the status names the new server.
        if (RconUsable()) {
            m_strLinkedAddress.clear();
            m_pLinked = target;
        }
    } else {
        m_strWantedUpstream = target->GetName();
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
        if (Now() - m_timeRecordSent < kRecordAnswerSeconds && isRecordRefusal(line)) {
            m_strRecordRefusal = line;
            ++m_nRecordRefusals;
        }
        readProxyStatusLine(line, fields, flags);
    }
    if (flags.headerSeen && !flags.recordingSeen)
        fields.recordFile.clear();
    // A status without its upstream line relays nothing.
    if (flags.headerSeen && !flags.linkSeen)
        fields.linkedAddress.clear();
    if (fields.recordFile != m_strRecordFile)
        m_timeRecordingSince = fields.recordFile.empty() ? 0 : Now();
    m_nMaxClients = fields.maxClients;
    m_nClients = fields.clients;
    m_fOutRate = fields.outRate;
    if (fields.linkedAddress != m_strLinkedAddress || m_timeRelayingSince == 0)
        m_timeRelayingSince = fields.linkedAddress.empty() ? 0 : Now();
    m_strLinkedAddress = std::move(fields.linkedAddress);
    m_strRecordFile = std::move(fields.recordFile);
    if (flags.headerSeen || flags.linkSeen) {
        m_bStatusRead = true;
        if (!m_strLinkedAddress.empty()) {
            m_strWantedUpstream = m_strLinkedAddress;
            m_timeNotConnectedSince = 0;
        } else if (!m_strWantedUpstream.empty() && m_timeNotConnectedSince == 0) {
            m_timeNotConnectedSince = Now();
        }
    }

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
    // A proxy that relays nothing cannot record; it would refuse every time.
    if (server->m_bMatchRunning && m_strRecordFile.empty() && !RelaysNothing())
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
