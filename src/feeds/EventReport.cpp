#include "feeds/EventReport.h"

#include "core/TerminalText.h"
#include "core/TextCodec.h"

namespace {

void insertText(QJsonObject& report, const char* key, const std::string& bytes)
{
    report.insert(QLatin1String(key), decodeText(bytes));
}

void insertPlayer(QJsonObject& report, const char* name, const char* steamId, const char* team,
                  const LogPlayer& player)
{
    insertText(report, name, player.name);
    insertText(report, steamId, player.steamId);
    insertText(report, team, player.team);
}

QString shown(const std::string& bytes, bool quoted = false)
{
    return escapeForTerminal(decodeText(bytes), quoted);
}

} // namespace

QJsonObject describeEvent(const std::string& objectName, const LogEvent& event)
{
    QJsonObject report;
    const bool entered = event.type == LogEvent::Type::Enter;
    report.insert(QStringLiteral("event"), QLatin1String(entered ? "connect" : eventTypeName(event.type)));
    insertText(report, "object", objectName);
    insertText(report, "time", event.time);
    switch (event.type) {
    case LogEvent::Type::Say:
        insertPlayer(report, "player", "steamid", "team", event.player);
        insertText(report, "text", event.text);
        report.insert(QStringLiteral("teamonly"), event.teamOnly);
        break;
    case LogEvent::Type::Kill:
        insertPlayer(report, "killer", "killer_steamid", "killer_team", event.player);
        insertPlayer(report, "victim", "victim_steamid", "victim_team", event.victim);
        insertText(report, "weapon", event.weapon);
        break;
    case LogEvent::Type::Connect:
    case LogEvent::Type::Enter:
        insertPlayer(report, "player", "steamid", "team", event.player);
        report.insert(QStringLiteral("stage"), QLatin1String(entered ? "entered" : "connected"));
        break;
    case LogEvent::Type::Disconnect:
        insertPlayer(report, "player", "steamid", "team", event.player);
        break;
    case LogEvent::Type::Team:
        insertPlayer(report, "player", "steamid", "team", event.player);
        insertText(report, "newteam", event.text);
        break;
    case LogEvent::Type::Round:
        insertText(report, "trigger", event.text);
        break;
    case LogEvent::Type::Map:
        insertText(report, "map", event.text);
        break;
    }
    return report;
}

QString eventLine(const std::string& objectName, const LogEvent& event)
{
    QString line = shown(objectName) + QLatin1Char(' ') + shown(event.time) + QLatin1Char(' ') +
                   QLatin1String(eventTypeName(event.type));
    const auto player = [](const LogPlayer& who) {
        return QStringLiteral(" \"%1\" <%2> <%3>")
            .arg(shown(who.name, true), shown(who.steamId), shown(who.team));
    };
    switch (event.type) {
    case LogEvent::Type::Kill:
        return line + player(event.player) + player(event.victim) + QLatin1Char(' ') + shown(event.weapon);
    case LogEvent::Type::Round:
    case LogEvent::Type::Map:
        return line + QLatin1Char(' ') + shown(event.text);
    case LogEvent::Type::Say:
    case LogEvent::Type::Team:
        return line + player(event.player) + QStringLiteral(" \"") + shown(event.text, true) +
               QLatin1Char('"');
    default:
        return line + player(event.player);
    }
}
