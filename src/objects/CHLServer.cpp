#include "objects/CHLServer.h"

#include "core/CanvasTone.h"
#include "core/Operator.h"
#include "core/Painting.h"
#include "core/TextCodec.h"
#include "core/TextTokens.h"
#include "objects/Gauges.h"
#include "objects/IconLibrary.h"
#include "objects/OobDatagrams.h"
#include "objects/RconCommandText.h"
#include "objects/RconNotices.h"
#include "objects/ServerReplies.h"

#include <QPainter>
#include <algorithm>

namespace {

constexpr std::int64_t kReplyTimeout = 10; // seconds of silence before "Timeout"
constexpr int kMaxChallengeResendsPerTick = 2;
// A ban is often lifted (by hand or after its term): asked this often.
constexpr std::int64_t kBanProbeSeconds = 600;

// Match states of the report: 1 warm-up, 2 first half, 3 half-time,
// 4 second half, 5 over; 0 no match.
bool isRunningState(std::int32_t state)
{
    return state == 2 || state == 4;
}

bool isKnownStoppedState(std::int32_t state)
{
    return state == 0 || state == 1 || state == 3 || state == 5;
}

} // namespace

CHLServer::CHLServer(const CoreContext& context) : CCommonObject(context)
{
    m_nBitmapId = 160;
    m_nPhase = 0;
}

bool CHLServer::IsNamed(const std::string& name) const
{
    return CCommonObject::IsNamed(name) || (!m_strReportedAddress.empty() && m_strReportedAddress == name);
}

bool CHLServer::IsGameServer() const
{
    return true;
}

void CHLServer::CheckTimeout()
{
    if (Now() - m_timeLastReply > kReplyTimeout)
        SetStatus(CSStatus_TIMEOUT);
}

void CHLServer::Tick()
{
    m_nChallengeResends = 0;
    CheckTimeout();
    ProbeBan();
    m_dialect.ForgetIfSilent(Now());
    RunPollPhase(m_nPhase);
    m_nPhase = (m_nPhase + 1) % 6;
}

void CHLServer::RunPollPhase(int phase)
{
    switch (phase) {
    case 0:
        RequestDetails();
        break;
    case 1:
        if (m_nStatus == CSStatus_MONITORING && !m_strRconPassword.empty())
            SetStatus(CSStatus_MONITORING);
        break;
    case 2:
        RequestPlayers();
        break;
    case 3:
        // Commands would carry a challenge the machine has refused: ask again.
        if (m_rconChallenge.AwaitingChallenge()) {
            RequestChallenge();
            break;
        }
        QueryMatchReport();
        QueryStatus();
        QueryServerPassword();
        break;
    case 4:
        DetectClans();
        break;
    default:
        break;
    }
}

void CHLServer::ProbeBan()
{
    if (!RconSuspended() || RconSuspendReason() != notices::kBanned || m_strRconPassword.empty() ||
        Now() < m_nBanProbeAt)
        return;
    m_nBanProbeAt = Now() + kBanProbeSeconds;
    // A challenge asks for nothing: the answer tells whether we are still banned.
    m_bBanProbing = true;
    SendDatagram(oob::challengeQuery());
}

void CHLServer::SetStatus(CSStatus status)
{
    if (status >= CSStatus_CONTROL && RconSuspended())
        status = CSStatus_MONITORING;
    if (status < CSStatus_CONTROL)
        m_bRconLost = true;
    if (status == CSStatus_MONITORING && !m_strRconPassword.empty())
        RequestChallenge();
    m_nStatus = status;
}

void CHLServer::SendCommand(std::string command)
{
    if (!RconUsable())
        return;
    SendDatagram(oob::rconCommand(m_nChallenge, m_strRconPassword, command));
    ReportCommand(command);
}

void CHLServer::SetRconPassword(std::string password)
{
    CCommonObject::SetRconPassword(std::move(password));
    m_nChallenge = 0;
    m_rconChallenge.Reset();
}

void CHLServer::Kick(std::string name)
{
    const StatusPlayer* found = nullptr;
    int matches = 0;
    for (const StatusPlayer& player : m_statusPlayers) {
        if (player.name == name) {
            found = &player;
            ++matches;
        }
    }
    if (matches == 1) {
        KickByUserId(found->userId, name);
        return;
    }
    const auto kick = rconcmd::kickByName(name);
    if (!kick) {
        m_context.op->showMessage(
            "Cannot kick " + name +
            " by name: the name holds a double quote, a semicolon or a line break, and the "
            "server's status has not given the player's userid. Try again in a few seconds.");
        return;
    }
    SendCommand(rconcmd::sayKicking(name));
    SendCommand(*kick);
}

