#include "feeds/LogLine.h"

#include <array>
#include <cctype>

namespace {

constexpr std::string_view kHeader("\xFF\xFF\xFF\xFF", 4);
constexpr std::size_t kMaxSecret = 64;

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

void skipSpaces(std::string_view& text)
{
    while (!text.empty() && text.front() == ' ')
        text.remove_prefix(1);
}

bool consume(std::string_view& text, std::string_view prefix)
{
    if (text.substr(0, prefix.size()) != prefix)
        return false;
    text.remove_prefix(prefix.size());
    return true;
}

// Exactly `count` digits, copied to out.
bool digits(std::string_view& text, std::size_t count, std::string& out)
{
    if (text.size() < count)
        return false;
    for (std::size_t i = 0; i < count; ++i) {
        if (!isDigit(text[i]))
            return false;
    }
    out.assign(text.substr(0, count));
    text.remove_prefix(count);
    return true;
}

// "L MM/DD/YYYY - HH:MM:SS:" with any run of spaces where one is expected;
// the time comes back as "YYYY-MM-DDTHH:MM:SS".
bool readStamp(std::string_view& text, std::string& time)
{
    std::string month, day, year, hour, minute, second;
    if (!consume(text, "L"))
        return false;
    skipSpaces(text);
    if (!digits(text, 2, month) || !consume(text, "/") || !digits(text, 2, day) || !consume(text, "/") ||
        !digits(text, 4, year))
        return false;
    skipSpaces(text);
    if (!consume(text, "-"))
        return false;
    skipSpaces(text);
    if (!digits(text, 2, hour) || !consume(text, ":") || !digits(text, 2, minute) || !consume(text, ":") ||
        !digits(text, 2, second) || !consume(text, ":"))
        return false;
    skipSpaces(text);
    time = year + '-' + month + '-' + day + 'T' + hour + ':' + minute + ':' + second;
    return true;
}

// The text up to the next '"' of `"text"...`; the quote must be there.
std::optional<std::string_view> quotedWord(std::string_view text)
{
    const std::size_t end = text.find('"');
    if (end == std::string_view::npos)
        return std::nullopt;
    return text.substr(0, end);
}

// A bracketed position "[x y z] " that newer engines put after a player.
void skipPosition(std::string_view& text)
{
    if (text.empty() || text.front() != '[')
        return;
    const std::size_t close = text.find(']');
    if (close == std::string_view::npos)
        return;
    text.remove_prefix(close + 1);
    skipSpaces(text);
}

// The text between the outer quotes of `"..."` at the end of rest, after an
// optional " (dead)" or other parenthesised suffix.
std::optional<std::string_view> trailingQuoted(std::string_view rest)
{
    std::size_t end = rest.rfind('"');
    if (end == std::string_view::npos)
        return std::nullopt;
    const std::string_view tail = rest.substr(end + 1);
    if (!tail.empty() && tail.front() != ' ')
        return std::nullopt;
    return rest.substr(0, end);
}

bool readKill(std::string_view rest, LogEvent& event)
{
    // Weapon last: the right-most ` with "` is the engine's, whatever the
    // victim's name holds.
    const std::size_t with = rest.rfind(" with \"");
    if (with == std::string_view::npos)
        return false;
    const auto weapon = trailingQuoted(rest.substr(with + 7));
    if (!weapon)
        return false;
    std::string_view victim = rest.substr(0, with);
    if (!victim.empty() && victim.back() == ']') { // a position after the victim
        const std::size_t open = victim.rfind(" [");
        if (open == std::string_view::npos)
            return false;
        victim = victim.substr(0, open);
    }
    if (victim.empty() || victim.back() != '"')
        return false;
    const auto player = parsePlayerField(victim.substr(0, victim.size() - 1));
    if (!player)
        return false;
    event.type = LogEvent::Type::Kill;
    event.victim = *player;
    event.weapon = std::string(*weapon);
    return true;
}

// What follows a player's closing quote; false when it is not an event
// of ours.
bool readPlayerVerb(std::string_view rest, LogEvent& event)
{
    skipPosition(rest);
    if (consume(rest, "say_team \"") || consume(rest, "say \"")) {
        const auto text = trailingQuoted(rest);
        if (!text)
            return false;
        event.type = LogEvent::Type::Say;
        event.text = std::string(*text);
        return true;
    }
    if (consume(rest, "killed \""))
        return readKill(rest, event);
    if (consume(rest, "joined team \"")) {
        const auto team = quotedWord(rest);
        if (!team)
            return false;
        event.type = LogEvent::Type::Team;
        event.text = std::string(*team);
        return true;
    }
    if (consume(rest, "connected, address ") || rest == "connected") {
        event.type = LogEvent::Type::Connect;
        return true;
    }
    if (consume(rest, "entered the game")) {
        event.type = LogEvent::Type::Enter;
        return true;
    }
    if (consume(rest, "disconnected")) {
        event.type = LogEvent::Type::Disconnect;
        return true;
    }
    return false;
}

std::optional<LogEvent> readPlayerLine(std::string_view body, LogEvent event)
{
    // The player field ends at a `>" ` whose left side reads as a player and
    // whose right side starts an event: tried from the left, so that a
    // message holding `>" ` does not move the split.
    for (std::size_t at = body.find(">\" ", 1); at != std::string_view::npos;
         at = body.find(">\" ", at + 1)) {
        const auto player = parsePlayerField(body.substr(1, at));
        if (!player)
            continue;
        event.player = *player;
        const bool sayTeam = body.substr(at + 3, 9) == "say_team ";
        if (readPlayerVerb(body.substr(at + 3), event)) {
            event.teamOnly = event.type == LogEvent::Type::Say && sayTeam;
            return event;
        }
    }
    return std::nullopt;
}

} // namespace

