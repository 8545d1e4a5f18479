#include "layout/LedgerFeed.h"

#include "ledger/Ledger.h"
#include "objects/CGTV.h"
#include "objects/CHLServer.h"
#include "objects/CHLTV.h"
#include "objects/PolledReplies.h"
#include "objects/ServerReplies.h"

#include <QHostAddress>
#include <QString>
#include <cstdlib>
#include <pwd.h>
#include <unistd.h>

namespace
{
std::string CurrentOsUser()
{
    if (const passwd* entry = getpwuid(getuid()))
        return entry->pw_name;
    const char* name = std::getenv("USER");
    return name ? name : "";
}

std::vector<std::string> SecretsOf(const CCommonObject& object)
{
    std::vector<std::string> secrets{object.m_strRconPassword};
    if (const auto* server = dynamic_cast<const CHLServer*>(&object))
        secrets.push_back(server->m_strServerPassword);
    if (const auto* proxy = dynamic_cast<const CHLTV*>(&object))
        secrets.push_back(proxy->m_strProxyPassword);
    return secrets;
}

// Four numbers 0..255 joined by dots, each without a leading zero.
bool IsPlainIpv4(const std::string& text)
{
    int parts = 0;
    std::size_t at = 0;
    while (at <= text.size())
    {
        std::size_t end = at;
        int value = 0;
        while (end < text.size() && end - at < 4 && text[end] >= '0' && text[end] <= '9')
            value = value * 10 + (text[end++] - '0');
        const std::size_t digits = end - at;
        if (digits == 0 || digits > 3 || value > 255 || (digits > 1 && text[at] == '0'))
            return false;
        ++parts;
        if (end == text.size())
            return parts == 4;
        if (text[end] != '.' || parts == 4)
            return false;
        at = end + 1;
    }
    return false;
}

// Adds item to a space-separated list unless it is there whole (an item may
// hold a blank itself: "proxy 127.0.0.1:27020"); true when added.
bool AddItem(std::string& list, const std::string& item)
{
    for (std::size_t at = list.find(item); at != std::string::npos; at = list.find(item, at + 1))
        if ((at == 0 || list[at - 1] == ' ') && (at + item.size() == list.size() || list[at + item.size()] == ' '))
            return false;
    if (list.size() + item.size() >= 3000)
        return false;
    list += (list.empty() ? "" : " ") + item;
    return true;
}
} // namespace

std::int64_t LedgerFeed::MatchStarted(const CCommonObject& server) const
{
    const auto found = m_states.find(&server);
    return found != m_states.end() && found->second.matchRunning ? found->second.matchStarted : 0;
}

std::string LedgerFeed::OsUser()
{
    return CurrentOsUser();
}

std::string LedgerFeed::TypedAddress(const CCommonObject& object)
{
    const char* kind = object.IsHubManager()                     ? "hub "
                       : dynamic_cast<const CHLTV*>(&object)     ? "proxy "
                       : dynamic_cast<const CHLServer*>(&object) ? "server "
                                                                 : "object ";
    return kind + object.GetName();
}

bool LedgerFeed::IsRealSteamId(const std::string& id)
{
    // STEAM_X:Y:Z with digits; STEAM_ID_LAN, STEAM_ID_PENDING, BOT and HLTV fail the shape.
    if (id.rfind("STEAM_", 0) != 0 && id.rfind("VALVE_", 0) != 0)
        return false;
    int colons = 0;
    bool digit = false;
    for (std::size_t i = 6; i < id.size(); ++i)
    {
        if (id[i] == ':')
        {
            if (!digit)
                return false;
            ++colons;
            digit = false;
        }
        else if (id[i] >= '0' && id[i] <= '9')
            digit = true;
        else
            return false;
    }
    return colons == 2 && digit && id.size() <= 40;
}

std::string LedgerFeed::AddressWithoutPort(const std::string& address)
{
    const std::size_t colon = address.rfind(':');
    const std::string host = colon == std::string::npos ? address : address.substr(0, colon);
    // A status table's dotted IPv4 address, already as it is written back:
    // the common case, without a round trip through QHostAddress.
    if (IsPlainIpv4(host))
        return host;
    QHostAddress parsed;
    if (host.empty() || !parsed.setAddress(QString::fromStdString(host)))
        return {};
    return parsed.toString().toStdString();
}

void LedgerFeed::CommandSent(const CCommonObject& object, const std::string& text, std::int64_t now)
{
    if (m_osUser.empty())
        m_osUser = CurrentOsUser();
    // Bounded: a script that sends thousands at once does not grow this without end.
    if (m_pending.size() >= 1000)
        AnswerCommands(now, true);
    m_pending.push_back({&object, TypedAddress(object), text, SecretsOf(object), object.m_log.added(), now});
    Flush(); // what answering the oldest kept
}

