// The once-a-second work of a large park: the document's tick (every
// object's poll step, datagrams really sent), the layout pass and the
// repaint of a full-HD window's worth of canvas; the window's longest pause
// over simulated seconds, with and without the ledger writing; and what one
// monitored game server costs in memory.
#include "BenchPark.h"

#include "layout/CQuorvaneDoc.h"
#include "layout/CanvasDamage.h"
#include "layout/CanvasLayout.h"
#include "layout/CanvasPainter.h"
#include "ledger/Ledger.h"
#include "objects/CHLServer.h"
#include "objects/CRconSocket.h"

#include <QCoreApplication>
#include <QImage>
#include <QPainter>
#include <QRegion>
#include <QTemporaryDir>
#include <QThread>
#include <QUdpSocket>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>
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

// The layout, then the visible part painted whole; as in the window, the
// canvas fills every pixel it covers.
void repaint(CQuorvaneDoc& document, QImage& window)
{
    RecalcLayout(document);
    QPainter painter(&window);
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

// The same over a park that answers: every box with its hostname, players,
// gauges and marks, as the window shows it in a tournament.
void LayoutAndRepaintAnswering2000(benchmark::State& state)
{
    Park park(true);
    for (int second = 0; second < 12; ++second) {
        park.env.clock.advance(1);
        for (const auto& object : park.document.m_objects)
            bench::feedBusyReplies(*object);
        park.document.TickSecond();
    }
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

// The window's pauses, each timed: over simulated seconds of a park that
// answers (each machine's replies fed again every poll cycle after its
// slice, a sixth of the park each second, outside the timing), the
// twenty slices of each second, the posted events each slice leaves (the
// query channel sends what the slice queued) and the repaint the document
// asks for. As in the window, the document's update (after the second's
// last slice) lays the canvas out again within the slice's event, and the
// paint that follows is an event of its own; the longest pause is the
// longest of any. The clock moves a second per twenty slices, so
// that the once-a-second work of the last slice, the per-minute history, the
// sightings and the uptime come due as they do live. With a ledger, its feed
// queues their records on this thread and the ledger's own thread writes
// them to an SQLite file.
void windowSeconds(benchmark::State& state, bool withLedger)
{
    constexpr int kSeconds = 130; // two minute boundaries at least
    constexpr int kSlices = 20;
    Park park(true);
    QTemporaryDir directory;
    SystemClock writerClock;
    std::unique_ptr<Ledger> ledger;
    if (withLedger) {
        Ledger::Options options;
        options.settings.target.path = directory.filePath(QStringLiteral("ledger.sqlite"));
        options.settings.instance = QStringLiteral("bench");
        ledger = std::make_unique<Ledger>(options, writerClock);
        park.document.AttachLedger(ledger.get());
    }
    QImage window(kVisibleArea.size(), QImage::Format_RGB32);
    // What the view does on the document's update, within the same event:
    // the layout, then what of the visible part draws differently. The
    // paint then covers that, clipped to it as a window's paint event is.
    CanvasDamage damage;
    QRegion changed;
    bool paintDue = false;
    QObject::connect(&park.document, &CQuorvaneDoc::viewsUpdated, [&] {
        RecalcLayout(park.document);
        changed = QRegion();
        for (const QRect& part : damage.Changed(park.document, kVisibleArea, {}))
            changed += part.adjusted(-3, -3, 3, 3);
        paintDue = !changed.isEmpty();
    });
    const auto paintChanged = [&] {
        QPainter painter(&window);
        painter.setClipRegion(changed);
        PaintCanvas(painter, park.document, changed);
        painter.end();
        damage.Painted(park.document, changed, kVisibleArea, {});
    };
    // BENCH_SHOW_PAUSES=MS lists every event over MS milliseconds (4 when unset or not a number).
    const bool show = qEnvironmentVariableIsSet("BENCH_SHOW_PAUSES");
    bool given = false;
    const double shownOver = qEnvironmentVariable("BENCH_SHOW_PAUSES").toDouble(&given);
    const double threshold = given && shownOver > 0 ? shownOver : 4;
    // The wall clock, and the thread's own CPU time apart: on a shared
    // machine the difference is time spent waiting for a core.
    double longestCpu = 0;
    const auto timed = [&longestCpu](auto&& work) {
        const double cpuStart = bench::threadCpuSeconds();
        const auto start = std::chrono::steady_clock::now();
        work();
        const auto took = std::chrono::steady_clock::now() - start;
        longestCpu = std::max(longestCpu, (bench::threadCpuSeconds() - cpuStart) * 1000);
        return std::chrono::duration<double, std::milli>(took).count();
    };
    // The window has painted its layout before the park first answers, and
    // what an earlier run left to delete is gone.
    park.document.UpdateAllViews(CQuorvaneDoc::HintLayout);
    paintChanged();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCoreApplication::sendPostedEvents();
    double longestSlice = 0;
    double longestPosted = 0;
    double longestRepaint = 0;
    double lastSlices = 0;
    double feedSlices = 0;
    // Where the document's ledger feed walks the park (with or without a ledger).
    const int feedFirst = (kSlices - CQuorvaneDoc::kLedgerFeedSlices) / 2;
    double repaints = 0;
    int paints = 0;
    for (auto _ : state) {
        for (int second = 0; second < kSeconds; ++second) {
            park.env.clock.advance(1);
            for (int slice = 0; slice < kSlices; ++slice) {
                const double tick = timed([&] { park.document.TickSlice(slice, kSlices); });
                // Each machine answers once a poll cycle, after its slice's polls: a
                // sixth of the park each second, as a live park's replies come in
                // over the cycle.
                for (int i = kParkSize * slice / kSlices; i < kParkSize * (slice + 1) / kSlices; ++i)
                    if ((i + second) % 6 == 0)
                        bench::feedBusyReplies(*park.document.m_objects[static_cast<std::size_t>(i)], second / 6);
                // What the slice posted (the query channel sends its queue).
                const double posted = timed([] { QCoreApplication::sendPostedEvents(); });
                const double painting = paintDue ? timed(paintChanged) : 0;
                if (paintDue)
                    ++paints;
                paintDue = false;
                if (show && std::max({tick, posted, painting}) > threshold)
                    std::fprintf(stderr, "second %d, slice %d: tick %.2f ms, posted %.2f ms, repaint %.2f ms\n",
                                 second, slice, tick, posted, painting);
                longestSlice = std::max(longestSlice, tick);
                longestPosted = std::max(longestPosted, posted);
                longestRepaint = std::max(longestRepaint, painting);
                repaints += painting;
                if (slice + 1 == kSlices)
                    lastSlices += tick;
                if (slice >= feedFirst && slice < feedFirst + CQuorvaneDoc::kLedgerFeedSlices)
                    feedSlices += tick;
            }
        }
    }
    const double seconds = static_cast<double>(state.iterations()) * kSeconds;
    state.counters["longest_ms"] = std::max({longestSlice, longestPosted, longestRepaint});
    state.counters["longest_cpu_ms"] = longestCpu;
    state.counters["longest_slice_ms"] = longestSlice;
    state.counters["longest_posted_ms"] = longestPosted;
    state.counters["longest_repaint_ms"] = longestRepaint;
    state.counters["repaint_mean_ms"] = repaints / std::max(1, paints);
    state.counters["repaints"] = paints;
    state.counters["last_slice_mean_ms"] = lastSlices / seconds;
    // The slices in which the ledger's feed walks the park.
    state.counters["feed_slice_mean_ms"] = feedSlices / (seconds * CQuorvaneDoc::kLedgerFeedSlices);
    if (ledger) {
        // The writer's share is its own; wait for it only to count what it wrote.
        const auto writtenSoFar = [&ledger] {
            std::uint64_t written = 0;
            for (const auto& kind : ledger->stats().written)
                written += kind.load();
            return written;
        };
        // Until the queue is empty and the batch in hand is written too.
        std::uint64_t written = writtenSoFar();
        for (int i = 0; i < 200; ++i) {
            QThread::msleep(50);
            const std::uint64_t now = writtenSoFar();
            if (ledger->queued() == 0 && now == written)
                break;
            written = now;
        }
        state.counters["records_written"] = static_cast<double>(written);
        state.counters["records_dropped"] = static_cast<double>(ledger->dropped());
        park.document.AttachLedger(nullptr);
    }
}

void WindowSeconds2000(benchmark::State& state)
{
    windowSeconds(state, false);
}

void WindowSecondsWithLedger2000(benchmark::State& state)
{
    windowSeconds(state, true);
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
BENCHMARK(LayoutAndRepaintAnswering2000)->Unit(benchmark::kMillisecond);
BENCHMARK(TickAndRepaint2000)->Unit(benchmark::kMillisecond);
BENCHMARK(TickSliceAndRepaint2000)->Unit(benchmark::kMillisecond);
BENCHMARK(WindowSeconds2000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(WindowSecondsWithLedger2000)->Unit(benchmark::kMillisecond)->Iterations(1);
BENCHMARK(MemoryPerGameServer)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv);
}