void CHLServer::KickByUserId(std::int32_t userId, const std::string& name)
{
    SendCommand(rconcmd::sayKicking(name));
    SendCommand(rconcmd::kickByUserId(userId));
}

void CHLServer::RequestStatus()
{
    SendCommand("status");
}

void CHLServer::RequestChallenge()
{
    if (RconSuspended())
        return;
    SendDatagram(oob::challengeQuery());
}

void CHLServer::RequestPlayers()
{
    if (m_dialect.AsksClassic())
        SendQuery(oob::playersQuery());
    if (m_dialect.AsksCurrent()) {
        m_bPlayersQueryLast = true;
        m_bRulesQueryLast = false;
        SendQuery(oob::playerQuery(m_queryChallenge.value_or(oob::kNoQueryChallenge)));
    }
}

void CHLServer::RequestDetails()
{
    if (m_dialect.AsksClassic())
        SendQuery(oob::detailsQuery());
    if (m_dialect.AsksCurrent()) {
        m_bPlayersQueryLast = false;
        m_bRulesQueryLast = false;
        SendQuery(oob::infoQuery(m_queryChallenge));
    }
}

void CHLServer::RequestRules()
{
    if (m_dialect.AsksClassic())
        SendQuery(oob::rulesQuery());
    if (m_dialect.AsksCurrent()) {
        m_bRulesQueryLast = true;
        SendQuery(oob::rulesChallengeQuery(m_queryChallenge.value_or(oob::kNoQueryChallenge)));
    }
}

bool CHLServer::RequestMapList()
{
    if (!RconUsable())
        return false;
    m_mapList.clear();
    m_timeMapsAsked = Now();
    SendCommand("maps *");
    return true;
}

bool CHLServer::RequestBanLists()
{
    if (!RconUsable())
        return false;
    m_banLists.clear();
    m_timeBansAsked = Now();
    SendCommand("listid");
    SendCommand("listip");
    return true;
}

void CHLServer::QueryStatus()
{
    SendCommand("status");
}

void CHLServer::QueryServerPassword()
{
    SendCommand("sv_password");
}

void CHLServer::QueryMatchReport()
{
    SendCommand("nxn_match_report");
}

void CHLServer::DetectClans()
{
    // The same names give the same clans: nothing to do until they change
    // (the names are compared through a 64-bit FNV-1a hash, without a copy).
    const int count = std::clamp(m_nPlayers, 0, kMaxPlayers);
    std::uint64_t hash = 14695981039346656037ull ^ static_cast<std::uint64_t>(count);
    for (int i = 0; i < count; ++i) {
        for (const char c : m_strPlayers[static_cast<std::size_t>(i)])
            hash = (hash ^ static_cast<unsigned char>(c)) * 1099511628211ull;
        hash = (hash ^ 0x100u) * 1099511628211ull; // ends the name
    }
    if (m_nClansInput == hash)
        return;
    m_nClansInput = hash;
    std::vector<std::string> names(m_strPlayers.begin(), m_strPlayers.begin() + count);
    m_clanDetector.m_nMinShare = 25;
    m_clanDetector.m_nMaxShare = 100;
    m_clanDetector.m_nMinMembers = 3;
    m_clanDetector.m_nMinPlayers = 5;
    {
        const std::lock_guard guard(m_csClans);
        m_strClans.clear();
    }
    m_clanDetector.Detect(names, m_csClans, m_strClans);
}

std::string CHLServer::Clans() const
{
    const std::lock_guard guard(m_csClans);
    return m_strClans;
}

void CHLServer::LeaveTimeout()
{
    if (m_nStatus == CSStatus_TIMEOUT)
        SetStatus(CSStatus_MONITORING);
}

void CHLServer::ApplyReportedAddress(const std::string& address, std::int32_t port)
{
    // Kept only when it reads as a plausible host and port: it is matched
    // against names and shown, nothing more.
    if (address.empty() || address.size() > 253 || port < 1 || port > 65535 ||
        address.find_first_of(std::string_view(" \t\r\n\0\"'<>;", 10)) != std::string::npos)
        return;
    std::string reported = address + ":" + std::to_string(port);
    if (reported == m_strReportedAddress)
        return;
    m_strReportedAddress = std::move(reported);
    AddressChanged();
    if (m_strReportedAddress != GetName())
        m_log.Add("Quorvane : the machine reports its address as " + m_strReportedAddress);
}

