// The machines list beside the canvas: 2,000 objects whose players, maps and
// replies change every second, the list sorted by players (so every change
// moves rows) and docked beside the canvas of a full-HD window (640x1000). The list follows the document
// in twenty steps a second; each step, with the repaint it causes, is one
// pause of the window's event loop. Reported: the mean step and the longest.
#include "BenchPark.h"

#include "layout/CQuorvaneDoc.h"
#include "objects/CHLServer.h"
#include "objects/CHLTV.h"
#include "ui/CQuorvaneView.h"
#include "ui/MachinesDock.h"
#include "ui/MachinesModel.h"

#include <QApplication>
#include <QTableView>
#include <benchmark/benchmark.h>
#include <algorithm>
#include <chrono>

namespace {

constexpr int kParkSize = 2000;

// What a second of replies does to object i: new player counts, a map now
// and then, a fresh reply time.
void changeObject(CCommonObject& object, int second, int index)
{
    object.m_timeLastReply = 1'700'000'000 + second;
    if (auto* proxy = dynamic_cast<CHLTV*>(&object)) {
        proxy->m_nClients = (second * 7 + index) % 100;
    } else if (auto* server = dynamic_cast<CHLServer*>(&object)) {
        server->m_nPlayers = (second * 3 + index) % 33;
        if ((second + index) % 30 == 0)
            server->m_strMap = (second / 30) % 2 ? "de_inferno" : "de_dust2";
    }
}

void MachinesList2000(benchmark::State& state)
{
    bench::BenchContext env;
    CQuorvaneDoc document(env.context());
    bench::fillPark(document, kParkSize, 27015, false);
    CQuorvaneView view(document);
    MachinesDock dock(document, view);
    // Docked beside the canvas of a full-HD window: a third of its width.
    dock.resize(640, 1000);
    dock.show();
    dock.table()->sortByColumn(MachinesModel::PlayersColumn, Qt::DescendingOrder);
    QApplication::processEvents();

    const int objects = static_cast<int>(document.m_objects.size());
    double longest = 0;
    double stepTime = 0;
    int step = 0;
    int second = 0;
    for (auto _ : state) {
        // The tick's own work, outside the measure: this slice's objects change.
        const int slice = step % MachinesDock::kSlices;
        for (int i = objects * slice / MachinesDock::kSlices; i < objects * (slice + 1) / MachinesDock::kSlices; ++i)
            changeObject(*document.m_objects[static_cast<std::size_t>(i)], second, i);

        const auto start = std::chrono::steady_clock::now();
        dock.Step();
        const auto stepped = std::chrono::steady_clock::now();
        stepTime += std::chrono::duration<double>(stepped - start).count();
        // The repaint it asks for, as the event loop would run it next.
        dock.table()->viewport()->repaint();
        QApplication::sendPostedEvents();
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        state.SetIterationTime(took.count());
        longest = std::max(longest, took.count());
        if (++step % MachinesDock::kSlices == 0)
            ++second;
    }
    state.counters["longest_ms"] = longest * 1e3;
    state.counters["step_ms"] = stepTime * 1e3 / static_cast<double>(state.iterations());
    state.counters["rows"] = dock.model().rowCount();
}
BENCHMARK(MachinesList2000)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(1000);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
