// The once-a-second work of a large park: the document's tick (every
// object's poll step, datagrams really sent), the layout pass and the
// repaint of a full-HD window's worth of canvas; and what one monitored
// game server costs in memory.
#include "BenchPark.h"

#include "layout/CQuorvaneDoc.h"
#include "layout/CanvasLayout.h"
#include "layout/CanvasPainter.h"
#include "objects/CHLServer.h"
#include "objects/CRconSocket.h"

#include <QImage>
#include <QPainter>
#include <QUdpSocket>
#include <benchmark/benchmark.h>
#include <malloc.h>

namespace {

constexpr int kParkSize = 2000;
const QRect kVisibleArea(0, 0, 1920, 1080);

// Where every object's datagrams go: one socket on all local addresses,
// never read (the kernel drops what overflows its buffer).
struct Sink
{
    Sink() { socket.bind(QHostAddress::AnyIPv4, 0); }
    std::uint16_t port() const { return socket.localPort(); }
    QUdpSocket socket;
};

struct Park
{
    explicit Park(bool channels) : document(env.context())
    {
        bench::fillPark(document, kParkSize, sink.port(), channels);
    }
    bench::BenchContext env;
    Sink sink;
    CQuorvaneDoc document;
};

void repaint(CQuorvaneDoc& document, QImage& window)
{
    RecalcLayout(document);
    QPainter painter(&window);
    painter.fillRect(kVisibleArea, Qt::white);
    PaintCanvas(painter, document, kVisibleArea);
}

void Tick2000(benchmark::State& state)
{
    Park park(true);
    for (auto _ : state)
        park.document.TickSecond();
    state.SetItemsProcessed(state.iterations() * kParkSize);
}

// The same tick with no channel: the program's own share, without the
// datagrams' system calls.
void Tick2000WithoutSockets(benchmark::State& state)
{
    Park park(false);
    for (auto _ : state)
        park.document.TickSecond();
    state.SetItemsProcessed(state.iterations() * kParkSize);
}

void LayoutAndRepaint2000(benchmark::State& state)
{
    Park park(false);
    QImage window(kVisibleArea.size(), QImage::Format_RGB32);
    for (auto _ : state)
        repaint(park.document, window);
}

// The target: the tick and the repaint that follows it, within 8 ms.
void TickAndRepaint2000(benchmark::State& state)
{
    Park park(true);
    QImage window(kVisibleArea.size(), QImage::Format_RGB32);
    for (auto _ : state) {
        park.document.TickSecond();
        repaint(park.document, window);
    }
}

// The window ticks in twenty slices over the second: the longest pause of its
// event loop is a slice followed by the repaint (counted together here,
// although the repaint is an event of its own).
void TickSliceAndRepaint2000(benchmark::State& state)
{
    Park park(true);
    QImage window(kVisibleArea.size(), QImage::Format_RGB32);
    int slice = 0;
    for (auto _ : state) {
        park.document.TickSlice(slice, 20);
        slice = (slice + 1) % 20;
        repaint(park.document, window);
    }
}

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// Heap bytes per monitored game server with its channel open, 32 players
// and a full console log (the socket's kernel buffers are not counted).
void MemoryPerGameServer(benchmark::State& state)
{
    bench::BenchContext env;
    Sink sink;
    for (auto _ : state) {
        CQuorvaneDoc document(env.context());
        CZone* zone = document.AddZone("Zone", 1);
        CGroup* group = document.AddGroup("Group", zone, 1);
        const std::size_t before = heapInUse();
        for (int i = 0; i < kParkSize; ++i) {
            auto server = std::make_unique<CHLServer>(document.context());
            server->m_strAddress = bench::loopbackAddress(i);
            server->m_nPort = sink.port();
            server->m_strRconPassword = "secret";
            server->m_pGroup = group;
            server->OpenChannel();
            bench::feedBusyReplies(*server);
            document.m_objects.push_back(std::move(server));
        }
        const std::size_t after = heapInUse();
        int fullLogs = 0;
        for (const auto& object : document.m_objects)
            fullLogs += object->m_log.count() == CConsoleLog::kCapacity;
        state.counters["bytes_per_server"] = static_cast<double>(after - before) / kParkSize;
        state.counters["full_logs"] = fullLogs;
    }
}

} // namespace

BENCHMARK(Tick2000)->Unit(benchmark::kMillisecond);
BENCHMARK(Tick2000WithoutSockets)->Unit(benchmark::kMillisecond);
BENCHMARK(LayoutAndRepaint2000)->Unit(benchmark::kMillisecond);
BENCHMARK(TickAndRepaint2000)->Unit(benchmark::kMillisecond);
BENCHMARK(TickSliceAndRepaint2000)->Unit(benchmark::kMillisecond);
BENCHMARK(MemoryPerGameServer)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv);
}
