#include "objects/ObjectReport.h"

#include "core/TextCodec.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"

#include <QJsonArray>
#include <algorithm>

namespace {

QString text(const std::string& bytes)
{
    return decodeText(bytes);
}

QJsonValue nameOrNull(const CCommonObject* object)
{
    return object ? QJsonValue(text(object->GetName())) : QJsonValue(QJsonValue::Null);
}

} // namespace

const char* statusText(CSStatus status)
{
    switch (status) {
    case CSStatus_BAD:
        return "Bad Server Type";
    case CSStatus_TIMEOUT:
        return "Timeout";
    case CSStatus_MONITORING:
        return "Monitor only";
    case CSStatus_CONTROL:
        return "Rcon Controled";
    case CSStatus_FULLCONTROL:
        return "Rcon Controled + Logs";
    }
    return "Bad Server Type";
}

const char* objectKind(const CCommonObject& object)
{
    if (dynamic_cast<const CHLTV*>(&object))
        return "proxy";
    if (object.IsHubManager())
        return "hub";
    return "server";
}

QJsonObject describeObject(const CCommonObject& object)
{
    QJsonObject report;
    report.insert(QStringLiteral("object"), text(object.GetName()));
    report.insert(QStringLiteral("kind"), QString::fromLatin1(objectKind(object)));
    report.insert(QStringLiteral("status"), QString::fromLatin1(statusText(object.m_nStatus)));
    report.insert(QStringLiteral("hostname"), text(object.m_strHostname));
    if (object.PasswordRefused())
        report.insert(QStringLiteral("password"), QStringLiteral("refused"));
    if (object.IsUnreachable())
        report.insert(QStringLiteral("unreachable"), true);

    QJsonArray names;
    const int count = std::clamp(object.GetPlayerCount(), 0, CCommonObject::kMaxPlayers);
    for (int i = 0; i < count; ++i)
        names.append(text(object.GetPlayerNames()[static_cast<std::size_t>(i)]));
    report.insert(QStringLiteral("players"), count);
    report.insert(QStringLiteral("names"), names);

    if (const auto* manager = dynamic_cast<const CGTV*>(&object)) {
        report.insert(QStringLiteral("map"), QString());
        report.insert(QStringLiteral("clients"), manager->m_nSvClients);
        report.insert(QStringLiteral("maxclients"), manager->m_nSvMaxClients);
        QJsonArray hubList;
        for (int i = 0; i < manager->m_nHubs; ++i) {
            const CHubInfo& hub = manager->m_hubs[static_cast<std::size_t>(i)];
            QJsonObject entry;
            entry.insert(QStringLiteral("num"), hub.m_nHubNum);
            entry.insert(QStringLiteral("desc"), text(hub.m_strDesc));
            entry.insert(QStringLiteral("parent"), text(hub.m_strParent));
            entry.insert(QStringLiteral("linked"), nameOrNull(hub.m_pLinked));
            const std::string* followed = hub.FollowedName();
            entry.insert(QStringLiteral("following"), followed ? QJsonValue(text(*followed)) : QJsonValue());
            QJsonArray players;
            for (int k = 0; k < std::clamp(hub.m_nCount, 0, CCommonObject::kMaxPlayers); ++k)
                players.append(text(hub.m_strNames[static_cast<std::size_t>(k)]));
            entry.insert(QStringLiteral("players"), players);
            hubList.append(entry);
        }
        report.insert(QStringLiteral("hubs"), hubList);
    } else if (const auto* proxy = dynamic_cast<const CHLTV*>(&object)) {
        report.insert(QStringLiteral("reported"), text(proxy->m_strReportedAddress));
        report.insert(QStringLiteral("map"), text(proxy->m_strMap));
        report.insert(QStringLiteral("slots"), proxy->m_nMaxClients);
        report.insert(QStringLiteral("clients"), proxy->m_nClients);
        report.insert(QStringLiteral("upstream"), text(proxy->m_strLinkedAddress));
        // Known once the proxy's status was read under rcon; null before.
        report.insert(QStringLiteral("relaying"), proxy->StatusRead() && proxy->m_nStatus >= CSStatus_CONTROL
                                                      ? QJsonValue(!proxy->m_strLinkedAddress.empty())
                                                      : QJsonValue(QJsonValue::Null));
        report.insert(QStringLiteral("wanted"), text(proxy->m_strWantedUpstream));
        report.insert(QStringLiteral("linked"), nameOrNull(proxy->m_pLinked));
        report.insert(QStringLiteral("recording"), text(proxy->m_strRecordFile));
        report.insert(QStringLiteral("outrate"), static_cast<double>(proxy->m_fOutRate));
    } else if (const auto* server = dynamic_cast<const CHLServer*>(&object)) {
        report.insert(QStringLiteral("map"), text(server->m_strMap));
        report.insert(QStringLiteral("reported"), text(server->m_strReportedAddress));
        QJsonObject match;
        match.insert(QStringLiteral("state"), server->m_nMatchState);
        match.insert(QStringLiteral("teamA"), text(server->m_strTeamA));
        match.insert(QStringLiteral("teamB"), text(server->m_strTeamB));
        match.insert(QStringLiteral("scoreA"), static_cast<qint64>(server->m_nScoreA1) + server->m_nScoreA2);
        match.insert(QStringLiteral("scoreB"), static_cast<qint64>(server->m_nScoreB1) + server->m_nScoreB2);
        match.insert(QStringLiteral("running"), server->m_bMatchRunning);
        report.insert(QStringLiteral("match"), match);
    }
    return report;
}
