#pragma once

#include "core/SilentOperator.h"

#include <cstdint>
#include <string>
#include <vector>

class CQuorvaneDoc;
class CCommonObject;

// What the benchmarks share: a context whose clock stands still (nothing
// times out) and whose operator answers nothing, the replies that real
// machines send, and documents filled the way a night of matches fills them.
namespace bench {

using BenchContext = SilentContext;

// Replies as the machines send them, FF FF FF FF first.
std::string detailsReply(const std::string& address, const std::string& hostname, const std::string& map,
                         int players, int maxPlayers);
std::string infoReply(const std::string& hostname, const std::string& map, int players, int maxPlayers);
std::string playersReply(const std::vector<std::string>& names);
std::string printReply(const std::string& text);
std::string hubManagerReply(const std::string& hostname, int hubs);
std::string hubInfoReply(int hubNumber, const std::string& parent, int players);

// 32 player names, some with clan tags, some UTF-8.
std::vector<std::string> playerNames(int count);
// A game server's status text and a proxy's, as rcon "status" prints them.
std::string serverStatusText(int players);
std::string proxyStatusText(const std::string& upstream);

// The address of object i: 127.0.x.y, so that every object of a large park
// has its own key while all of them can share one port.
std::string loopbackAddress(int index);

// Fills document with count objects in 4 zones of 5 groups: per 20 objects
// 16 game servers, 3 proxies relaying them and one hub manager, all at
// loopbackAddress(i):port, then feeds each the replies of a busy machine
// until its console log is full. Channels are opened when openChannels.
void fillPark(CQuorvaneDoc& document, int count, std::uint16_t port, bool openChannels);

// Feeds an object the replies a busy machine of its kind sends; its host
// name differs from one round to the next.
void feedBusyReplies(CCommonObject& object, int round = 0);

// Starts the Qt application the benchmarks need (offscreen, for fonts and
// painting), raises the descriptor limit, then runs the benchmarks.
int runBenchmarks(int argc, char** argv);

// The calling thread's own CPU time: what a pause costs, whatever else the
// machine runs meanwhile.
double threadCpuSeconds();

} // namespace bench
