// Saving and opening a layout of 10,000 objects: the file alone, and the
// file with every object's channel opened and connected.
#include "BenchPark.h"

#include "layout/CQuorvaneDoc.h"
#include "layout/LayoutFile.h"
#include "objects/CRconSocket.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr int kLayoutSize = 10000;
constexpr std::uint16_t kPort = 27015;

QByteArray parkLayout()
{
    bench::BenchContext env;
    CQuorvaneDoc document(env.context());
    bench::fillPark(document, kLayoutSize, kPort, false);
    return layoutfile::save(document);
}

void Save10000(benchmark::State& state)
{
    bench::BenchContext env;
    CQuorvaneDoc document(env.context());
    bench::fillPark(document, kLayoutSize, kPort, false);
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("park.qvl"));
    QString error;
    for (auto _ : state) {
        if (!layoutfile::saveToFile(document, path, error))
            state.SkipWithError(error.toStdString().c_str());
    }
    state.counters["file_bytes"] = static_cast<double>(QFile(path).size());
}

void openRepeatedly(benchmark::State& state, layoutfile::Channels channels)
{
    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("park.qvl"));
    {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(parkLayout());
    }
    bench::BenchContext env;
    CQuorvaneDoc document(env.context());
    for (auto _ : state) {
        QFile file(path);
        if (!file.open(QIODevice::ReadOnly) || !layoutfile::load(document, file.readAll(), channels)) {
            state.SkipWithError("the layout did not open");
            break;
        }
        if (channels == layoutfile::Channels::Open) {
            // Opened means every channel made and connected, able to send.
            for (const auto& object : document.m_objects) {
                if (!object->channel()->isConnected()) {
                    state.SkipWithError("not every channel connected");
                    break;
                }
            }
        }
    }
    state.counters["objects"] = static_cast<double>(document.m_objects.size());
    state.counters["messages"] = static_cast<double>(env.op.messages.size());
}

void Open10000WithoutSockets(benchmark::State& state)
{
    openRepeatedly(state, layoutfile::Channels::Closed);
}

void Open10000WithSockets(benchmark::State& state)
{
    openRepeatedly(state, layoutfile::Channels::Open);
}

} // namespace

BENCHMARK(Save10000)->Unit(benchmark::kMillisecond);
BENCHMARK(Open10000WithoutSockets)->Unit(benchmark::kMillisecond);
BENCHMARK(Open10000WithSockets)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv);
}
