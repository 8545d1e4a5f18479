#include "ui/ObjectToolTip.h"

#include "core/TextCodec.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "objects/ObjectReport.h"

#include <QStringList>
#include <algorithm>

namespace {

QString kindWords(const CCommonObject& object)
{
    if (dynamic_cast<const CHLTV*>(&object))
        return QStringLiteral("HLTV proxy");
    if (object.IsHubManager())
        return QStringLiteral("GTV hub manager");
    return QStringLiteral("Game server");
}

QString statusWords(const CCommonObject& object)
{
    if (object.IsDown())
        return QStringLiteral("Down: answered before, silent now");
    switch (object.m_nStatus) {
    case CSStatus_TIMEOUT:
        if (object.IsUnreachable())
            return QStringLiteral("Unreachable: never answered since it was opened");
        return QStringLiteral("Not answering (never answered)");
    case CSStatus_MONITORING:
        return QStringLiteral("Answering; monitored only (no rcon)");
    case CSStatus_CONTROL:
        return QStringLiteral("Answering; under rcon control");
    case CSStatus_FULLCONTROL:
        return QStringLiteral("Answering; under rcon control with logs");
    default:
        return QStringLiteral("Bad server type");
    }
}

QString minutesSeconds(std::int64_t seconds)
{
    seconds = std::max<std::int64_t>(0, seconds);
    return QStringLiteral("%1:%2")
        .arg(seconds / 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

void addLine(QStringList& lines, const QString& label, const QString& value)
{
    lines.append(QStringLiteral("%1: %2").arg(label, value.toHtmlEscaped()));
}

} // namespace

QString replyAge(std::int64_t lastReply, std::int64_t now)
{
    if (lastReply == 0)
        return QStringLiteral("never");
    const std::int64_t seconds = std::max<std::int64_t>(0, now - lastReply);
    if (seconds < 120)
        return QStringLiteral("%1 s ago").arg(seconds);
    if (seconds < 7200)
        return QStringLiteral("%1 min ago").arg(seconds / 60);
    return QStringLiteral("%1 h ago").arg(seconds / 3600);
}

QString relayDuration(std::int64_t since, std::int64_t now)
{
    const std::int64_t seconds = std::max<std::int64_t>(0, now - since);
    if (seconds < 120)
        return QStringLiteral("%1 s").arg(seconds);
    if (seconds < 7200)
        return QStringLiteral("%1 min").arg(seconds / 60);
    return QStringLiteral("%1 h %2 min").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

QStringList troubleWords(const CCommonObject& object, std::int64_t now)
{
    QStringList words;
    if (object.PasswordRefused())
        words.append(QStringLiteral("Password refused"));
    const auto* proxy = dynamic_cast<const CHLTV*>(&object);
    if (proxy && object.IsRelayLost())
        words.append(QStringLiteral("Relay lost: was %1, %2 min ago")
                         .arg(decodeText(proxy->m_strWantedUpstream))
                         .arg(std::max<std::int64_t>(0, now - proxy->m_timeNotConnectedSince) / 60));
    if (proxy && !proxy->m_strRecordFile.empty() && proxy->m_nStatus >= CSStatus_CONTROL) {
        QString recording = QStringLiteral("Recording %1").arg(decodeText(proxy->m_strRecordFile));
        if (proxy->m_timeRecordingSince != 0)
            recording += QStringLiteral(" (%1)").arg(minutesSeconds(now - proxy->m_timeRecordingSince));
        words.append(recording);
    }
    return words;
}

QString objectToolTip(const CCommonObject& object, std::int64_t now, const std::string& lastDemo)
{
    QStringList lines;
    lines.append(QStringLiteral("<b>%1</b>").arg(kindWords(object)));
    addLine(lines, QStringLiteral("Status"), statusWords(object));
    for (const QString& words : troubleWords(object, now))
        lines.append(words.toHtmlEscaped());
    if (!object.m_strHostname.empty())
        addLine(lines, QStringLiteral("Host name"), decodeText(object.m_strHostname));
    const auto* server = dynamic_cast<const CHLServer*>(&object);
    if (server && !server->m_strMap.empty())
        addLine(lines, QStringLiteral("Map"), decodeText(server->m_strMap));
    if (const auto* proxy = dynamic_cast<const CHLTV*>(&object)) {
        addLine(lines, QStringLiteral("Players"), QString::number(proxy->m_nPlayers));
        addLine(lines, QStringLiteral("Spectators"),
                QStringLiteral("%1/%2").arg(proxy->m_nClients).arg(proxy->m_nMaxClients));
        if (!proxy->m_strLinkedAddress.empty()) {
            QString upstream = decodeText(proxy->m_strLinkedAddress);
            if (proxy->m_pLinked && !proxy->m_pLinked->m_strHostname.empty())
                upstream += QStringLiteral(" (%1)").arg(decodeText(proxy->m_pLinked->m_strHostname));
            addLine(lines, QStringLiteral("Relays"), upstream);
            if (proxy->m_timeRelayingSince != 0)
                addLine(lines, QStringLiteral("Relaying for"),
                        relayDuration(proxy->m_timeRelayingSince, now));
        } else if (proxy->m_nStatus >= CSStatus_CONTROL) {
            addLine(lines, QStringLiteral("Relays"), QStringLiteral("nothing"));
        }
        if (!proxy->m_bReconnectAuto)
            lines.append(QStringLiteral("Not reconnected automatically"));
        if (proxy->RelaysNothing() && proxy->m_nStatus >= CSStatus_CONTROL)
            lines.append(QStringLiteral("Cannot record: relays nothing"));
        if (!lastDemo.empty())
            addLine(lines, QStringLiteral("Last demo"), decodeText(lastDemo));
    } else if (const auto* manager = dynamic_cast<const CGTV*>(&object)) {
        addLine(lines, QStringLiteral("Clients"),
                QStringLiteral("%1/%2").arg(manager->m_nSvClients).arg(manager->m_nSvMaxClients));
        addLine(lines, QStringLiteral("Hubs"), QString::number(manager->m_nHubs));
    } else {
        addLine(lines, QStringLiteral("Players"), QString::number(object.GetPlayerCount()));
    }
    addLine(lines, QStringLiteral("Address"), decodeText(object.GetName()));
    if (server && !server->m_strReportedAddress.empty() && server->m_strReportedAddress != object.GetName())
        addLine(lines, QStringLiteral("Reports itself as"), decodeText(server->m_strReportedAddress));
    addLine(lines, QStringLiteral("Last reply"), replyAge(object.m_timeLastReply, now));
    return lines.join(QStringLiteral("<br>"));
}

QString hubRowToolTip(const CHubInfo& hub)
{
    QStringList lines;
    lines.append(QStringLiteral("<b>Hub #%1</b>").arg(hub.m_nHubNum));
    if (!hub.m_strDesc.empty())
        addLine(lines, QStringLiteral("Match"), decodeText(hub.m_strDesc));
    if (!hub.m_strParent.empty())
        addLine(lines, QStringLiteral("Relays"), decodeText(hub.m_strParent));
    addLine(lines, QStringLiteral("Players"), QString::number(hub.m_nCount));
    const std::string* followed = hub.FollowedName();
    addLine(lines, QStringLiteral("Following"), followed ? decodeText(*followed) : QStringLiteral("nobody"));
    return lines.join(QStringLiteral("<br>"));
}
