#include "feeds/EventReport.h"

#include "core/TerminalText.h"
#include "core/TextCodec.h"

#include <QJsonObject>
#include <QStringList>

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

// Decoded, with control characters (C0, DEL, C1) replaced.
QString plain(const std::string& bytes)
{
    QString text = decodeText(bytes);
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u < 0xA0))
            c = QChar(QChar::ReplacementCharacter);
    }
    return text;
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
        if (!event.team.empty())
            insertText(report, "team", event.team);
        if (!event.scores.empty()) {
            QJsonObject scores;
            for (const LogTeamScore& score : event.scores)
                scores.insert(decodeText(score.team), score.score);
            report.insert(QStringLiteral("score"), scores);
        }
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
        line += QLatin1Char(' ') + shown(event.text);
        if (!event.team.empty())
            line += QStringLiteral(" <") + shown(event.team) + QLatin1Char('>');
        for (const LogTeamScore& score : event.scores)
            line += QLatin1Char(' ') + shown(score.team) + QLatin1Char('=') + QString::number(score.score);
        return line;
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

QString eventText(const LogEvent& event)
{
    // "YYYY-MM-DDTHH:MM:SS": the time of day is what a live view needs.
    const std::size_t t = event.time.find('T');
    const QString when = plain(t == std::string::npos ? event.time : event.time.substr(t + 1));
    const QString who = plain(event.player.name);
    QString what;
    switch (event.type) {
    case LogEvent::Type::Say:
        what = (event.teamOnly ? QStringLiteral("(team) ") : QString()) + who + QStringLiteral(": ") +
               plain(event.text);
        break;
    case LogEvent::Type::Kill:
        what = QStringLiteral("%1 killed %2").arg(who, plain(event.victim.name));
        if (!event.weapon.empty())
            what += QStringLiteral(" with ") + plain(event.weapon);
        break;
    case LogEvent::Type::Connect:
        what = who + QStringLiteral(" connected");
        break;
    case LogEvent::Type::Enter:
        what = who + QStringLiteral(" entered the game");
        break;
    case LogEvent::Type::Disconnect:
        what = who + QStringLiteral(" disconnected");
        break;
    case LogEvent::Type::Team:
        what = QStringLiteral("%1 joined %2").arg(who, plain(event.text));
        break;
    case LogEvent::Type::Round:
        what = QStringLiteral("Round: ") + plain(event.text);
        if (!event.scores.empty()) {
            QStringList scores;
            for (const LogTeamScore& score : event.scores)
                scores << plain(score.team) + QLatin1Char(' ') + QString::number(score.score);
            what += QStringLiteral(" (") + scores.join(QStringLiteral(", ")) + QLatin1Char(')');
        }
        break;
    case LogEvent::Type::Map:
        what = QStringLiteral("Map: ") + plain(event.text);
        break;
    }
    return when + QStringLiteral("  ") + what;
}
