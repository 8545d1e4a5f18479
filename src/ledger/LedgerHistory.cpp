#include "ledger/LedgerHistory.h"

#include "ledger/LedgerConnection.h"
#include "ledger/LedgerSql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QByteArray>
#include <QStringList>
#include <QVariant>
#include <algorithm>
#include <array>
#include <tuple>

namespace
{
using ledgersql::Exec;
using ledgersql::Number;
constexpr std::int64_t kWeekSeconds = 7 * 86400;
constexpr std::int64_t kDaySeconds = 86400;
constexpr int kSpansPerDay = static_cast<int>(kDaySeconds / LedgerHistory::kSpanSeconds);
// Each span of a day row: players and spectators (16 bits each, little end first) and samples.
constexpr int kSpanBytes = 5;

struct Span
{
    int players = 0;
    int spectators = 0;
    int samples = 0; // 0: nothing seen in the span
};
using Day = std::array<Span, kSpansPerDay>;

std::int64_t DayOf(std::int64_t second)
{
    return second - ((second % kDaySeconds) + kDaySeconds) % kDaySeconds;
}

Day Unpack(const QByteArray& bytes)
{
    Day day{};
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const int spans = static_cast<int>(std::min<qsizetype>(bytes.size() / kSpanBytes, kSpansPerDay));
    for (int i = 0; i < spans; ++i)
    {
        const unsigned char* span = data + i * kSpanBytes;
        day[i] = {span[0] | span[1] << 8, span[2] | span[3] << 8, span[4]};
    }
    return day;
}

QByteArray Pack(const Day& day)
{
    QByteArray bytes(kSpansPerDay * kSpanBytes, '\0');
    for (int i = 0; i < kSpansPerDay; ++i)
    {
        const int players = std::clamp(day[i].players, 0, 0xFFFF);
        const int spectators = std::clamp(day[i].spectators, 0, 0xFFFF);
        char* span = bytes.data() + i * kSpanBytes;
        span[0] = static_cast<char>(players & 0xFF);
        span[1] = static_cast<char>(players >> 8);
        span[2] = static_cast<char>(spectators & 0xFF);
        span[3] = static_cast<char>(spectators >> 8);
        span[4] = static_cast<char>(std::clamp(day[i].samples, 0, 0xFF));
    }
    return bytes;
}

void Merge(Span& into, const Span& span)
{
    into.players = std::max(into.players, span.players);
    into.spectators = std::max(into.spectators, span.spectators);
    into.samples = std::min(0xFF, into.samples + span.samples);
}

// Merges each folded day into its row (a minute that came late joins the day's row).
bool Store(QSqlDatabase& db, const std::map<std::tuple<QString, QString, std::int64_t>, Day>& days, QString& error)
{
    QSqlQuery query(db);
    for (const auto& [key, folded] : days)
    {
        const auto& [instance, object, day] = key;
        const auto bindKey = [&] {
            query.addBindValue(instance);
            query.addBindValue(object);
            query.addBindValue(Number(day));
        };
        query.prepare(QStringLiteral("SELECT spans FROM history_days WHERE instance = ? AND object = ? AND day = ?"));
        bindKey();
        if (!Exec(query, error))
            return false;
        const bool known = query.next();
        Day merged = known ? Unpack(query.value(0).toByteArray()) : Day{};
        query.finish();
        for (int i = 0; i < kSpansPerDay; ++i)
            if (folded[i].samples > 0)
                Merge(merged[i], folded[i]);
        query.prepare(known ? QStringLiteral("UPDATE history_days SET spans = ? WHERE instance = ? AND object = ?"
                                             " AND day = ?")
                            : QStringLiteral("INSERT INTO history_days (spans, instance, object, day)"
                                             " VALUES (?, ?, ?, ?)"));
        query.addBindValue(Pack(merged));
        bindKey();
        if (!Exec(query, error))
            return false;
    }
    return true;
}
} // namespace

std::int64_t LedgerHistory::FoldBefore(std::int64_t now)
{
    const std::int64_t line = now - kMinuteRowsSeconds;
    return line - ((line % kSpanSeconds) + kSpanSeconds) % kSpanSeconds;
}

