// How many replies per second a monitored object takes in: each datagram
// goes through the object's whole reply handling (parsing, state, console
// log), as the rcon channel hands it over.
#include "BenchPark.h"

#include "objects/CGTV.h"
#include "objects/CHLServer.h"
#include "objects/CHLTV.h"

#include <benchmark/benchmark.h>

namespace {

template <class Object>
void feedRepeatedly(benchmark::State& state, const std::string& datagram)
{
    bench::BenchContext env;
    Object object(env.context());
    object.m_strAddress = "127.0.0.1";
    object.m_nPort = 27015;
    object.m_strRconPassword = "secret";
    bench::feedBusyReplies(object); // under control, its hubs known, its log full
    for (auto _ : state)
        object.OnReply(datagram);
    state.SetItemsProcessed(state.iterations());
    state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(datagram.size()));
}

void ServerDetails(benchmark::State& state)
{
    feedRepeatedly<CHLServer>(state, bench::detailsReply("127.0.0.1:27015", "Cup #1 | Final", "de_dust2", 10, 12));
}

void ServerInfo(benchmark::State& state)
{
    feedRepeatedly<CHLServer>(state, bench::infoReply("Cup #1 | Final", "de_dust2", 10, 12));
}

void ServerPlayers32(benchmark::State& state)
{
    feedRepeatedly<CHLServer>(state, bench::playersReply(bench::playerNames(32)));
}

void ServerStatusText32(benchmark::State& state)
{
    feedRepeatedly<CHLServer>(state, bench::printReply(bench::serverStatusText(32)));
}

void ProxyStatusText(benchmark::State& state)
{
    feedRepeatedly<CHLTV>(state, bench::printReply(bench::proxyStatusText("127.0.0.1:27015")));
}

void HubManagerInfo(benchmark::State& state)
{
    feedRepeatedly<CGTV>(state, bench::hubManagerReply("Cup GTV", 8));
}

void HubInfo10Players(benchmark::State& state)
{
    feedRepeatedly<CGTV>(state, bench::hubInfoReply(1, "127.0.0.1:27015", 10));
}

} // namespace

BENCHMARK(ServerDetails);
BENCHMARK(ServerInfo);
BENCHMARK(ServerPlayers32);
BENCHMARK(ServerStatusText32);
BENCHMARK(ProxyStatusText);
BENCHMARK(HubManagerInfo);
BENCHMARK(HubInfo10Players);

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv);
}
