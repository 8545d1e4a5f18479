// What a busy log stream costs per game server: the live feeds of 2,000
// servers, each sending more events than a ring holds, as headless mode
// keeps them (counted, no rings: nothing reads them) and as the window
// keeps them (its Live page reads the rings).
#include "BenchPark.h"

#include "feeds/LiveFeeds.h"

#include <QHostAddress>
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <string>

namespace {

constexpr int kServers = 2000;
constexpr int kEventsPerServer = 300;

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

QByteArray logDatagram(int i)
{
    static const QByteArray head = "\xFF\xFF\xFF\xFFlog L 10/05/2024 - 14:22:01: ";
    switch (i % 3) {
    case 0:
        return head + "\"Player " + QByteArray::number(i % 32) + "<2><STEAM_0:1:" + QByteArray::number(i) +
               "><CT>\" say \"gg, well played round " + QByteArray::number(i) + "\"\n";
    case 1:
        return head + "\"Ann<3><STEAM_0:1:3><TERRORIST>\" killed \"Cy<4><STEAM_0:1:4><CT>\" with \"ak47\"\n";
    default:
        return head + "\"Dee<5><STEAM_0:0:5><>\" entered the game\n";
    }
}

void busyStreams(benchmark::State& state, bool keepEvents)
{
    const QHostAddress sender(QHostAddress::LocalHost);
    const quint32 ipv4 = sender.toIPv4Address();
    for (auto _ : state) {
        const std::size_t before = heapInUse();
        {
            LiveFeeds feeds;
            feeds.keepEvents(keepEvents);
            LiveFeeds::Sources sources;
            for (int s = 0; s < kServers; ++s)
                sources.emplace(LiveFeeds::sourceKey(ipv4, static_cast<quint16>(1000 + s)),
                                "127.0.0.1:" + std::to_string(1000 + s));
            feeds.setSources(std::move(sources));
            for (int i = 0; i < kEventsPerServer; ++i)
                for (int s = 0; s < kServers; ++s)
                    feeds.receive(logDatagram(i), sender, static_cast<quint16>(1000 + s));
            const std::size_t after = heapInUse();
            state.counters["bytes_per_server"] = static_cast<double>(after - before) / kServers;
        }
    }
}

void MemoryPerLogStreamHeadless(benchmark::State& state)
{
    busyStreams(state, false);
}

void MemoryPerLogStreamWindow(benchmark::State& state)
{
    busyStreams(state, true);
}

} // namespace

BENCHMARK(MemoryPerLogStreamHeadless)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(MemoryPerLogStreamWindow)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv);
}
