#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// What a proxy's "status" text tells: kept in the proxy, updated line by line
// so that a field whose number does not scan keeps its previous value and the
// later of two lines about the same thing wins.
struct ProxyStatusFields
{
    std::int32_t maxClients = 0;
    std::int32_t clients = 0;
    float outRate = -1.0f;
    std::string linkedAddress;
    std::string recordFile;
};

struct ProxyStatusFlags
{
    bool headerSeen = false;
    bool recordingSeen = false;
    // A line said what the proxy relays ("connected to", "Not connected.", ...).
    bool linkSeen = false;
};

// Reads one non-empty line of the status text, both the classic lines
// ("----- Status -----", "Name ..., Clients c/m", "HLTV proxy connected to",
// "Recording to x.dem (", ...) and those of current proxies
// ("--- HLTV Status ---", "Local Slots ..., Spectators ... (max ...), Proxies ...",
// "Connected to Game Server ...", "Not connected.", "Recording to x, Length ...").
void readProxyStatusLine(const std::string& line, ProxyStatusFields& fields, ProxyStatusFlags& flags);

// The text of a proxy's print reply ('l'). Proxies write their text one byte
// after the type byte and leave that byte undefined (a backtick, a 00, ...);
// older ones start the text right after the type byte. The byte is dropped
// when it is a control character, or when the text reads as a line the
// console knows only without it. The text ends at the next 00.
std::string_view proxyPrintText(std::string_view datagram);
