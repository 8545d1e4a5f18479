#include "ledger/LedgerStore.h"

#include "core/Clock.h"
#include "ledger/LedgerHistory.h"
#include "ledger/LedgerSchedules.h"
#include "ledger/LedgerSql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace
{
using ledgersql::Exec;
using ledgersql::Number;
// Texts from the wire: valid UTF-8 (PostgreSQL refuses anything else), no
// NUL, and bounded.
QString Text(const std::string& bytes, qsizetype limit = 4000)
{
    QString text = QString::fromUtf8(bytes.data(), static_cast<qsizetype>(std::min<std::size_t>(bytes.size(), 16000)));
    text.remove(QChar(0));
    if (text.size() > limit)
        text.truncate(limit);
    return text;
}

} // namespace

LedgerStore::LedgerStore(Settings settings, LedgerQueue& queue, LedgerStats& stats, const Clock& clock,
                         Reporter report)
    : m_settings(std::move(settings)), m_queue(queue), m_stats(stats), m_clock(clock), m_report(std::move(report)),
      m_connection(m_settings.target)
{
}

void LedgerStore::trouble(const QString& what)
{
    ++m_stats.writeErrors;
    m_sightings.reset();
    m_connection.close();
    m_nextAttempt = m_clock.now() + kRetrySeconds;
    if (m_inTrouble)
        return;
    m_inTrouble = true;
    m_report(QStringLiteral("The ledger %1 cannot be written: %2. Quorvane runs on without it and tries again "
                            "every minute; records wait in memory meanwhile.")
                 .arg(m_settings.target.describe(), what));
}

bool LedgerStore::ensureOpen()
{
    if (m_connection.isOpen())
        return true;
    if (m_clock.now() < m_nextAttempt)
        return false;
    QString error;
    if (!m_connection.open(LedgerConnection::Mode::Write, error))
    {
        trouble(error);
        return false;
    }
    if (!m_connection.setAsidePath().isEmpty())
        m_report(QStringLiteral("The ledger %1 was damaged: it was set aside as %2 and a new one started.")
                     .arg(m_settings.target.describe(), m_connection.setAsidePath()));
    return true;
}

bool LedgerStore::pump()
{
    if (!ensureOpen())
        return false;
    QString error;
    const std::int64_t now = m_clock.now();
    if (now >= m_nextPrune)
    {
        if (!prune(now - std::int64_t{m_settings.keepDays} * 86400, error))
        {
            trouble(error);
            return false;
        }
        m_nextPrune = now + kPruneSeconds;
    }
    for (;;)
    {
        std::vector<LedgerRecord> batch = m_queue.take(kBatch);
        if (batch.empty())
            break;
        if (!writeBatch(batch, error))
        {
            m_queue.giveBack(std::move(batch));
            trouble(error);
            return false;
        }
    }
    // After the batch, so that minutes written late fold with their day.
    if (now >= m_nextHistoryFold)
    {
        if (!LedgerHistory::fold(m_connection.db(), now, error))
        {
            trouble(error);
            return false;
        }
        m_nextHistoryFold = now + kHistoryFoldSeconds;
    }
    if (m_foldDue)
        foldLog();
    const std::uint64_t dropped = m_queue.dropped();
    if (m_inTrouble)
    {
        m_inTrouble = false;
        QString text = QStringLiteral("The ledger %1 is written again.").arg(m_settings.target.describe());
        if (dropped > m_droppedReported)
            text += QStringLiteral(" %1 records could not wait and were dropped.").arg(dropped - m_droppedReported);
        m_report(text);
        m_droppedReported = dropped;
    }
    return true;
}

bool LedgerStore::writeBatch(std::vector<LedgerRecord>& batch, QString& error)
{
    QSqlDatabase& db = m_connection.db();
    if (!db.transaction())
    {
        error = db.lastError().text().trimmed();
        return false;
    }
    std::array<std::uint64_t, LedgerStats::KindCount> written{};
    for (const LedgerRecord& record : batch)
    {
        if (!write(record, error))
        {
            db.rollback();
            m_sightings.reset();
            return false;
        }
        if (record.index() < LedgerStats::KindCount)
            ++written[record.index()];
    }
    if (!db.commit())
    {
        error = db.lastError().text().trimmed();
        db.rollback();
        m_sightings.reset();
        return false;
    }
    for (int kind = 0; kind < LedgerStats::KindCount; ++kind)
        m_stats.written[kind] += written[kind];
    return true;
}