void LedgerFeed::Keep(LedgerRecord record)
{
    m_outbox.push_back(std::move(record));
}

void LedgerFeed::Flush()
{
    m_ledger.recordAll(m_outbox);
}

void LedgerFeed::Forget(const CCommonObject& object)
{
    m_states.erase(&object);
    for (PendingCommand& command : m_pending)
        if (command.object == &object)
            command.object = nullptr;
}

void LedgerFeed::ForgetAll(std::int64_t now)
{
    AnswerCommands(now, true);
    Flush();
    m_states.clear();
}

void LedgerFeed::AnswerCommands(std::int64_t now, bool all)
{
    while (!m_pending.empty() && (all || now - m_pending.front().at >= kAnswerSeconds))
    {
        PendingCommand command = std::move(m_pending.front());
        m_pending.pop_front();
        std::string answer;
        bool refused = false;
        if (command.object)
        {
            const CConsoleLog& log = command.object->m_log;
            const std::uint64_t gained = log.added() - command.logMark;
            const int first = std::max(0, log.count() - static_cast<int>(std::min<std::uint64_t>(gained, 50)));
            // The program's own polls answer into the same console: their
            // lines are no answer of the operator's, unless he asked the same.
            int lines = 0;
            for (int i = first; i < log.count() && lines < kAnswerLines; ++i)
            {
                const std::string& line = log.line(i);
                if (polled::answersAnotherPoll(line, command.text))
                    continue;
                if (line.rfind(replies::kBadPasswordPrefix, 0) == 0 || line.rfind(replies::kBannedPrefix, 0) == 0)
                    refused = true;
                answer += (answer.empty() ? "" : "\n") + line;
                ++lines;
            }
            refused = refused || command.object->RconSuspended();
        }
        if (refused)
            answer = answer.empty() ? "refused" : "refused\n" + answer;
        else if (answer.empty())
            answer = "no answer";
        CommandRecord record;
        record.at = command.at;
        record.osUser = m_osUser;
        record.object = command.typedAddress;
        record.text = std::move(command.text);
        record.secrets = std::move(command.secrets);
        record.answer = std::move(answer);
        Keep(std::move(record));
    }
}

void LedgerFeed::WatchAvailability(const CCommonObject& object, State& state, std::int64_t now)
{
    const bool down = object.IsDown();
    if (down != state.down)
    {
        Keep(AvailabilityRecord{now, TypedAddress(object), down ? "down" : "up",
                                           state.since ? now - state.since : 0});
        state.down = down;
        state.since = now;
    }
    // A proxy that relays nothing serves no spectator: out of service too.
    // A proxy that goes down keeps its relay state: it is down, not back.
    const bool relayLost = object.IsRelayLost();
    if (!down && relayLost != state.relayLost)
    {
        Keep(AvailabilityRecord{now, TypedAddress(object), relayLost ? "relay lost" : "relay back",
                                           state.relaySince ? now - state.relaySince : 0});
        state.relayLost = relayLost;
        state.relaySince = now;
    }
    const bool unreachable = object.IsUnreachable();
    if (unreachable && !state.unreachable)
        Keep(AvailabilityRecord{now, TypedAddress(object), "unreachable", 0});
    state.unreachable = unreachable;
    const bool refused = object.RconSuspended();
    if (refused != state.refused)
    {
        Keep(
            AvailabilityRecord{now, TypedAddress(object), refused ? "password refused" : "password accepted", 0});
        state.refused = refused;
    }
}

void LedgerFeed::WatchMatch(const CHLServer& server, State& state, std::int64_t now)
{
    const bool running = server.m_bMatchRunning && !server.IsDown();
    if (!running && !state.matchRunning)
        return;
    const bool starts = running && !state.matchRunning;
    if (starts)
    {
        state.matchRunning = true;
        state.matchStarted = now;
        state.scores.clear();
        state.proxies.clear();
        state.demos.clear();
        state.map.clear();
        state.teams.clear();
        state.teamA.clear();
        state.teamB.clear();
    }
    bool scoreChanged = false;
    bool recordingFound = false;
    if (running)
    {
        // Compared as numbers and names each second; written out only when they change.
        const int scoreA = server.m_nScoreA1 + server.m_nScoreA2;
        const int scoreB = server.m_nScoreB1 + server.m_nScoreB2;
        if (starts || scoreA != state.scoreA || scoreB != state.scoreB)
        {
            scoreChanged = true;
            state.scoreA = scoreA;
            state.scoreB = scoreB;
            if (state.scores.size() < 3000)
                state.scores += (state.scores.empty() ? "" : " ") + std::to_string(scoreA) + ":" + std::to_string(scoreB);
        }
        if (!server.m_strMap.empty() && server.m_strMap != state.map)
            state.map = server.m_strMap;
        if (!(server.m_strTeamA.empty() && server.m_strTeamB.empty()) &&
            (server.m_strTeamA != state.teamA || server.m_strTeamB != state.teamB))
        {
            state.teamA = server.m_strTeamA;
            state.teamB = server.m_strTeamB;
            state.teams = state.teamA + " vs " + state.teamB;
        }
        // A recording starts a while after the match and may stop before its
        // end is seen: each demo is kept when it first shows.
        if (const auto found = m_recorders.find(&server); found != m_recorders.end())
            for (const CHLTV* proxy : found->second)
            {
                if (AddItem(state.demos, proxy->m_strRecordFile))
                    recordingFound = true;
                AddItem(state.proxies, TypedAddress(*proxy));
            }
    }
    if (!(starts || scoreChanged || recordingFound || !running))
        return;
    MatchRecord match;
    match.object = TypedAddress(server);
    match.map = state.map;
    match.teams = state.teams;
    match.scores = state.scores;
    match.started = state.matchStarted;
    match.proxies = state.proxies;
    match.demos = state.demos;
    if (!running)
    {
        state.matchRunning = false;
        match.ended = now;
        match.ending = server.IsDown() ? "server down" : "finished";
    }
    Keep(std::move(match));
}

