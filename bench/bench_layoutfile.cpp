// Saving and opening a layout of 10,000 objects: the file alone, and the
// file with every object's channel opened and connected. Then opening large
// layouts with many groups, as a park of a whole league makes them: the
// links from groups to zones and objects to groups are made in linear time.
#include "BenchPark.h"

#include "layout/CQuorvaneDoc.h"
#include "layout/LayoutFile.h"
#include "objects/CHLServer.h"
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

// 127.a.b.c for index i: every object of a park of up to 15 million has an
// address of its own.
std::string leagueAddress(int index)
{
    return "127." + std::to_string(index / 62500) + "." + std::to_string(index / 250 % 250) + "." +
           std::to_string(index % 250 + 1);
}

// The file of a layout of objects game servers in groups groups, spread
// over one zone per 100 groups. No rcon passwords: each object opens its
// query channel entry but no socket of its own, so that the process stays
// within its descriptor limit.
QByteArray leagueLayout(int objects, int groups)
{
    bench::BenchContext env;
    CQuorvaneDoc document(env.context());
    document.DeleteContents();
    std::vector<CGroup*> made;
    CZone* zone = nullptr;
    for (int g = 0; g < groups; ++g) {
        if (g % 100 == 0)
            zone = document.AddZone("Division " + std::to_string(g / 100 + 1), 1 + g / 100 % 5);
        made.push_back(document.AddGroup("Team " + std::to_string(g + 1), zone, 1 + g % 2));
    }
    for (int i = 0; i < objects; ++i) {
        auto server = std::make_unique<CHLServer>(document.context());
        server->m_strAddress = leagueAddress(i);
        server->m_nPort = kPort;
        server->m_pGroup = made[static_cast<std::size_t>(i % groups)];
        document.m_objects.push_back(std::move(server));
    }
    return layoutfile::save(document);
}

void openLeague(benchmark::State& state, int objects, int groups)
{
    const QByteArray bytes = leagueLayout(objects, groups);
    bench::BenchContext env;
    CQuorvaneDoc document(env.context());
    for (auto _ : state) {
        if (!layoutfile::load(document, bytes, layoutfile::Channels::Open)) {
            state.SkipWithError("the layout did not open");
            break;
        }
    }
    // Opened as written: nothing repaired, nothing refused, and saved again
    // byte for byte.
    if (document.m_objects.size() != static_cast<std::size_t>(objects) || !env.op.messages.empty() ||
        document.IsModified() || layoutfile::save(document) != bytes)
        state.SkipWithError("the layout did not open as it was saved");
    state.counters["objects"] = static_cast<double>(document.m_objects.size());
    state.counters["groups"] = static_cast<double>(document.m_groups.size());
    state.counters["file_bytes"] = static_cast<double>(bytes.size());
}

// The size of the park that once took 27 s to open.
void Open20000GroupsAnd20000Objects(benchmark::State& state)
{
    openLeague(state, 20000, 20000);
}

void Open100000ObjectsIn20000Groups(benchmark::State& state)
{
    openLeague(state, 100000, 20000);
}

} // namespace

BENCHMARK(Save10000)->Unit(benchmark::kMillisecond);
BENCHMARK(Open10000WithoutSockets)->Unit(benchmark::kMillisecond);
BENCHMARK(Open10000WithSockets)->Unit(benchmark::kMillisecond);
BENCHMARK(Open20000GroupsAnd20000Objects)->Unit(benchmark::kMillisecond);
BENCHMARK(Open100000ObjectsIn20000Groups)->Unit(benchmark::kMillisecond);

int main(int argc, char** argv)
{
    return bench::runBenchmarks(argc, argv);
}
