// The ledger of a 200-object park after 30 simulated days, written through
// the ledger's own writer on the injected clock so that its daily pruning
// and folding run as they do live:
// - every minute, each object's players and spectators;
// - one match an hour per server, its score over time, a proxy recording it;
// - players churning: 12 on each server, half of them new each hour, drawn
//   from 30,000 returning players, each seen every ten minutes while there;
// - each server down for two minutes once a day; 100 commands a day.
// Reports the bytes in use and a look-up of one SteamID in it. Run once:
// the month takes minutes to write.
#include "core/Clock.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerQuery.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

#include <array>
#include <string>

namespace {

constexpr std::int64_t kStart = 1'800'000'000;
constexpr int kServers = 200;
constexpr int kDays = 30;
constexpr int kPresent = 12;
constexpr int kPool = 30'000;

std::string serverOf(int server)
{
    return "server 127.0." + std::to_string(server / 250) + "." + std::to_string(1 + server % 250) + ":27015";
}

SightingRecord sightingOf(std::int64_t at, const std::string& server, int player)
{
    return {at, server, "Player" + std::to_string(player), "STEAM_0:1:" + std::to_string(1000000 + player),
            "127.2." + std::to_string(player / 250 % 250) + "." + std::to_string(player % 250)};
}

double bytesInUse(const QString& path)
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

// Bytes of each table with its indexes, where SQLite was built to tell.
void tableSizes(const QString& path, benchmark::State& state)
{
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("tables"));
        db.setDatabaseName(path);
        QSqlQuery query(db);
        if (db.open() && query.exec(QStringLiteral("SELECT tbl_name, SUM(pgsize) FROM dbstat JOIN sqlite_master"
                                                   " ON dbstat.name = sqlite_master.name GROUP BY tbl_name"))) {
            while (query.next())
                state.counters["MB_" + query.value(0).toString().toStdString()] =
                    query.value(1).toDouble() / 1048576;
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("tables"));
}

void Park30DaysOf200Objects(benchmark::State& state)
{
    for (auto _ : state) {
        QTemporaryDir directory;
        ManualClock clock(kStart);
        Ledger::Options options;
        options.settings.target.path = directory.filePath(QStringLiteral("month.sqlite"));
        options.settings.instance = QStringLiteral("bench");
        options.threaded = false;
        Ledger ledger(options, clock);
        std::array<std::array<int, kPresent>, kServers> present{};
        int nextPlayer = 0;
        for (auto& players : present)
            for (int& player : players)
                player = nextPlayer++ % kPool;
        std::int64_t records = 0;
        for (int hour = 0; hour < kDays * 24; ++hour) {
            const std::int64_t top = kStart + std::int64_t{hour} * 3600;
            for (int server = 0; server < kServers; ++server) {
                const std::string where = serverOf(server);
                // Half of the players leave after each match; others come.
                for (int i = 0; i < kPresent / 2; ++i)
                    present[server][(hour + i * 2) % kPresent] = nextPlayer++ % kPool;
                MatchRecord match{where, "de_dust2", "Red vs Blue", "", top, 0,
                                  "hltv 127.0.1.1:27020", "match-" + std::to_string(hour), ""};
                for (int round = 0; round < 30; ++round)
                    match.scores += (round ? " " : "") + std::to_string(round / 2 + round % 2) + ":" +
                                    std::to_string(round / 2);
                ledger.record(match);
                match.ended = top + 3300;
                match.ending = "finished";
                ledger.record(std::move(match));
                records += 2;
                if (hour % 24 == server % 24) {
                    ledger.record(AvailabilityRecord{top + 60, where, "down", 0});
                    ledger.record(AvailabilityRecord{top + 180, where, "up", 120});
                    records += 2;
                }
            }
            // In time order, as the program writes them: each minute every server's count, each
            // ten minutes every player on it.
            for (int minute = 0; minute < 60; ++minute)
                for (int server = 0; server < kServers; ++server) {
                    ledger.record(HistoryRecord{top + minute * 60, serverOf(server), kPresent, minute % 3});
                    ++records;
                    if (minute % 10 == 0)
                        for (int player : present[server]) {
                            ledger.record(sightingOf(top + minute * 60, serverOf(server), player));
                            ++records;
                        }
                }
            for (int i = 0; i < 4; ++i) {
                ledger.record(CommandRecord{top + i * 900, "alice", serverOf(hour % kServers), "say Next match in 5 minutes",
                                            {}, "Server say \"Next match in 5 minutes\""});
                ++records;
            }
            clock.set(top + 3600);
            if (!ledger.pump()) {
                state.SkipWithError("the ledger could not be written");
                return;
            }
        }
        state.PauseTiming();
        if (ledger.dropped() > 0)
            state.SkipWithError("records were dropped");
        state.counters["records"] = static_cast<double>(records);
        state.counters["MB"] = bytesInUse(options.settings.target.path) / 1048576;
        tableSizes(options.settings.target.path, state);
        LedgerQuery::Filter filter;
        filter.find = QStringLiteral("STEAM_0:1:1012345");
        QString error;
        QElapsedTimer look;
        look.start();
        const auto table = LedgerQuery::run(options.settings.target, LedgerQuery::Kind::Players, filter, error);
        state.counters["find_steam_id_ms"] = static_cast<double>(look.nsecsElapsed()) / 1e6;
        if (!table || table->rows.empty())
            state.SkipWithError("the look-up did not find the player");
        state.ResumeTiming();
    }
}

} // namespace

BENCHMARK(Park30DaysOf200Objects)->Unit(benchmark::kSecond)->Iterations(1);

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