void LedgerFeed::FindRecorders(const std::vector<std::unique_ptr<CCommonObject>>& objects)
{
    m_recorders.clear();
    for (const auto& object : objects)
        if (auto* proxy = dynamic_cast<CHLTV*>(object.get()); proxy && !proxy->m_strRecordFile.empty())
            if (const CHLServer* server = proxy->GetRelayedServer())
                m_recorders[server].push_back(proxy);
}

void LedgerFeed::RecordSightings(const CCommonObject& object, std::int64_t now)
{
    const auto* server = dynamic_cast<const CHLServer*>(&object);
    if (!server || dynamic_cast<const CHLTV*>(&object) || object.IsDown())
        return;
    const std::string where = TypedAddress(object);
    if (!server->m_statusPlayers.empty())
    {
        for (const StatusPlayer& player : server->m_statusPlayers)
        {
            if (player.uniqueId == "BOT" || player.uniqueId == "HLTV")
                continue;
            Keep(SightingRecord{now, where, player.name,
                                           IsRealSteamId(player.uniqueId) ? player.uniqueId : std::string(),
                                           AddressWithoutPort(player.address)});
        }
        return;
    }
    for (int i = 0; i < std::min(object.GetPlayerCount(), CCommonObject::kMaxPlayers); ++i)
        if (!object.GetPlayerNames()[static_cast<std::size_t>(i)].empty())
            Keep(SightingRecord{now, where, object.GetPlayerNames()[static_cast<std::size_t>(i)], "", ""});
}

void LedgerFeed::NewPhase(State& state, std::int64_t now)
{
    // The phases are dealt out from the second at which the feed starts, and
    // an object whose second of this minute has passed waits for the next
    // minute's: a park seen for the first time mid-minute is spread over the
    // minute like any other, not kept in one pause.
    if (m_nextPhase < 0)
        m_nextPhase = static_cast<int>(now % 60);
    state.phase = m_nextPhase;
    m_nextPhase = (m_nextPhase + 1) % 60;
    if (state.phase < now % 60)
        state.lastMinute = now / 60;
}

void LedgerFeed::Tick(const std::vector<std::unique_ptr<CCommonObject>>& objects, std::int64_t now, int part,
                      int parts)
{
    if (part == 0)
        AnswerCommands(now, false);
    // Found again for each part: an object may go between two of them.
    FindRecorders(objects);
    const std::int64_t minute = now / 60;
    const std::size_t count = objects.size();
    const auto bound = [&](int at) { return count * static_cast<std::size_t>(at) / static_cast<std::size_t>(parts); };
    for (std::size_t i = bound(part); i < bound(part + 1); ++i)
    {
        const auto& object = objects[i];
        State& state = m_states[object.get()];
        if (state.phase < 0)
            NewPhase(state, now);
        WatchAvailability(*object, state, now);
        const bool proxy = dynamic_cast<const CHLTV*>(object.get()) != nullptr;
        if (const auto* server = dynamic_cast<const CHLServer*>(object.get()); server && !proxy)
            WatchMatch(*server, state, now);
        if (state.lastMinute == minute || now % 60 < state.phase)
            continue;
        state.lastMinute = minute;
        if (object->m_nStatus == CSStatus_TIMEOUT || object->m_nStatus == CSStatus_BAD)
            continue;
        RecordSightings(*object, now);
        const int count = object->GetPlayerCount();
        Keep(HistoryRecord{now - now % 60, TypedAddress(*object), proxy ? 0 : count, proxy ? count : 0});
    }
    // Pointers into the park only while the tick runs.
    m_recorders.clear();
    // The second's records under one lock of the ledger's queue.
    Flush();
}