void CHLServer::ApplyDetails(const replies::Details& details, bool choosePicture)
{
    // The typed address stays the object's address: what a machine says of
    // itself only helps to match the names others report.
    if (details.selfAddress && details.selfPort)
        ApplyReportedAddress(*details.selfAddress, *details.selfPort);
    if (details.hostname)
        m_strHostname = *details.hostname;
    if (details.map)
        m_strMap = *details.map;
    if (details.gameDir)
        m_strGameDir = *details.gameDir;
    if (details.gameDesc)
        m_strGameDesc = *details.gameDesc;
    if (details.maxPlayers)
        m_nMaxPlayers = *details.maxPlayers;
    if (choosePicture)
        m_nBitmapId = m_strGameDir == "cstrike" ? 154 : 160;
}

void CHLServer::ApplyPlayers(const replies::Players& players)
{
    if (players.overLimit)
        return;
    m_nPlayers = static_cast<std::int32_t>(players.names.size());
    for (std::size_t i = 0; i < players.names.size(); ++i) {
        m_strPlayers[i] = players.names[i];
        m_nPlayerFrags[i] = players.frags[i];
        m_nPlayerSeconds[i] = players.seconds[i];
    }
}

void CHLServer::OnQueryChallenge(std::string_view datagram)
{
    const auto challenge = replies::parseQueryChallenge(datagram);
    if (!challenge || m_nChallengeResends >= kMaxChallengeResendsPerTick)
        return;
    m_queryChallenge = *challenge;
    ++m_nChallengeResends;
    if (m_bRulesQueryLast)
        SendQuery(oob::rulesChallengeQuery(*challenge));
    else if (m_bPlayersQueryLast)
        SendQuery(oob::playerQuery(*challenge));
    else
        SendQuery(oob::infoQuery(*challenge));
}

bool CHLServer::OnQueryReply(std::string_view datagram, bool choosePicture)
{
    if (oob::hasSplitPrefix(datagram)) {
        // A whole reply is handled like one that came in one piece; what it
        // holds cannot be split again (it starts with FF FF FF FF).
        if (const auto whole = m_splitReplies.add(datagram, Now()))
            OnReply(*whole);
        return true;
    }
    switch (datagram[4]) {
    case 'E':
        if (auto rules = replies::parseRules(datagram)) {
            m_rules = std::move(*rules);
            m_timeRules = Now();
        }
        m_bRulesQueryLast = false;
        break;
    case 'C':
    case 'm':
        m_dialect.OnClassicReply(Now());
        ApplyDetails(replies::parseDetails(datagram), choosePicture);
        break;
    case 'I':
        m_dialect.OnCurrentReply(Now());
        ApplyDetails(replies::parseInfo(datagram), choosePicture);
        break;
    case 'D':
        m_dialect.OnPlayersReply(Now());
        ApplyPlayers(replies::parsePlayers(datagram));
        break;
    case 'A':
        OnQueryChallenge(datagram);
        return true; // not a reply of the machine's state: no time stamp
    default:
        return false;
    }
    LeaveTimeout();
    MarkReply();
    return true;
}

void CHLServer::OnReply(std::string_view datagram)
{
    if (datagram.size() < 5 || OnQueryReply(datagram, true))
        return;
    if (datagram[4] == 'c') {
        if (TakeChallenge(datagram)) {
            SetStatus(CSStatus_CONTROL);
            RequestStatus();
        }
        MarkReply();
    } else if (datagram[4] == 'l') {
        OnPrint(datagram);
    } else if (datagram[4] == '9') {
        OnReject();
    }
}

bool CHLServer::TakeChallenge(std::string_view datagram)
{
    // A challenge is what a banned address does not get: given for our
    // probe, the ban is over. A stray one proves nothing.
    if (m_bBanProbing) {
        m_bBanProbing = false;
        LiftBanSuspension();
    }
    if (RconSuspended())
        return false;
    if (const auto challenge = oob::parseChallengeReply(datagram))
        m_nChallenge = *challenge;
    m_rconChallenge.OnChallenge();
    return true;
}

void CHLServer::OnReject()
{
    if (RconUsable())
        ApplyRconAction(m_rconChallenge.OnReject());
}

void CHLServer::OnBadPassword()
{
    if (RconUsable())
        ApplyRconAction(m_rconChallenge.OnBadPassword());
}

void CHLServer::ApplyRconAction(RconChallenge::Action action)
{
    if (action != RconChallenge::Action::None)
        m_bRconLost = true; // a restart forgets the challenge, and more
    switch (action) {
    case RconChallenge::Action::AskChallenge:
        RequestChallenge();
        break;
    case RconChallenge::Action::WrongPassword:
        // The password is kept (the operator's credential survives the next
        // save); it is only no longer used until the operator enters one.
        if (SuspendRcon(notices::kBadPassword))
            m_log.Add(notices::kReenterPassword);
        LeaveControl();
        break;
    case RconChallenge::Action::LoseControl:
        LeaveControl();
        break;
    case RconChallenge::Action::None:
        break;
    }
}

