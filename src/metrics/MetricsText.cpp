#include "metrics/MetricsText.h"

#include "core/TextCodec.h"
#include "layout/CQuorvaneDoc.h"
#include "metrics/LedgerMetrics.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "objects/ObjectReport.h"

#include <algorithm>
#include <functional>
#include <optional>

namespace {

struct Family
{
    const char* name;
    const char* type;
    const char* help;
    // The value for one object; nothing when the object has none.
    std::function<std::optional<double>(const CCommonObject&)> value;
};

QByteArray number(double value)
{
    return QByteArray::number(value, 'g', 15);
}

const CHLTV* asProxy(const CCommonObject& object)
{
    return dynamic_cast<const CHLTV*>(&object);
}

const CGTV* asHub(const CCommonObject& object)
{
    return dynamic_cast<const CGTV*>(&object);
}

QByteArray header(const char* name, const char* type, const char* help)
{
    return QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

QByteArray objectLabel(const CCommonObject& object)
{
    return "object=\"" + escapeLabelValue(object.GetName()) + '"';
}

} // namespace

QByteArray escapeLabelValue(std::string_view value)
{
    const QByteArray utf8 = decodeText(value).toUtf8();
    QByteArray escaped;
    escaped.reserve(utf8.size());
    for (const char c : utf8) {
        if (c == '\\')
            escaped += "\\\\";
        else if (c == '"')
            escaped += "\\\"";
        else if (c == '\n')
            escaped += "\\n";
        else
            escaped += c;
    }
    return escaped;
}

QByteArray metricsText(const CQuorvaneDoc& document, std::int64_t now)
{
    QByteArray text;
    text += header("quorvane_up", "gauge",
                   "1 when the machine answers, 0 when it is timed out or of a bad type.");
    for (const auto& object : document.m_objects) {
        const CGroup* group = object->m_pGroup.get();
        const std::string zone = group && group->m_pZone ? group->m_pZone->m_strName : std::string();
        const bool up = object->m_nStatus != CSStatus_TIMEOUT && object->m_nStatus != CSStatus_BAD;
        text += "quorvane_up{" + objectLabel(*object) + ",kind=\"" + objectKind(*object) + "\",name=\"" +
                escapeLabelValue(object->m_strHostname) + "\",zone=\"" + escapeLabelValue(zone) +
                "\",group=\"" + escapeLabelValue(group ? group->m_strName : std::string()) + "\"} " +
                (up ? "1" : "0") + '\n';
    }

    const std::vector<Family> families{
        {"quorvane_players", "gauge", "Players on a game server, spectators on a proxy, as last reported.",
         [](const CCommonObject& o) -> std::optional<double> {
             if (asHub(o))
                 return std::nullopt;
             return o.GetPlayerCount();
         }},
        {"quorvane_max_players", "gauge", "Player slots of a game server, as its details reply names them.",
         [](const CCommonObject& o) -> std::optional<double> {
             const auto* server = dynamic_cast<const CHLServer*>(&o);
             if (!server || !o.IsGameServer() || server->m_nMaxPlayers <= 0)
                 return std::nullopt;
             return server->m_nMaxPlayers;
         }},
        {"quorvane_proxy_clients", "gauge", "Spectators connected to a proxy.",
         [](const CCommonObject& o) -> std::optional<double> {
             if (const CHLTV* p = asProxy(o))
                 return p->m_nClients;
             return std::nullopt;
         }},
        {"quorvane_proxy_slots", "gauge", "Spectator slots of a proxy.",
         [](const CCommonObject& o) -> std::optional<double> {
             if (const CHLTV* p = asProxy(o))
                 return p->m_nMaxClients;
             return std::nullopt;
         }},
        {"quorvane_proxy_out_rate", "gauge", "Outgoing rate a proxy reports.",
         [](const CCommonObject& o) -> std::optional<double> {
             if (const CHLTV* p = asProxy(o); p && p->m_fOutRate >= 0)
                 return static_cast<double>(p->m_fOutRate);
             return std::nullopt;
         }},
        {"quorvane_proxy_relaying", "gauge",
         "1 while a proxy under rcon relays a machine, 0 while it relays nothing (relay lost, or nothing "
         "wanted).",
         [](const CCommonObject& o) -> std::optional<double> {
             const CHLTV* p = asProxy(o);
             if (!p || p->m_nStatus < CSStatus_CONTROL || !p->StatusRead())
                 return std::nullopt;
             return p->m_strLinkedAddress.empty() ? 0.0 : 1.0;
         }},
        {"quorvane_hub_clients", "gauge", "Clients of a hub manager.",
         [](const CCommonObject& o) -> std::optional<double> {
             if (const CGTV* h = asHub(o))
                 return h->m_nSvClients;
             return std::nullopt;
         }},
        {"quorvane_hub_max_clients", "gauge", "Client slots of a hub manager.",
         [](const CCommonObject& o) -> std::optional<double> {
             if (const CGTV* h = asHub(o))
                 return h->m_nSvMaxClients;
             return std::nullopt;
         }},
        {"quorvane_seconds_since_reply", "gauge", "Seconds since the machine last answered.",
         [now](const CCommonObject& o) -> std::optional<double> {
             if (o.m_timeLastReply <= 0)
                 return std::nullopt;
             return static_cast<double>(std::max<std::int64_t>(0, now - o.m_timeLastReply));
         }},
    };
    for (const Family& family : families) {
        text += header(family.name, family.type, family.help);
        for (const auto& object : document.m_objects) {
            if (const auto value = family.value(*object))
                text += QByteArray(family.name) + '{' + objectLabel(*object) + "} " + number(*value) + '\n';
        }
    }

    text += header("quorvane_log_events_total", "counter", "Log events received from the machine, by type.");
    for (const auto& object : document.m_objects) {
        const ObjectFeed* feed = document.m_feeds.feed(object->GetName());
        if (!feed)
            continue;
        for (int type = 0; type < LogEvent::kTypeCount; ++type) {
            text += "quorvane_log_events_total{" + objectLabel(*object) + ",type=\"" +
                    eventTypeName(static_cast<LogEvent::Type>(type)) + "\"} " +
                    QByteArray::number(static_cast<qint64>(feed->counts[static_cast<std::size_t>(type)])) +
                    '\n';
        }
    }
    text +=
        header("quorvane_log_stream_lost", "gauge",
               "1 when a server asked to stream its log here sent no line for 5 minutes while it answered "
               "and held players (log stream lost), 0 while it streams.");
    for (const auto& object : document.m_objects) {
        if (document.StreamWanted(*object))
            text += "quorvane_log_stream_lost{" + objectLabel(*object) + "} " +
                    QByteArray(document.StreamLost(*object) ? "1" : "0") + '\n';
    }
    text += header("quorvane_log_datagrams_dropped_total", "counter",
                   "Datagrams on the log port dropped: from no monitored machine, not a log line, or "
                   "without the machine's log secret.");
    text += "quorvane_log_datagrams_dropped_total{reason=\"stranger\"} " +
            QByteArray::number(static_cast<qint64>(document.m_feeds.droppedStrangers())) + '\n';
    text += "quorvane_log_datagrams_dropped_total{reason=\"malformed\"} " +
            QByteArray::number(static_cast<qint64>(document.m_feeds.droppedMalformed())) + '\n';
    text += "quorvane_log_datagrams_dropped_total{reason=\"secret\"} " +
            QByteArray::number(static_cast<qint64>(document.m_feeds.droppedBadSecret())) + '\n';
    text += header("quorvane_rcon_refused_total", "counter",
                   "Refused rcon commands the game server logged (Bad Rcon), from any address.");
    for (const auto& object : document.m_objects) {
        if (!object->IsGameServer() || object->CanRecord())
            continue;
        text +=
            "quorvane_rcon_refused_total{server=\"" + escapeLabelValue(object->GetName()) + "\"} " +
            QByteArray::number(static_cast<qulonglong>(document.rconAttacks().Refused(object->GetName()))) +
            '\n';
    }
    if (const Ledger* ledger = document.ledger())
        text += ledgerMetricsText(*ledger);
    return text;
}
