// The ledger: write throughput of the writer step, the cost of queueing a
// record on the window's thread, a SteamID look-up in a ledger of 200,000
// sightings, and the player history: folding a day of minutes of 200
// objects into ten-minute rows, and what 30 days of it take on disk.
#include "core/Clock.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerQuery.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

constexpr std::int64_t kStart = 1'800'000'000;

Ledger::Options fileOptions(const QString& path, bool threaded)
{
    Ledger::Options options;
    options.settings.target.path = path;
    options.settings.instance = QStringLiteral("bench");
    options.threaded = threaded;
    return options;
}

LedgerRecord mixedRecord(int i)
{
    const std::string object = "server 127.0.0." + std::to_string(1 + i % 200) + ":27015";
    switch (i % 4) {
    case 0:
        return HistoryRecord{kStart + 60 * (i / 200), object, i % 32, 0};
    case 1:
        return SightingRecord{kStart + i, object, "player" + std::to_string(i % 5000),
                              "STEAM_0:1:" + std::to_string(i % 5000), "127.1.0." + std::to_string(i % 250)};
    case 2:
        return AvailabilityRecord{kStart + i, object, i % 8 ? "up" : "down", 60};
    default:
        return CommandRecord{kStart + i, "alice", object, "status", {}, "hostname: bench"};
    }
}

void WriteThroughput(benchmark::State& state)
{
    QTemporaryDir directory;
    ManualClock clock(kStart);
    Ledger ledger(fileOptions(directory.filePath(QStringLiteral("l.sqlite")), false), clock);
    ledger.pump();
    constexpr int kBatch = 10000;
    int next = 0;
    for (auto _ : state) {
        for (int i = 0; i < kBatch; ++i)
            ledger.record(mixedRecord(next++));
        if (!ledger.pump())
            state.SkipWithError("the ledger could not be written");
    }
    state.SetItemsProcessed(state.iterations() * kBatch);
}

// What the window's thread pays per record: the writer runs beside it.
void QueueRecord(benchmark::State& state)
{
    QTemporaryDir directory;
    SystemClock clock;
    Ledger ledger(fileOptions(directory.filePath(QStringLiteral("q.sqlite")), true), clock);
    int next = 0;
    for (auto _ : state)
        ledger.record(mixedRecord(next++));
    state.SetItemsProcessed(state.iterations());
}

void FindSteamIdIn200000Sightings(benchmark::State& state)
{
    QTemporaryDir directory;
    ManualClock clock(kStart);
    const auto options = fileOptions(directory.filePath(QStringLiteral("s.sqlite")), false);
    {
        Ledger ledger(options, clock);
        for (int i = 0; i < 200'000; ++i)
            ledger.record(
                SightingRecord{kStart + i, "server 127.0.0." + std::to_string(1 + i % 200) + ":27015",
                               "player" + std::to_string(i), "STEAM_0:1:" + std::to_string(i),
                               "127.1." + std::to_string(i / 250 % 250) + "." + std::to_string(i % 250)});
        ledger.pump();
    }
    LedgerQuery::Filter filter;
    filter.find = QStringLiteral("STEAM_0:1:123457");
    QString error;
    for (auto _ : state) {
        const auto table =
            LedgerQuery::run(options.settings.target, LedgerQuery::Kind::Players, filter, error);
        if (!table || table->rows.size() != 1)
            state.SkipWithError("the look-up did not find the one player");
    }
}

// Bytes of the SQLite file in use (pages not on the free list), read on a
// connection of its own.
double BytesInUse(const QString& path)
{
    double bytes = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("size"));
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery query(db);
            const auto pragma = [&](const char* name) {
                return query.exec(QStringLiteral("PRAGMA ") + QLatin1String(name)) && query.next()
                           ? query.value(0).toDouble()
                           : 0.0;
            };
            bytes = (pragma("page_count") - pragma("freelist_count")) * pragma("page_size");
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("size"));
    return bytes;
}

void HistoryFoldADayOf200Objects(benchmark::State& state)
{
    constexpr int kObjects = 200;
    for (auto _ : state) {
        state.PauseTiming();
        QTemporaryDir directory;
        ManualClock clock(kStart);
        const auto options = fileOptions(directory.filePath(QStringLiteral("h.sqlite")), false);
        Ledger ledger(options, clock);
        ledger.pump();
        const double empty = BytesInUse(options.settings.target.path);
        for (int minute = 0; minute < 1440; ++minute)
            for (int object = 0; object < kObjects; ++object)
                ledger.record(HistoryRecord{kStart + 60 * minute,
                                            "server 127.0.0." + std::to_string(1 + object) + ":27015",
                                            (minute + object) % 33, 0});
        ledger.pump();
        const double minutes = BytesInUse(options.settings.target.path) - empty;
        clock.advance(2 * 86400);
        state.ResumeTiming();
        if (!ledger.pump())
            state.SkipWithError("the ledger could not be written");
        state.PauseTiming();
        const double spans = BytesInUse(options.settings.target.path) - empty;
        // Kept 30 days: the last day in minutes, the 29 before it in ten-minute rows.
        state.counters["minute_KB_per_object_day"] = minutes / kObjects / 1024;
        state.counters["span_KB_per_object_day"] = spans / kObjects / 1024;
        state.counters["KB_per_object_30_days"] = (minutes + 29 * spans) / kObjects / 1024;
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(WriteThroughput)->Unit(benchmark::kMillisecond);
BENCHMARK(QueueRecord)->Unit(benchmark::kMicrosecond);
BENCHMARK(FindSteamIdIn200000Sightings)->Unit(benchmark::kMillisecond)->Iterations(10);
BENCHMARK(HistoryFoldADayOf200Objects)->Unit(benchmark::kMillisecond)->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
