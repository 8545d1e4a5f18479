// The relay chain and what the proxies record: each proxy's wanted upstream
// kept in the ledger, a lost relay connected again, refused and broken
// recordings and refused passwords told to the operator.
#include "core/Clock.h"
#include "core/TextCodec.h"
#include "layout/CQuorvaneDoc.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerDemoFiles.h"
#include "ledger/LedgerUptime.h"
#include "objects/CHLTV.h"

#include <chrono>
#include <cstdio>

namespace {

QString nameOf(const CCommonObject& object)
{
    QString name = decodeText(object.GetName());
    if (!object.m_strHostname.empty())
        name += QStringLiteral(" (%1)").arg(decodeText(object.m_strHostname));
    return name;
}

} // namespace

void CQuorvaneDoc::SetReconnectAuto(CHLTV& proxy, bool on)
{
    proxy.m_bReconnectAuto = on;
    KeepRelayPlan(proxy, m_context.clock->now());
}

void CQuorvaneDoc::ReconnectNow(CHLTV& proxy)
{
    if (proxy.m_strWantedUpstream.empty())
        return;
    NameLookup names(*this);
    CCommonObject* target = names.FirstNamed(proxy.m_strWantedUpstream);
    if (!target || target == &proxy)
        return;
    const OperatorTrail::Act act(m_trail);
    proxy.Reconnect(*target);
}

void CQuorvaneDoc::TickRelay()
{
    if (m_relayPlansLoading.valid() &&
        m_relayPlansLoading.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        // What this run wrote already wins over what the ledger had.
        for (auto& [proxy, plan] : m_relayPlansLoading.get())
            m_relayPlans.try_emplace(proxy, plan);
    }
    const std::int64_t now = m_context.clock->now();
    NameLookup names(*this);
    for (const auto& object : m_objects) {
        const std::string name = object->GetName();
        if (object->PasswordRefused()) {
            if (m_passwordRefused.insert(name).second)
                emit machineNotice(
                    QStringLiteral("Password refused"),
                    QStringLiteral("%1 refused the rcon password: enter it again in Properties")
                        .arg(nameOf(*object)),
                    true);
        } else {
            m_passwordRefused.erase(name);
        }
        auto* proxy = dynamic_cast<CHLTV*>(object.get());
        if (!proxy)
            continue;
        KeepRelayPlan(*proxy, now);
        WatchRecording(*proxy);
        HealRelay(*proxy, names, now);
    }
}

void CQuorvaneDoc::KeepRelayPlan(CHLTV& proxy, std::int64_t now)
{
    // Until the ledger's plans are read, writing would overwrite them.
    if (!m_pLedger || m_relayPlansLoading.valid())
        return;
    const std::string key = LedgerFeed::TypedAddress(proxy);
    auto kept = m_relayPlans.find(key);
    if (m_relayAdopted.insert(key).second && kept != m_relayPlans.end()) {
        if (proxy.m_strWantedUpstream.empty()) {
            proxy.m_strWantedUpstream = kept->second.upstream;
            if (proxy.RelaysNothing() && !proxy.m_strWantedUpstream.empty())
                proxy.m_timeNotConnectedSince = now;
        }
        proxy.m_bReconnectAuto = kept->second.autoReconnect;
    }
    const bool nothingToKeep = proxy.m_strWantedUpstream.empty() && proxy.m_bReconnectAuto;
    if (kept == m_relayPlans.end() ? nothingToKeep
                                   : kept->second.upstream == proxy.m_strWantedUpstream &&
                                         kept->second.autoReconnect == proxy.m_bReconnectAuto)
        return;
    m_relayPlans[key] = RelayPlan{proxy.m_strWantedUpstream, proxy.m_bReconnectAuto};
    m_pLedger->record(RelayPlanRecord{key, proxy.m_strWantedUpstream, proxy.m_bReconnectAuto});
}

void CQuorvaneDoc::HealRelay(CHLTV& proxy, NameLookup& names, std::int64_t now)
{
    if (!proxy.IsRelayLost() || !proxy.m_bReconnectAuto || proxy.NotConnectedSeconds() <= kHealAfterSeconds ||
        now - proxy.m_timeLastReconnect < kHealEverySeconds)
        return;
    CCommonObject* target = names.FirstNamed(proxy.m_strWantedUpstream);
    // Only towards a machine that answers: a connect to a dead server would
    // only make the proxy give up sooner.
    if (!target || target == &proxy || target->m_nStatus == CSStatus_TIMEOUT ||
        target->m_nStatus == CSStatus_BAD)
        return;
    const CCommonObject::UnwatchedScope unwatched;
    NoteCommand(proxy, "connect " + proxy.m_strWantedUpstream);
    proxy.Reconnect(*target);
}

void CQuorvaneDoc::WatchRecording(CHLTV& proxy)
{
    RecordingSeen& seen = m_recordingSeen[proxy.GetName()];
    if (proxy.RecordRefusals() != seen.refusals) {
        seen.refusals = proxy.RecordRefusals();
        emit machineNotice(
            QStringLiteral("Recording refused"),
            QStringLiteral("%1 did not record: %2").arg(nameOf(proxy), decodeText(proxy.RecordRefusal())),
            true);
    }
    if (!seen.file.empty() && proxy.m_strRecordFile.empty() && !proxy.StopAsked() &&
        proxy.m_nStatus >= CSStatus_CONTROL) {
        const CHLServer* server = proxy.GetRelayedServer();
        if (server && server->m_bMatchRunning && !server->IsDown())
            emit machineNotice(QStringLiteral("Recording ended during a match"),
                               QStringLiteral("%1 stopped recording %2 while the match on %3 still runs")
                                   .arg(nameOf(proxy), decodeText(seen.file), nameOf(*server)),
                               true);
    }
    seen.file = proxy.m_strRecordFile;
}

void CQuorvaneDoc::TickUptime()
{
    const std::int64_t now = m_context.clock->now();
    if (m_uptimeLoading.valid()) {
        if (m_uptimeLoading.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
            m_uptime = m_uptimeLoading.get();
        return;
    }
    if (!m_pLedger || (m_uptimeAt != 0 && now - m_uptimeAt < kUptimeSeconds))
        return;
    m_uptimeAt = now;
    // Read on a thread: the window never waits for the ledger.
    m_uptimeLoading = std::async(std::launch::async, [target = m_pLedger->target(), now] {
        std::map<std::string, std::pair<double, double>> shares;
        QString error;
        if (const auto read = LedgerUptime::read(target, now, error))
            for (const auto& [object, share] : *read)
                shares[object.toStdString()] = {share.day, share.week};
        return shares;
    });
}

std::string CQuorvaneDoc::UptimeText(const CCommonObject& object) const
{
    const auto found = m_uptime.find(LedgerFeed::TypedAddress(object));
    if (found == m_uptime.end())
        return {};
    char text[96];
    std::snprintf(text, sizeof text, "Uptime: %.1f %% (24 h), %.1f %% (7 days)", found->second.first * 100.0,
                  found->second.second * 100.0);
    return text;
}
