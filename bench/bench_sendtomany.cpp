// Send to many, in the window: 200 game servers of the simulated park on
// 127.0.0.1, all under rcon, one command sent to every one of them with the
// results window open. The window's event loop runs as the window runs it
// (the tick in twenty slices a second, the datagrams between them); each
// event it delivers is one pause. Reported: the seconds of the document's
// clock until every row of the results table shows its answer, and the
// longest pause from the send to the end of the poll cycle, in wall-clock
// time and in the thread's own CPU time. BENCH_SHOW_PAUSES=1 lists every
// event over 2 ms.
#include "BenchPark.h"

#include "core/Clock.h"
#include "core/SilentOperator.h"
#include "layout/CQuorvaneDoc.h"
#include "objects/CHLServer.h"
#include "ui/CControlView.h"
#include "ui/CQuorvaneView.h"
#include "ui/CSendToManyDlg.h"

#include <QApplication>
#include <QProcess>
#include <QTableWidget>
#include <QTimer>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>

namespace {

constexpr int kServers = 200;

// The park, on free ports; the ports of its game servers.
QList<quint16> startPark(QProcess& park)
{
    park.start(QStringLiteral(QUORVANE_SIM_BINARY),
               {QStringLiteral("--servers"), QString::number(kServers), QStringLiteral("--port"),
                QStringLiteral("0"), QStringLiteral("--rcon"), QStringLiteral("secret"),
                QStringLiteral("--still"), QStringLiteral("--seed"), QStringLiteral("5")});
    QList<quint16> ports;
    QByteArray pending;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (std::chrono::steady_clock::now() < deadline && park.waitForReadyRead(1000)) {
        pending += park.readAllStandardOutput();
        while (pending.contains('\n')) {
            const QByteArray line = pending.left(pending.indexOf('\n')).trimmed();
            pending.remove(0, pending.indexOf('\n') + 1);
            if (line == "ready")
                return ports;
            if (line.startsWith("server "))
                ports.append(static_cast<quint16>(line.mid(line.lastIndexOf(':') + 1).toUInt()));
        }
    }
    return {};
}

// Times every event the application delivers from its loop: each is one
// pause of the window (a tick slice, a batch of datagrams, a repaint).
class TimedApplication : public QApplication
{
public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override
    {
        if (m_depth++ > 0) {
            const bool handled = QApplication::notify(receiver, event);
            --m_depth;
            return handled;
        }
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = bench::threadCpuSeconds();
        const bool handled = QApplication::notify(receiver, event);
        const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
        --m_depth;
        if (measuring) {
            longest = std::max(longest, took.count());
            longestCpu = std::max(longestCpu, bench::threadCpuSeconds() - cpuStart);
        }
        if (measuring && qEnvironmentVariableIsSet("BENCH_SHOW_PAUSES") && took.count() > 0.002)
            qWarning("%.2f ms: %s, event %d", took.count() * 1e3, receiver->metaObject()->className(),
                     int(event->type()));
        return handled;
    }

    bool measuring = false;
    double longest = 0;
    double longestCpu = 0;

private:
    int m_depth = 0;
};

// Runs the event loop until done holds or the time is up; true when it held.
template <class Done> bool runLoopUntil(Done done, int milliseconds)
{
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(milliseconds);
    while (!done() && std::chrono::steady_clock::now() < deadline) {
        QApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return done();
}

void SendTo200Machines(benchmark::State& state)
{
    auto* application = static_cast<TimedApplication*>(QCoreApplication::instance());
    QProcess park;
    const QList<quint16> ports = startPark(park);
    if (ports.size() != kServers) {
        state.SkipWithError("the simulated park did not start");
        return;
    }
    SilentContext env;
    env.clock.set(1'700'000'000);
    CQuorvaneDoc document(env.context());
    document.OnNewDocument();
    for (const quint16 port : ports)
        document.AddServer("127.0.0.1", port, "secret", document.m_groups[0].get());
    // The window's pieces: the canvas (whose timer ticks the document in
    // twenty slices a second), the control panel and the results window.
    CQuorvaneView view(document);
    view.resize(1280, 600);
    view.show();
    CControlView panel(document);
    panel.show();
    CSendToManyDlg results(document);
    results.show();
    // The injected clock follows the wall clock, a second at a time.
    QTimer seconds;
    QObject::connect(&seconds, &QTimer::timeout, [&] { env.clock.advance(1); });
    seconds.start(1000);

    const auto controlled = [&] {
        return std::all_of(document.m_objects.begin(), document.m_objects.end(),
                           [](const auto& object) { return object->m_nStatus == CSStatus_CONTROL; });
    };
    if (!runLoopUntil(controlled, 30000)) {
        state.SkipWithError("the park's servers did not come under rcon");
        return;
    }

    std::int64_t fillSeconds = -1;
    int shownRows = 0;
    for (auto _ : state) {
        document.SetSelection(document.m_groups[0].get(), nullptr);
        results.setCommands(QStringLiteral("say hello park"));
        application->longest = 0;
        application->longestCpu = 0;
        application->measuring = true;
        const std::int64_t sentAt = env.clock.now();
        const auto start = std::chrono::steady_clock::now();
        const double cpuStart = bench::threadCpuSeconds();
        results.send();
        const std::chrono::duration<double> sending = std::chrono::steady_clock::now() - start;
        application->longest = std::max(application->longest, sending.count());
        application->longestCpu =
            std::max(application->longestCpu, bench::threadCpuSeconds() - cpuStart);
        if (qEnvironmentVariableIsSet("BENCH_SHOW_PAUSES"))
            qWarning("send: %.2f ms", sending.count() * 1e3);
        const SendToMany& sent = document.parkConsole().sending;
        // Filled: every row answered and the table showing it.
        const auto filled = [&] {
            if (sent.count(SendToMany::State::Answered) != std::size_t(kServers))
                return false;
            shownRows = 0;
            for (int row = 0; row < results.results()->rowCount(); ++row) {
                const QTableWidgetItem* item = results.results()->item(row, 1);
                shownRows += item && item->text() == QLatin1String("answered");
            }
            return shownRows == kServers;
        };
        if (runLoopUntil(filled, 2000 * static_cast<int>(SendToMany::kReplySeconds)))
            fillSeconds = env.clock.now() - sentAt;
        // The rest of the poll cycle, with the table full.
        runLoopUntil([] { return false; }, 2000);
        application->measuring = false;
    }
    state.counters["fill_seconds"] = static_cast<double>(fillSeconds);
    state.counters["answered_rows"] = shownRows;
    state.counters["longest_ms"] = application->longest * 1e3;
    state.counters["longest_cpu_ms"] = application->longestCpu * 1e3;
    park.terminate();
    park.waitForFinished(5000);
}
BENCHMARK(SendTo200Machines)->Unit(benchmark::kMillisecond)->Iterations(1);

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    TimedApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
