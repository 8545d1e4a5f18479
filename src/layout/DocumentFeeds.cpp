// The document's side of the live feeds: who may stream a log here, the
// per-minute history, and the rcon commands that start and stop a stream.
#include "layout/CQuorvaneDoc.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerDemoFiles.h"
#include "ledger/LedgerHistory.h"

#include "core/Clock.h"
#include "feeds/LogStream.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "objects/CRconSocket.h"

namespace {

// What the history follows: players, a proxy's spectators, a hub manager's clients.
int watchedCount(const CCommonObject& object)
{
    if (const auto* manager = dynamic_cast<const CGTV*>(&object))
        return manager->m_nSvClients;
    if (const auto* proxy = dynamic_cast<const CHLTV*>(&object))
        return proxy->m_nClients;
    return object.GetPlayerCount();
}

StreamWatch::Look streamLook(const CCommonObject& object, const LiveFeeds& feeds)
{
    StreamWatch::Look look;
    look.underRcon = object.m_nStatus >= CSStatus_CONTROL && !object.RconSuspended();
    look.rconGains = object.RconGains();
    look.answers = object.m_nStatus != CSStatus_TIMEOUT && object.m_nStatus != CSStatus_BAD;
    look.players = object.GetPlayerCount();
    look.lines = feeds.linesFrom(object.GetName());
    return look;
}

} // namespace

void CQuorvaneDoc::WatchStreams()
{
    const std::int64_t now = m_context.clock->now();
    for (const auto& object : m_objects) {
        const std::string name = object->GetName();
        if (!m_streamWatch.wanted(name))
            continue;
        const bool wasLost = m_streamWatch.lost(name);
        const StreamWatch::Look look = streamLook(*object, m_feeds);
        const bool due = m_streamWatch.due(name, look, now);
        if (m_streamWatch.lost(name) != wasLost)
            object->m_log.Add(wasLost ? "Quorvane : log lines come again" : "Quorvane : log stream lost");
        std::string error;
        if (due && !StreamLogs(*object, true, error)) {
            // Said once: tried again at the next regain, not every second.
            m_streamWatch.asked(name, look, now);
            object->m_log.Add("Quorvane : " + error);
        }
    }
}

void CQuorvaneDoc::UpdateFeeds()
{
    const std::int64_t now = m_context.clock->now();
    if (m_bKeepHistory)
        FillHistoryFromLedger();
    if (m_bKeepHistory)
        m_nHistoryMinute = now / 60;
    if (!m_feeds.isListening()) {
        m_nSourcesGeneration.reset();
        return;
    }
    // Gathered again only when an object came, went or changed address.
    if (m_nSourcesGeneration == CCommonObject::AddressGeneration())
        return;
    m_nSourcesGeneration = CCommonObject::AddressGeneration();
    // Typed addresses first, as resolved by the channel; what a machine
    // reports of itself only where no typed address holds that key. The
    // reported address is only matched against, never sent to.
    LiveFeeds::Sources sources;
    for (const auto& object : m_objects) {
        const CRconSocket* channel = object->channel();
        if (channel && channel->resolvedAddress() != 0 && object->m_nPort > 0 && object->m_nPort <= 65535)
            sources.emplace(
                LiveFeeds::sourceKey(channel->resolvedAddress(), static_cast<quint16>(object->m_nPort)),
                object->GetName());
    }
    for (const auto& object : m_objects) {
        const auto* server = dynamic_cast<const CHLServer*>(object.get());
        if (!server || server->m_strReportedAddress.empty())
            continue;
        const std::string& reported = server->m_strReportedAddress;
        const std::size_t colon = reported.rfind(':');
        bool portOk = false;
        bool addressOk = false;
        const int port = QString::fromStdString(reported.substr(colon + 1)).toInt(&portOk);
        const quint32 ipv4 =
            colon == std::string::npos
                ? 0
                : QHostAddress(QString::fromStdString(reported.substr(0, colon))).toIPv4Address(&addressOk);
        if (colon != std::string::npos && portOk && addressOk && ipv4 != 0 && port > 0 && port <= 65535)
            sources.emplace(LiveFeeds::sourceKey(ipv4, static_cast<quint16>(port)), object->GetName());
    }
    m_feeds.setSources(std::move(sources));
}

bool CQuorvaneDoc::StreamLogs(CCommonObject& object, bool start, std::string& error)
{
    if (!m_feeds.isListening()) {
        error = "No log port is open.";
        return false;
    }
    const CRconSocket* channel = object.channel();
    if (!channel || channel->resolvedAddress() == 0) {
        error = "The address of " + object.GetName() + " is not known yet.";
        return false;
    }
    // The log port's own address when it is bound to one, else the address
    // the system sends from towards that machine.
    QHostAddress local = m_feeds.listenAddress();
    if (local.isNull() || local == QHostAddress::AnyIPv4 || local == QHostAddress::Any) {
        const auto routed = localAddressToward(channel->resolvedAddress());
        if (!routed) {
            error = "No route to " + object.GetName() + ".";
            return false;
        }
        local = *routed;
    }
    const auto commands = logStreamCommands(start, local, m_feeds.listenPort());
    if (!commands) {
        error = "The log port's address cannot be given to a game server.";
        return false;
    }
    for (const std::string& command : *commands)
        object.SendCommand(command);
    if (start)
        m_streamWatch.asked(object.GetName(), streamLook(object, m_feeds), m_context.clock->now());
    else
        m_streamWatch.stop(object.GetName());
    object.m_log.Add(std::string("Quorvane : ") +
                     (start ? "asked to stream its log to " : "asked to stop streaming to ") +
                     local.toString().toStdString() + ':' + std::to_string(m_feeds.listenPort()));
    return true;
}