bool LedgerStore::write(const LedgerRecord& record, QString& error)
{
    QSqlQuery query(m_connection.db());
    const QString& instance = m_settings.instance;
    if (const auto* command = std::get_if<CommandRecord>(&record))
    {
        query.prepare(QStringLiteral("INSERT INTO commands (at, instance, os_user, object, text, answer)"
                                     " VALUES (?, ?, ?, ?, ?, ?)"));
        query.addBindValue(Number(command->at));
        query.addBindValue(instance);
        query.addBindValue(Text(command->osUser, 200));
        query.addBindValue(Text(command->object, 200));
        query.addBindValue(Text(command->text));
        query.addBindValue(Text(command->answer));
        return Exec(query, error);
    }
    if (const auto* change = std::get_if<AvailabilityRecord>(&record))
    {
        query.prepare(QStringLiteral("INSERT INTO availability (at, instance, object, change, duration)"
                                     " VALUES (?, ?, ?, ?, ?)"));
        query.addBindValue(Number(change->at));
        query.addBindValue(instance);
        query.addBindValue(Text(change->object, 200));
        query.addBindValue(Text(change->change, 100));
        query.addBindValue(Number(change->durationSeconds));
        return Exec(query, error);
    }
    if (const auto* match = std::get_if<MatchRecord>(&record))
    {
        // A match is written as it goes: the same server and start update one row.
        const auto bindFields = [&] {
            query.addBindValue(Text(match->map, 200));
            query.addBindValue(Text(match->teams, 400));
            query.addBindValue(Text(match->scores));
            query.addBindValue(Number(match->ended));
            query.addBindValue(Text(match->proxies));
            query.addBindValue(Text(match->demos));
            query.addBindValue(Text(match->ending, 100));
        };
        query.prepare(QStringLiteral("UPDATE matches SET map = ?, teams = ?, scores = ?, ended = ?, proxies = ?,"
                                     " demos = ?, ending = ? WHERE object = ? AND started = ? AND instance = ?"));
        bindFields();
        query.addBindValue(Text(match->object, 200));
        query.addBindValue(Number(match->started));
        query.addBindValue(instance);
        if (!Exec(query, error))
            return false;
        if (query.numRowsAffected() > 0)
            return true;
        query.prepare(QStringLiteral("INSERT INTO matches (map, teams, scores, ended, proxies, demos, ending,"
                                     " object, started, instance) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
        bindFields();
        query.addBindValue(Text(match->object, 200));
        query.addBindValue(Number(match->started));
        query.addBindValue(instance);
        return Exec(query, error);
    }
    if (const auto* seen = std::get_if<SightingRecord>(&record))
        return m_sightings.write(m_connection.db(), instance,
                                 {seen->at, Text(seen->object, 200), Text(seen->name, 200), Text(seen->steamId, 100),
                                  Text(seen->ip, 100)},
                                 error);
    if (const auto* point = std::get_if<HistoryRecord>(&record))
    {
        query.prepare(QStringLiteral("INSERT INTO history (instance, object, minute, players, spectators)"
                                     " VALUES (?, ?, ?, ?, ?)"));
        query.addBindValue(instance);
        query.addBindValue(Text(point->object, 200));
        query.addBindValue(Number(point->minute));
        query.addBindValue(point->players);
        query.addBindValue(point->spectators);
        return Exec(query, error);
    }
    if (const auto* demo = std::get_if<DemoFileRecord>(&record))
        return writeDemoFile(*demo, error);
    if (const auto* folder = std::get_if<DemoFolderRecord>(&record))
        return writeDemoFolder(*folder, error);
    if (const auto* plan = std::get_if<RelayPlanRecord>(&record))
        return writeRelayPlan(*plan, error);
    if (const auto* ban = std::get_if<BanRecord>(&record))
        return writeBan(*ban, error);
    if (const auto* state = std::get_if<BanServerRecord>(&record))
        return writeBanServer(*state, error);
    if (const auto* schedule = std::get_if<ScheduleRecord>(&record))
        return LedgerSchedules::write(m_connection.db(), instance, *schedule, error);
    if (const auto* request = std::get_if<PruneRequest>(&record))
        return prune(request->before, error);
    if (const auto* request = std::get_if<ForgetRequest>(&record))
        return forget(request->who, error);
    return true;
}

bool LedgerStore::prune(std::int64_t before, QString& error)
{
    // Matches name no person and stay: they are the demo catalogue.
    static const char* const statements[] = {
        "DELETE FROM sightings WHERE last_seen < ?",
        "DELETE FROM history WHERE minute < ?",
        "DELETE FROM history_10min WHERE span < ?",
        "DELETE FROM commands WHERE at < ?",
        "DELETE FROM availability WHERE at < ?",
    };
    for (const char* statement : statements)
    {
        QSqlQuery query(m_connection.db());
        query.prepare(QString::fromLatin1(statement));
        query.addBindValue(Number(before));
        if (!Exec(query, error))
            return false;
    }
    return LedgerHistory::prune(m_connection.db(), before, error);
}

bool LedgerStore::forget(const std::string& who, QString& error)
{
    const QString key = Text(who, 200);
    if (key.isEmpty())
        return true;
    QSqlQuery query(m_connection.db());
    query.prepare(QStringLiteral("DELETE FROM sightings WHERE steam_id = ? OR ip = ?"));
    query.addBindValue(key);
    query.addBindValue(key);
    if (!Exec(query, error))
        return false;
    // A command that named the player (a kick, a ban) keeps its place, not the name.
    query.prepare(QStringLiteral("UPDATE commands SET text = REPLACE(text, ?, '***'),"
                                 " answer = REPLACE(answer, ?, '***')"
                                 " WHERE text <> REPLACE(text, ?, '***') OR answer <> REPLACE(answer, ?, '***')"));
    for (int i = 0; i < 4; ++i)
        query.addBindValue(key);
    if (!Exec(query, error))
        return false;
    m_foldDue = m_connection.dialect() == LedgerSchema::Dialect::Sqlite;
    return true;
}

void LedgerStore::foldLog()
{
    // A reader in the middle of a look-up keeps the log from being emptied:
    // tried again at the next write until it is.
    QSqlQuery query(m_connection.db());
    if (query.exec(QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)")) && query.next())
        m_foldDue = query.value(0).toInt() != 0;
}

bool LedgerStore::writeDemoFile(const DemoFileRecord& demo, QString& error)
{
    QSqlQuery query(m_connection.db());
    const auto bindFields = [&] {
        query.addBindValue(Text(demo.fileName, 400));
        query.addBindValue(Number(demo.size));
        query.addBindValue(Text(demo.sha256, 100));
        query.addBindValue(Text(demo.state, 400));
        query.addBindValue(Text(demo.url, 2000));
        query.addBindValue(Number(demo.at));
        query.addBindValue(Text(demo.map, 200));
    };
    const auto bindKey = [&] {
        query.addBindValue(Text(demo.matchObject, 200));
        query.addBindValue(Number(demo.matchStarted));
        query.addBindValue(Text(demo.proxy, 200));
        query.addBindValue(Text(demo.remoteName, 400));
        query.addBindValue(m_settings.instance);
    };
    query.prepare(QStringLiteral("UPDATE demo_files SET file_name = ?, size = ?, sha256 = ?, state = ?, url = ?, at = ?,"
                                 " map = ? WHERE match_object = ? AND match_started = ? AND proxy = ? AND remote_name = ?"
                                 " AND instance = ?"));
    bindFields();
    bindKey();
    if (!Exec(query, error))
        return false;
    if (query.numRowsAffected() > 0)
        return true;
    query.prepare(QStringLiteral("INSERT INTO demo_files (file_name, size, sha256, state, url, at, map,"
                                 " match_object, match_started, proxy, remote_name, instance)"
                                 " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    bindFields();
    bindKey();
    return Exec(query, error);
}

bool LedgerStore::writeRelayPlan(const RelayPlanRecord& plan, QString& error)
{
    QSqlQuery query(m_connection.db());
    query.prepare(QStringLiteral("DELETE FROM relay_plan WHERE proxy = ?"));
    query.addBindValue(Text(plan.proxy, 200));
    if (!Exec(query, error))
        return false;
    query.prepare(QStringLiteral("INSERT INTO relay_plan (proxy, upstream, auto_reconnect) VALUES (?, ?, ?)"));
    query.addBindValue(Text(plan.proxy, 200));
    query.addBindValue(Text(plan.upstream, 200));
    query.addBindValue(plan.autoReconnect ? 1 : 0);
    return Exec(query, error);
}

bool LedgerStore::writeDemoFolder(const DemoFolderRecord& folder, QString& error)
{
    QSqlQuery query(m_connection.db());
    query.prepare(QStringLiteral("DELETE FROM demo_folders WHERE proxy = ?"));
    query.addBindValue(Text(folder.proxy, 200));
    if (!Exec(query, error))
        return false;
    if (folder.url.empty())
        return true;
    query.prepare(QStringLiteral("INSERT INTO demo_folders (proxy, url) VALUES (?, ?)"));
    query.addBindValue(Text(folder.proxy, 200));
    query.addBindValue(Text(folder.url, 2000));
    return Exec(query, error);
}

bool LedgerStore::writeBan(const BanRecord& ban, QString& error)
{
    QSqlQuery query(m_connection.db());
    const auto bindFields = [&] {
        query.addBindValue(ban.byIp ? 1 : 0);
        query.addBindValue(Text(ban.target, 100));
        query.addBindValue(Text(ban.name, 200));
        query.addBindValue(Text(ban.osUser, 100));
        query.addBindValue(Number(ban.at));
        query.addBindValue(Text(ban.reason, 400));
        query.addBindValue(Number(ban.minutes));
        query.addBindValue(Number(ban.expires));
        query.addBindValue(Text(ban.scope, 300));
        query.addBindValue(Number(ban.liftedAt));
        query.addBindValue(Text(ban.liftedBy, 100));
    };
    query.prepare(QStringLiteral("UPDATE bans SET by_ip = ?, target = ?, name = ?, os_user = ?, at = ?, reason = ?,"
                                 " minutes = ?, expires = ?, scope = ?, lifted_at = ?, lifted_by = ? WHERE ban_key = ?"));
    bindFields();
    query.addBindValue(Text(ban.key, 200));
    if (!Exec(query, error))
        return false;
    if (query.numRowsAffected() > 0)
        return true;
    query.prepare(QStringLiteral("INSERT INTO bans (by_ip, target, name, os_user, at, reason, minutes, expires, scope,"
                                 " lifted_at, lifted_by, ban_key, instance) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    bindFields();
    query.addBindValue(Text(ban.key, 200));
    query.addBindValue(m_settings.instance);
    return Exec(query, error);
}

bool LedgerStore::writeBanServer(const BanServerRecord& state, QString& error)
{
    QSqlQuery query(m_connection.db());
    const auto bindAll = [&] {
        query.addBindValue(Text(state.state, 40));
        query.addBindValue(Number(state.at));
        query.addBindValue(Text(state.key, 200));
        query.addBindValue(Text(state.server, 200));
    };
    query.prepare(QStringLiteral("UPDATE ban_servers SET state = ?, at = ? WHERE ban_key = ? AND server = ?"));
    bindAll();
    if (!Exec(query, error))
        return false;
    if (query.numRowsAffected() > 0)
        return true;
    query.prepare(QStringLiteral("INSERT INTO ban_servers (state, at, ban_key, server) VALUES (?, ?, ?, ?)"));
    bindAll();
    return Exec(query, error);
}
