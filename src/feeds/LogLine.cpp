#include "feeds/LogLine.h"

#include <array>
#include <cctype>
#include <vector>

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

bool isKeyChar(char c)
{
    return isDigit(c) || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || c == '_' || c == '-';
}

// Takes the property list the standard allows at the end of a line off it:
// ` (key "value")` or ` (key)`, any number of them. Each is handed to
// visit(key, value) from the right; a value holds no '"'.
template <typename Visit> void stripProperties(std::string_view& rest, Visit&& visit)
{
    while (!rest.empty() && rest.back() == ')') {
        const std::size_t open = rest.rfind(" (");
        if (open == std::string_view::npos)
            return;
        std::string_view inside = rest.substr(open + 2, rest.size() - open - 3);
        std::size_t keyEnd = 0;
        while (keyEnd < inside.size() && isKeyChar(inside[keyEnd]))
            ++keyEnd;
        const std::string_view key = inside.substr(0, keyEnd);
        std::string_view value = inside.substr(keyEnd);
        if (key.empty())
            return;
        if (!value.empty()) {
            if (value.size() < 3 || value.substr(0, 2) != " \"" || value.back() != '"')
                return;
            value = value.substr(2, value.size() - 3);
            if (value.find('"') != std::string_view::npos)
                return;
        }
        visit(key, value);
        rest = rest.substr(0, open);
    }
}

// The victim's quoted field, with the position newer engines put after it.
bool readVictim(std::string_view victim, LogEvent& event)
{
    if (!victim.empty() && victim.back() == ']') {
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
    event.victim = *player;
    return true;
}

bool readKill(std::string_view rest, LogEvent& event)
{
    // Mods add properties after the weapon: (headshot), (customkill "..."),
    // (attacker_position "..."); none of them is kept.
    stripProperties(rest, [](std::string_view, std::string_view) {});
    // Weapon last: the right-most ` with "` is the engine's, whatever the
    // victim's name holds.
    const std::size_t with = rest.rfind(" with \"");
    if (with != std::string_view::npos) {
        const auto weapon = trailingQuoted(rest.substr(with + 7));
        if (weapon && readVictim(rest.substr(0, with), event)) {
            event.type = LogEvent::Type::Kill;
            event.weapon = std::string(*weapon);
            return true;
        }
    }
    // Some mods log a kill without its weapon.
    if (!readVictim(rest, event))
        return false;
    event.type = LogEvent::Type::Kill;
    event.weapon.clear();
    return true;
}

// A team's score as a property value: a plain count.
std::optional<int> scoreValue(std::string_view value)
{
    if (value.empty() || value.size() > 6)
        return std::nullopt;
    int score = 0;
    for (const char c : value) {
        if (!isDigit(c))
            return std::nullopt;
        score = score * 10 + (c - '0');
    }
    return score;
}

// What follows `triggered "`: the trigger's name and the scores that may
// follow it (`(CT "3") (T "0")`), as a round event.
std::optional<LogEvent> readTrigger(std::string_view rest, LogEvent event)
{
    std::vector<LogTeamScore> scores;
    bool scoresRead = true;
    stripProperties(rest, [&](std::string_view key, std::string_view value) {
        const auto score = scoreValue(value);
        if (!score || scores.size() >= 4)
            scoresRead = false;
        else
            scores.insert(scores.begin(), LogTeamScore{std::string(key), *score});
    });
    if (rest.size() < 2 || rest.back() != '"')
        return std::nullopt;
    const std::string_view trigger = rest.substr(0, rest.size() - 1);
    if (trigger.find('"') != std::string_view::npos)
        return std::nullopt;
    event.type = LogEvent::Type::Round;
    event.text = std::string(trigger);
    if (scoresRead)
        event.scores = std::move(scores);
    return event;
}

// `Team "CT" triggered "CTs_Win" (CT "3") (T "0")`: a round's end, by team.
std::optional<LogEvent> readTeamTrigger(std::string_view rest, LogEvent event)
{
    constexpr std::string_view kTriggered("\" triggered \"");
    const std::size_t close = rest.find(kTriggered);
    if (close == std::string_view::npos || close == 0)
        return std::nullopt;
    event.team = std::string(rest.substr(0, close));
    return readTrigger(rest.substr(close + kTriggered.size()), std::move(event));
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
    // A line without its line end was cut (by a buffer, or on the way): it
    // is not taken as whole. A NUL before the line end cuts it too.
    const std::size_t end = datagram.find_first_of(std::string_view("\n\0", 2));
    if (end == std::string_view::npos || datagram[end] != '\n')
        return std::nullopt;
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
    if (consume(line, "World triggered \""))
        return readTrigger(line, event);
    if (consume(line, "Team \""))
        return readTeamTrigger(line, event);
    // A map change logs "Loading map" and then "Started map": the latter,
    // once the map runs, is its one event.
    if (consume(line, "Started map \"")) {
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

std::optional<RefusedRcon> parseRefusedRcon(std::string_view line)
{
    std::string time;
    if (!readStamp(line, time) || !consume(line, "Bad Rcon: \""))
        return std::nullopt;
    constexpr std::string_view kFrom = "\" from \"";
    const std::size_t from = line.rfind(kFrom);
    if (from == std::string_view::npos || line.size() < from + kFrom.size() + 1 || line.back() != '"')
        return std::nullopt;
    const std::string_view source = line.substr(from + kFrom.size(), line.size() - from - kFrom.size() - 1);
    const std::size_t colon = source.rfind(':');
    if (colon == std::string_view::npos || colon == 0 || source.size() - colon - 1 > 5 ||
        source.size() - colon - 1 == 0)
        return std::nullopt;
    int port = 0;
    for (const char c : source.substr(colon + 1)) {
        if (!isDigit(c))
            return std::nullopt;
        port = port * 10 + (c - '0');
    }
    if (port < 1 || port > 65535)
        return std::nullopt;
    // Four parts of at most three digits, each 0..255.
    const std::string_view host = source.substr(0, colon);
    std::string address;
    int parts = 0;
    std::size_t at = 0;
    while (parts < 4) {
        std::size_t digits = 0;
        int value = 0;
        while (at + digits < host.size() && isDigit(host[at + digits]) && digits < 4)
            value = value * 10 + (host[at + digits++] - '0');
        if (digits == 0 || digits > 3 || value > 255)
            return std::nullopt;
        address += std::to_string(value);
        at += digits;
        if (++parts < 4) {
            if (at >= host.size() || host[at] != '.')
                return std::nullopt;
            address += '.';
            ++at;
        }
    }
    if (at != host.size())
        return std::nullopt;
    return RefusedRcon{address, port};
}