void CHLServer::LeaveControl()
{
    m_bRconLost = true;
    if (m_nStatus > CSStatus_MONITORING)
        m_nStatus = CSStatus_MONITORING;
}

bool CHLServer::OnBanned(const std::vector<std::string>& lines)
{
    const std::string* banned = replies::lineBeginningWith(lines, replies::kBannedPrefix);
    if (!banned)
        return false;
    // Said once, not on every answer: the machine sends it for every query.
    if (!RconSuspended() || RconSuspendReason() != notices::kBanned) {
        m_log.Add(*banned);
        SuspendRcon(notices::kBanned);
        m_nBanProbeAt = Now() + kBanProbeSeconds;
    }
    m_bBanProbing = false; // answered: still banned
    LeaveControl();
    MarkReply();
    return true;
}

void CHLServer::OnPrint(std::string_view datagram)
{
    const std::vector<std::string> lines = replies::printLines(datagram);
    if (OnBanned(lines))
        return;
    bool refused = false;
    for (const std::string& line : lines)
        refused = ApplyPrintLine(line) || refused;
    if (!refused) {
        OnRconAccepted();
        if (m_bRconLost && RconUsable()) {
            m_bRconLost = false;
            CountRconGain();
        }
    }
    if (m_nStatus < CSStatus_CONTROL && RconUsable() && !refused)
        SetStatus(CSStatus_CONTROL);
    MarkReply();
}

bool CHLServer::ApplyPrintLine(const std::string& line)
{
    m_log.Add(line);
    if (Now() - m_timeMapsAsked <= kMapListSeconds)
        m_mapList.addLine(line);
    if (Now() - m_timeBansAsked <= kBanListSeconds)
        m_banLists.addLine(line);
    if (beginsWith(line, replies::kServerPasswordPrefix))
        m_strServerPassword = replies::parseServerPassword(line);
    if (beginsWith(line, replies::kMatchReportPrefix)) {
        const replies::MatchReport report = replies::parseMatchReport(line);
        m_strTeamA = report.teamA;
        m_strTeamB = report.teamB;
        m_nMatchState = report.state;
        m_nScoreA1 = report.scoreA1;
        m_nScoreA2 = report.scoreA2;
        m_nScoreB1 = report.scoreB1;
        m_nScoreB2 = report.scoreB2;
        if (isRunningState(m_nMatchState))
            m_bMatchRunning = true;
        else if (isKnownStoppedState(m_nMatchState))
            m_bMatchRunning = false;
    }
    if (beginsWith(line, replies::kNoMatchPrefix)) {
        m_bMatchRunning = false;
        m_nMatchState = m_nScoreA1 = m_nScoreA2 = m_nScoreB1 = m_nScoreB2 = 0;
        m_strTeamA.clear();
        m_strTeamB.clear();
    }
    if (m_statusTable.readLine(line))
        m_statusPlayers = m_statusTable.takeTable();
    if (beginsWith(line, replies::kBadPasswordPrefix)) {
        OnBadPassword();
        return true;
    }
    return false;
}

void CHLServer::DrawHostname(QPainter& painter, bool greyed)
{
    painter.save();
    painter.setFont(canvasFont(12));
    painter.setPen(greyed ? DownTextColor() : canvasColor(Qt::black));
    drawSingleLine(painter, Rect{m_rcBox.left, m_rcIcon.bottom + 3, m_rcBox.right, m_rcIcon.bottom + 18},
                   decodeText(m_strHostname), Qt::AlignHCenter | Qt::AlignBottom);
    painter.restore();
}

void CHLServer::DrawStatusMark(QPainter& painter)
{
    drawIcon(painter, statusMarkBitmap(m_nStatus), m_rcBox.left, m_rcBox.top);
    DrawTroubleMarks(painter);
}

void CHLServer::Draw(QPainter& painter)
{
    CCommonObject::Draw(painter);
    if (m_nStatus != CSStatus_TIMEOUT) {
        drawGauge(painter, m_rcIcon, m_rcIcon.right + 2, playerGaugeFill(m_rcIcon.height(), m_nPlayers),
                  QColor(0, 0, 255));
        DrawHostname(painter);
    } else if (IsDown()) {
        DrawHostname(painter, true);
    }
    DrawStatusMark(painter);
    if ((m_nStatus == CSStatus_CONTROL || m_nStatus == CSStatus_FULLCONTROL) && m_bMatchRunning)
        drawIcon(painter, 157, m_rcBox.left, m_rcBox.top + 18);
}