bool CQuorvaneDoc::CanStreamLogs(const CCommonObject& object) const
{
    return m_feeds.isListening() && object.IsGameServer() && !object.m_strRconPassword.empty() &&
           !object.RconSuspended() && object.m_nStatus >= CSStatus_CONTROL;
}

void CQuorvaneDoc::AttachLedger(Ledger* ledger)
{
    m_pLedger = ledger;
    m_ledgerFeed = ledger ? std::make_unique<LedgerFeed>(*ledger) : nullptr;
    if (!ledger)
        return;
    // The proxies' demo folders, read on a thread: the window never waits for the ledger.
    m_demoFoldersLoading = std::async(std::launch::async, [target = ledger->target()] {
        std::map<std::string, std::string> folders;
        QString error;
        if (const auto kept = LedgerDemoFiles::folders(target, error))
            for (const auto& [proxy, url] : *kept)
                folders[proxy.toStdString()] = url.toStdString();
        return folders;
    });
    // The demos published in earlier runs, for the page.
    m_publishedLoading = std::async(std::launch::async, [target = ledger->target()] {
        std::vector<PublishedDemo> demos;
        QString error;
        if (const auto kept = LedgerDemoFiles::published(target, static_cast<int>(DemoSection::kMaxRows), error))
            for (const auto& [file, teams, score] : *kept)
                demos.push_back({file.url.toStdString(), file.fileName.toStdString(), file.matchStarted,
                                 file.map.toStdString(), teams.toStdString(), score.toStdString(), file.size});
        return demos;
    });
    // And their relay plans: a restart keeps the chain.
    m_relayPlansLoading = std::async(std::launch::async, [target = ledger->target()] {
        std::map<std::string, RelayPlan> plans;
        QString error;
        if (const auto kept = LedgerDemoFiles::relayPlans(target, error))
            for (const auto& [proxy, plan] : *kept)
                plans[proxy.toStdString()] = RelayPlan{plan.upstream.toStdString(), plan.autoReconnect};
        return plans;
    });
    // And the bans, on a thread of their own.
    const std::int64_t now = m_context.clock->now();
    m_bansLoading = std::async(std::launch::async, [target = ledger->target(), now] {
        QString error;
        auto kept = LedgerBans::load(target, now, now - ParkBans::kKeepLiftedSeconds,
                                     static_cast<int>(ParkBans::kMaxBans), error);
        return kept ? std::move(*kept) : std::vector<LedgerBans::Ban>{};
    });
}

void CQuorvaneDoc::SampleHistory(std::size_t from, std::size_t to, int slice, int slices)
{
    // Each slice samples its own objects once a minute: a large park's
    // minute is spread over the slices of a second, never one pause. A
    // second sample in the same minute (objects added or removed move
    // between slices) replaces the first.
    if (!m_bKeepHistory)
        return;
    if (m_sliceHistoryMinutes.size() != static_cast<std::size_t>(slices))
        m_sliceHistoryMinutes.assign(static_cast<std::size_t>(slices), -1);
    const std::int64_t now = m_context.clock->now();
    std::int64_t& sampled = m_sliceHistoryMinutes[static_cast<std::size_t>(slice)];
    if (sampled == now / 60)
        return;
    sampled = now / 60;
    for (std::size_t i = from; i < to && i < m_objects.size(); ++i) {
        const CCommonObject& object = *m_objects[i];
        // A machine that does not answer gives no sample, not a zero.
        if (object.m_nStatus != CSStatus_TIMEOUT && object.m_nStatus != CSStatus_BAD)
            m_feeds.recordPlayers(object.GetName(), now, watchedCount(object));
    }
}

void CQuorvaneDoc::FillHistoryFromLedger()
{
    if (m_pLedger && !m_bHistoryAsked) {
        m_bHistoryAsked = true;
        m_historyLoading = std::async(std::launch::async, [target = m_pLedger->target(),
                                                           now = m_context.clock->now()] {
            std::unordered_map<std::string, PlayerHistory::Backfill> kept;
            QString error;
            if (auto read = LedgerHistory::read(target, now, error))
                for (auto& [object, series] : *read)
                    kept[object.toStdString()] = {std::move(series.minutes), std::move(series.spans)};
            return kept;
        });
    }
    bool fresh = false;
    if (m_historyLoading.valid() &&
        m_historyLoading.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        m_historyKept = m_historyLoading.get();
        fresh = true;
    }
    // Objects that join the park later (a layout opened after the start) get theirs at a new minute.
    if (m_historyKept.empty() || (!fresh && m_context.clock->now() / 60 == m_nHistoryMinute))
        return;
    for (const auto& object : m_objects) {
        const auto kept = m_historyKept.find(LedgerFeed::TypedAddress(*object));
        if (kept == m_historyKept.end())
            continue;
        m_feeds.fillHistory(object->GetName(), kept->second);
        m_historyKept.erase(kept);
    }
}

void CQuorvaneDoc::NoteCommand(const CCommonObject& object, const std::string& text)
{
    if (m_ledgerFeed)
        m_ledgerFeed->CommandSent(object, text, m_context.clock->now());
}
