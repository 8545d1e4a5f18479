#include "objects/ProxyStatus.h"

#include "core/TextTokens.h"
#include "objects/ServerReplies.h"

#include <cmath>
#include <cstdio>
#include <string_view>

namespace {

// Figures a proxy could really report; anything else (a negative count, an
// infinite or NaN rate that "%f" happily reads) leaves the field as it was.
constexpr int kMaxCount = 1'000'000;
constexpr float kMaxRate = 1.0e9f;

bool plausibleCount(int value)
{
    return value >= 0 && value <= kMaxCount;
}

bool plausibleRate(float value)
{
    return std::isfinite(value) && value >= 0.0f && value <= kMaxRate;
}

// The part of line behind the first occurrence of separator; nullopt-like
// empty view with found = false when it is absent.
bool restAfter(const std::string& line, std::string_view separator, std::string& rest)
{
    const std::size_t position = line.find(separator);
    if (position == std::string::npos)
        return false;
    rest = line.substr(position + separator.size());
    return true;
}

// Text up to the first of the given characters, without trailing blanks and
// carriage returns.
std::string upTo(const std::string& text, std::string_view stops)
{
    std::string value = text.substr(0, text.find_first_of(stops));
    while (!value.empty() && (value.back() == ' ' || value.back() == '\r' || value.back() == '\t'))
        value.pop_back();
    return value;
}

void readClassicLine(const std::string& line, ProxyStatusFields& fields, ProxyStatusFlags& flags)
{
    std::string rest;
    if (beginsWith(line, "----- Status -----"))
        flags.headerSeen = true;
    if (beginsWith(line, "Local IP ") && restAfter(line, ", Out ", rest)) {
        float rate = 0;
        if (std::sscanf(rest.c_str(), "%f.", &rate) == 1 && plausibleRate(rate))
            fields.outRate = rate;
    }
    if (beginsWith(line, "Name ") && restAfter(line, ", Clients ", rest)) {
        int clients = 0;
        int maxClients = 0;
        const int read = std::sscanf(rest.c_str(), "%d/%d", &clients, &maxClients);
        if (read >= 1 && plausibleCount(clients))
            fields.clients = clients;
        if (read >= 2 && plausibleCount(maxClients))
            fields.maxClients = maxClients;
    }
    if (beginsWith(line, "HLTV proxy connected to ")) {
        rest = line.substr(std::string_view("HLTV proxy connected to ").size());
        const std::size_t comma = rest.find(',');
        fields.linkedAddress = comma == std::string::npos ? std::string() : rest.substr(0, comma);
        flags.linkSeen = true;
    }
    if (beginsWith(line, "HLTV proxy disconnected.")) {
        fields.linkedAddress.clear();
        flags.linkSeen = true;
    }
    if (beginsWith(line, "Recording to ")) {
        rest = line.substr(std::string_view("Recording to ").size());
        const std::size_t end = rest.find(".dem (");
        fields.recordFile = (end == std::string::npos ? std::string() : rest.substr(0, end)) + ".dem";
        flags.recordingSeen = true;
    }
    if (beginsWith(line, "Local Slots ")) {
        rest = line.substr(std::string_view("Local Slots ").size());
        int slots = 0;
        int spectators = 0;
        int proxies = 0;
        const int read =
            std::sscanf(rest.c_str(), "%d, Spectators %d, Proxies %d", &slots, &spectators, &proxies);
        if (read >= 1 && plausibleCount(slots))
            fields.maxClients = slots;
        if (read >= 2 && plausibleCount(spectators)) {
            fields.clients = spectators;
            if (read >= 3 && plausibleCount(proxies))
                fields.clients += proxies;
        }
    }
    if (beginsWith(line, "Connected to ")) {
        const std::size_t open = line.find('(');
        rest = open == std::string::npos ? line : line.substr(open + 1);
        const std::size_t close = rest.find(')');
        fields.linkedAddress = close == std::string::npos ? std::string() : rest.substr(0, close);
        flags.linkSeen = true;
    }
    if (beginsWith(line, "Local IP ") && restAfter(line, "Network In ", rest)) {
        float in = 0;
        float out = 0;
        if (std::sscanf(rest.c_str(), "%f Out %f", &in, &out) == 2 && plausibleRate(out))
            fields.outRate = out;
    }
}

// Current proxies word the same facts differently; these lines are read after
// the classic tests so that they have the last word.
void readCurrentLine(const std::string& line, ProxyStatusFields& fields, ProxyStatusFlags& flags)
{
    std::string rest;
    if (beginsWith(line, "--- HLTV Status ---"))
        flags.headerSeen = true;
    if (beginsWith(line, "Local Slots ")) {
        int slots = 0;
        int spectators = 0;
        int maxSpectators = 0;
        int proxies = 0;
        if (std::sscanf(line.c_str(), "Local Slots %d, Spectators %d (max %d), Proxies %d", &slots,
                        &spectators, &maxSpectators, &proxies) == 4 &&
            plausibleCount(slots) && plausibleCount(spectators) && plausibleCount(proxies)) {
            fields.maxClients = slots;
            fields.clients = spectators + proxies;
        }
    }
    for (std::string_view prefix :
         {"Connected to Game Server ", "Connected to HLTV Proxy ", "Source Game Server "}) {
        if (beginsWith(line, prefix)) {
            fields.linkedAddress = upTo(line.substr(prefix.size()), ", ");
            flags.linkSeen = true;
        }
    }
    if (beginsWith(line, "Not connected.")) {
        fields.linkedAddress.clear();
        flags.linkSeen = true;
    }
    if (beginsWith(line, "Recording to ") && line.find(".dem (") == std::string::npos &&
        restAfter(line, "Recording to ", rest)) {
        const std::size_t length = rest.find(", Length ");
        if (length != std::string::npos)
            fields.recordFile = rest.substr(0, length);
    }
}

// Beginnings of the lines a proxy prints first in a reply.
constexpr std::string_view kKnownBeginnings[] = {
    "----- Status -----",
    "--- HLTV Status ---",
    "Bad rcon_password.",
    "You have been banned",
    "Local IP ",
    "Local Slots ",
    "Name ",
    "HLTV proxy ",
    "Connected to ",
    "Not connected.",
    "Source Game Server ",
    "Recording to ",
};

bool knownBeginning(std::string_view text)
{
    for (std::string_view beginning : kKnownBeginnings) {
        if (beginsWith(text, beginning))
            return true;
    }
    return false;
}

std::string_view untilNul(std::string_view text)
{
    return text.substr(0, text.find('\0'));
}

} // namespace

std::string_view proxyPrintText(std::string_view datagram)
{
    constexpr std::size_t kTextOffset = 5;
    if (datagram.size() <= kTextOffset)
        return {};
    const std::string_view fromType = datagram.substr(kTextOffset);
    const auto framing = static_cast<unsigned char>(fromType.front());
    const std::string_view afterFraming = untilNul(fromType.substr(1));
    if (framing < 0x20 || framing == 0x7F)
        return afterFraming;
    const std::string_view whole = untilNul(fromType);
    if (!knownBeginning(whole) && knownBeginning(afterFraming))
        return afterFraming;
    return whole;
}

void readProxyStatusLine(const std::string& line, ProxyStatusFields& fields, ProxyStatusFlags& flags)
{
    readClassicLine(line, fields, flags);
    readCurrentLine(line, fields, flags);
}