const char* eventTypeName(LogEvent::Type type)
{
    static constexpr std::array<const char*, LogEvent::kTypeCount> kNames{
        "say", "kill", "connect", "enter", "disconnect", "team", "round", "map"};
    return kNames[static_cast<std::size_t>(type)];
}

std::optional<std::string_view> logLineOfDatagram(std::string_view datagram, std::string_view* secret)
{
    if (!consume(datagram, kHeader))
        return std::nullopt;
    std::string_view carried;
    if (consume(datagram, "log ") || consume(datagram, "R")) {
        // the classic and the newer form without a secret
    } else if (consume(datagram, "S")) {
        const std::size_t end = datagram.find("L ");
        if (end == std::string_view::npos || end > kMaxSecret)
            return std::nullopt;
        carried = datagram.substr(0, end);
        datagram.remove_prefix(end);
    } else {
        return std::nullopt;
    }
    if (datagram.substr(0, 2) != "L ")
        return std::nullopt;
    const std::size_t end = datagram.find_first_of(std::string_view("\n\0", 2));
    std::string_view line = datagram.substr(0, end);
    while (!line.empty() && line.back() == '\r')
        line.remove_suffix(1);
    if (secret)
        *secret = carried;
    return line;
}

std::optional<LogPlayer> parsePlayerField(std::string_view field)
{
    std::array<std::string_view, 3> parts; // team, steam id, uid
    for (std::string_view& part : parts) {
        if (field.empty() || field.back() != '>')
            return std::nullopt;
        field.remove_suffix(1);
        const std::size_t open = field.rfind('<');
        if (open == std::string_view::npos)
            return std::nullopt;
        part = field.substr(open + 1);
        field = field.substr(0, open);
    }
    const std::string_view uid = parts[2];
    for (std::size_t i = 0; i < uid.size(); ++i) {
        if (!isDigit(uid[i]) && !(i == 0 && uid[i] == '-'))
            return std::nullopt;
    }
    return LogPlayer{std::string(field), std::string(uid), std::string(parts[1]), std::string(parts[0])};
}

std::optional<LogEvent> parseLogLine(std::string_view line)
{
    LogEvent event;
    if (!readStamp(line, event.time))
        return std::nullopt;
    if (consume(line, "World triggered \"")) {
        const auto name = quotedWord(line);
        if (!name || name->empty())
            return std::nullopt;
        event.type = LogEvent::Type::Round;
        event.text = std::string(*name);
        return event;
    }
    if (consume(line, "Started map \"") || consume(line, "Loading map \"")) {
        const auto name = quotedWord(line);
        if (!name || name->empty())
            return std::nullopt;
        event.type = LogEvent::Type::Map;
        event.text = std::string(*name);
        return event;
    }
    if (!line.empty() && line.front() == '"')
        return readPlayerLine(line, event);
    return std::nullopt;
}