bool LedgerHistory::fold(QSqlDatabase& db, std::int64_t now, QString& error)
{
    const std::int64_t before = FoldBefore(now);
    if (!db.transaction())
    {
        error = db.lastError().text().trimmed();
        return false;
    }
    std::map<std::tuple<QString, QString, std::int64_t>, Day> days;
    QSqlQuery query(db);
    query.setForwardOnly(true);
    query.prepare(
        QStringLiteral("SELECT instance, object, minute, players, spectators FROM history WHERE minute < ?"));
    query.addBindValue(Number(before));
    bool done = Exec(query, error);
    while (done && query.next())
    {
        const std::int64_t minute = query.value(2).toLongLong();
        const std::int64_t day = DayOf(minute);
        Merge(days[{query.value(0).toString(), query.value(1).toString(), day}][(minute - day) / kSpanSeconds],
              Span{query.value(3).toInt(), query.value(4).toInt(), 1});
    }
    query.finish();
    done = done && Store(db, days, error);
    if (done)
    {
        query.prepare(QStringLiteral("DELETE FROM history WHERE minute < ?"));
        query.addBindValue(Number(before));
        done = Exec(query, error);
    }
    if (done && db.commit())
        return true;
    if (done)
        error = db.lastError().text().trimmed();
    db.rollback();
    return false;
}

bool LedgerHistory::prune(QSqlDatabase& db, std::int64_t before, QString& error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM history_days WHERE day <= ?"));
    query.addBindValue(Number(before - kDaySeconds));
    if (!Exec(query, error))
        return false;
    // The day that holds the line keeps its spans from the line on, to the second.
    const std::int64_t day = DayOf(before);
    const int first = static_cast<int>((before - day + kSpanSeconds - 1) / kSpanSeconds);
    if (first == 0)
        return true;
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT instance, object, spans FROM history_days WHERE day = ?"));
    query.addBindValue(Number(day));
    if (!Exec(query, error))
        return false;
    std::vector<std::tuple<QString, QString, Day>> kept;
    while (query.next())
        kept.emplace_back(query.value(0).toString(), query.value(1).toString(),
                          Unpack(query.value(2).toByteArray()));
    query.finish();
    for (auto& [instance, object, spans] : kept)
    {
        std::fill(spans.begin(), spans.begin() + first, Span{});
        query.prepare(QStringLiteral("UPDATE history_days SET spans = ? WHERE instance = ? AND object = ? AND day = ?"));
        query.addBindValue(Pack(spans));
        query.addBindValue(instance);
        query.addBindValue(object);
        query.addBindValue(Number(day));
        if (!Exec(query, error))
            return false;
    }
    return true;
}

std::optional<std::map<QString, LedgerHistory::Series>> LedgerHistory::read(const LedgerTarget& target,
                                                                            std::int64_t now, QString& error)
{
    LedgerConnection connection(target);
    if (!connection.open(LedgerConnection::Mode::Read, error))
        return std::nullopt;
    std::map<QString, Series> found;
    {
        // Every minute row of the week: those past their first day and not yet folded count for the week.
        QSqlQuery query(connection.db());
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT object, minute, MAX(players + spectators) FROM history WHERE minute >= ?"
                                     " GROUP BY object, minute ORDER BY object, minute"));
        query.addBindValue(Number(now - kWeekSeconds));
        if (!Exec(query, error))
            return std::nullopt;
        while (query.next())
            found[query.value(0).toString()].minutes.emplace_back(query.value(1).toLongLong(), query.value(2).toInt());
    }
    // Spans of every console, merged into their peak: the rows of one span
    // each (older ledgers), then the day rows.
    std::map<QString, std::map<std::int64_t, int>> spans;
    const QStringList tables = connection.db().tables();
    if (tables.contains(QStringLiteral("history_10min")))
    {
        QSqlQuery query(connection.db());
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT object, span, MAX(players + spectators) FROM history_10min"
                                     " WHERE span >= ? GROUP BY object, span"));
        query.addBindValue(Number(now - kWeekSeconds));
        if (!Exec(query, error))
            return std::nullopt;
        while (query.next())
        {
            int& peak = spans[query.value(0).toString()][query.value(1).toLongLong()];
            peak = std::max(peak, query.value(2).toInt());
        }
    }
    // A ledger that the writer has not migrated yet holds no day rows: read as none.
    if (tables.contains(QStringLiteral("history_days")))
    {
        QSqlQuery query(connection.db());
        query.setForwardOnly(true);
        query.prepare(QStringLiteral("SELECT object, day, spans FROM history_days WHERE day >= ?"));
        query.addBindValue(Number(DayOf(now - kWeekSeconds)));
        if (!Exec(query, error))
            return std::nullopt;
        while (query.next())
        {
            const std::int64_t day = query.value(1).toLongLong();
            const Day packed = Unpack(query.value(2).toByteArray());
            auto& series = spans[query.value(0).toString()];
            for (int i = 0; i < kSpansPerDay; ++i)
            {
                const std::int64_t start = day + i * kSpanSeconds;
                if (packed[i].samples == 0 || start < now - kWeekSeconds)
                    continue;
                int& peak = series[start];
                peak = std::max(peak, packed[i].players + packed[i].spectators);
            }
        }
    }
    for (const auto& [object, series] : spans)
        found[object].spans.assign(series.begin(), series.end());
    error.clear();
    return found;
}
