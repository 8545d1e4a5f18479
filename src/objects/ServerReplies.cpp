#include "objects/ServerReplies.h"

#include "core/TextTokens.h"
#include "objects/DatagramReader.h"
#include "objects/ScanNumber.h"

#include <cstring>

namespace replies {

namespace {

constexpr std::size_t kPayloadOffset = 5;
constexpr std::uint8_t kMaxPlayers = 32;

void readDescriptionStrings(DatagramReader& reader, Details& details)
{
    details.hostname = reader.string();
    if (details.hostname)
        details.map = reader.string();
    if (details.map)
        details.gameDir = reader.string();
    if (details.gameDir)
        details.gameDesc = reader.string();
}

// The player count and the slots after the description strings.
void readMaxPlayers(DatagramReader& reader, Details& details)
{
    if (details.gameDesc && reader.byte())
        if (const auto slots = reader.byte())
            details.maxPlayers = *slots;
}

} // namespace

Details parseDetails(std::string_view datagram)
{
    Details details;
    DatagramReader reader(datagram, kPayloadOffset);
    const auto self = reader.string();
    if (!self)
        return details;
    if (datagram.size() > 4 && datagram[4] == 'm') {
        const std::size_t colon = self->find(':');
        if (colon != std::string::npos) {
            details.selfAddress = self->substr(0, colon);
            details.selfPort = scanInt(std::string_view(*self).substr(colon + 1));
        }
    }
    readDescriptionStrings(reader, details);
    readMaxPlayers(reader, details);
    return details;
}

Details parseInfo(std::string_view datagram)
{
    Details details;
    DatagramReader reader(datagram, kPayloadOffset);
    if (reader.byte()) // protocol version
        readDescriptionStrings(reader, details);
    // The two bytes of the application id come before the counts.
    if (details.gameDesc && reader.byte() && reader.byte())
        readMaxPlayers(reader, details);
    return details;
}

Players parsePlayers(std::string_view datagram)
{
    Players players;
    DatagramReader reader(datagram, kPayloadOffset);
    const auto count = reader.byte();
    if (!count)
        return players;
    if (*count > kMaxPlayers) {
        players.overLimit = true;
        return players;
    }
    for (int i = 0; i < *count; ++i) {
        if (!reader.byte())
            break;
        auto name = reader.string();
        const auto frags = reader.int32();
        const auto time = reader.uint32(); // a little-endian float
        if (!name || !frags || !time)
            break;
        float seconds = 0;
        const std::uint32_t bits = *time;
        std::memcpy(&seconds, &bits, sizeof seconds);
        players.names.push_back(std::move(*name));
        players.frags.push_back(*frags);
        // A machine may send any bits: only a sane duration is kept.
        players.seconds.push_back(seconds >= 0 && seconds < 1e7f ? static_cast<std::int32_t>(seconds) : 0);
    }
    return players;
}

std::optional<std::uint32_t> parseQueryChallenge(std::string_view datagram)
{
    DatagramReader reader(datagram, kPayloadOffset);
    return reader.uint32();
}

MatchReport parseMatchReport(const std::string& line)
{
    std::string rest = line;
    CutToken(rest, "nxn_match_report = \"");
    MatchReport report;
    const auto number = [](const std::string& text) { return scanInt(text).value_or(0); };
    report.teamA = CutToken(rest, ";");
    report.teamB = CutToken(rest, ";");
    for (int unused = 0; unused < 3; ++unused)
        CutToken(rest, ";");
    report.state = number(CutToken(rest, ";"));
    report.scoreA1 = number(CutToken(rest, ";"));
    report.scoreA2 = number(CutToken(rest, ";"));
    report.scoreB1 = number(CutToken(rest, ";"));
    report.scoreB2 = number(CutToken(rest, "\""));
    return report;
}

std::string parseServerPassword(const std::string& line)
{
    std::string rest = line;
    CutToken(rest, "\"sv_password\" is \"");
    return CutToken(rest, "\"");
}

std::vector<std::string> printLines(std::string_view datagram)
{
    if (datagram.size() <= kPayloadOffset)
        return {};
    // The text ends at the first 00, as the receive buffer is read.
    std::string_view payload = datagram.substr(kPayloadOffset);
    return textLines(payload.substr(0, payload.find('\0')));
}

const std::string* lineBeginningWith(const std::vector<std::string>& lines, std::string_view prefix)
{
    for (const std::string& line : lines) {
        if (beginsWith(line, prefix))
            return &line;
    }
    return nullptr;
}

std::vector<std::string> textLines(std::string_view payload)
{
    std::vector<std::string> lines;
    std::string text(payload);
    int notFound = 0;
    while (true) {
        std::string line = CutToken(text, "\n", &notFound);
        if (notFound)
            break;
        if (!line.empty())
            lines.push_back(std::move(line));
    }
    return lines;
}

} // namespace replies
