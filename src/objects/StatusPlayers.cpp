#include "objects/StatusPlayers.h"

#include "core/TextTokens.h"
#include "objects/ScanNumber.h"

#include <algorithm>

namespace {

constexpr std::size_t kMaxPlayersInTable = 64;

// The blank-separated words of text.
std::vector<std::string_view> words(std::string_view text)
{
    std::vector<std::string_view> found;
    std::size_t at = 0;
    while (at < text.size()) {
        const std::size_t start = text.find_first_not_of(" \t\r", at);
        if (start == std::string_view::npos)
            break;
        const std::size_t end = std::min(text.find_first_of(" \t\r", start), text.size());
        found.push_back(text.substr(start, end - start));
        at = end;
    }
    return found;
}

// A whole word of digits within 0..limit.
std::optional<std::int32_t> number(std::string_view word, std::int32_t limit)
{
    if (word.empty() || word.size() > 10 || word.find_first_not_of("0123456789") != std::string_view::npos)
        return std::nullopt;
    const auto value = scanInt(word);
    if (!value || *value < 0 || *value > limit)
        return std::nullopt;
    return value;
}

std::optional<std::int32_t> signedNumber(std::string_view word, std::int32_t limit)
{
    if (!word.empty() && word.front() == '-') {
        const auto magnitude = number(word.substr(1), limit);
        return magnitude ? std::optional<std::int32_t>(-*magnitude) : std::nullopt;
    }
    return number(word, limit);
}

} // namespace

std::optional<StatusPlayer> parseStatusPlayerLine(std::string_view line)
{
    if (line.empty() || line.front() != '#')
        return std::nullopt;
    const std::size_t open = line.find('"');
    const std::size_t close = line.rfind('"');
    if (open == std::string_view::npos || close == open)
        return std::nullopt;
    // Between '#' and the name: the slot number only.
    const auto slot = words(line.substr(1, open - 1));
    if (slot.size() != 1 || !number(slot.front(), 1024))
        return std::nullopt;
    const auto columns = words(line.substr(close + 1));
    if (columns.size() < 6)
        return std::nullopt;
    const auto userId = number(columns[0], 0x7FFFFFFF);
    const auto frags = signedNumber(columns[2], 1'000'000);
    const auto ping = number(columns[4], 100'000);
    if (!userId || !frags || !ping || columns[1].empty())
        return std::nullopt;
    StatusPlayer player;
    player.userId = *userId;
    player.name = std::string(line.substr(open + 1, close - open - 1));
    player.uniqueId = std::string(columns[1]);
    player.frags = *frags;
    player.time = std::string(columns[3]);
    player.ping = *ping;
    if (columns.size() > 6)
        player.address = std::string(columns[6]);
    return player;
}

bool StatusTableReader::readLine(std::string_view line)
{
    if (beginsWith(line, "#      name") || beginsWith(line, "# name")) {
        m_inTable = true;
        m_pending.clear();
        return false;
    }
    if (!m_inTable)
        return false;
    if (auto player = parseStatusPlayerLine(line)) {
        if (m_pending.size() < kMaxPlayersInTable)
            m_pending.push_back(std::move(*player));
        return false;
    }
    const auto parts = words(line);
    if (parts.size() == 2 && number(parts[0], 1024) && (parts[1] == "users" || parts[1] == "user")) {
        m_inTable = false;
        return true;
    }
    return false;
}
