#include "ledger/LedgerSchedules.h"

#include "ledger/LedgerConnection.h"
#include "ledger/LedgerSql.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

namespace
{
using ledgersql::Exec;
using ledgersql::Number;
QString Text(const std::string& bytes, qsizetype limit)
{
    QString text =
        QString::fromUtf8(bytes.data(), static_cast<qsizetype>(std::min<std::size_t>(bytes.size(), 1 << 20)));
    text.remove(QChar(0));
    text.truncate(limit);
    return text;
}

} // namespace

bool LedgerSchedules::write(QSqlDatabase& db, const QString& instance, const ScheduleRecord& schedule, QString& error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("DELETE FROM schedules WHERE instance = ? AND schedule_id = ?"));
    query.addBindValue(instance);
    query.addBindValue(Number(schedule.id));
    if (!Exec(query, error))
        return false;
    if (schedule.removed)
        return true;
    query.prepare(QStringLiteral("INSERT INTO schedules (instance, schedule_id, command, preset, machines, rule,"
                                 " next_run, last_run, last_result) VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)"));
    query.addBindValue(instance);
    query.addBindValue(Number(schedule.id));
    query.addBindValue(Text(schedule.command, 1000));
    query.addBindValue(Text(schedule.preset, 200));
    query.addBindValue(Text(schedule.machines, 400'000));
    query.addBindValue(Text(schedule.rule, 400));
    query.addBindValue(Number(schedule.nextRun));
    query.addBindValue(Number(schedule.lastRun));
    query.addBindValue(Text(schedule.lastResult, 1000));
    return Exec(query, error);
}

std::optional<std::vector<ScheduleRecord>> LedgerSchedules::load(const LedgerTarget& target, const QString& instance,
                                                                 QString& error)
{
    LedgerConnection connection(target);
    if (!connection.open(LedgerConnection::Mode::Read, error))
        return std::nullopt;
    QSqlQuery query(connection.db());
    query.setForwardOnly(true);
    query.prepare(QStringLiteral("SELECT schedule_id, command, preset, machines, rule, next_run, last_run,"
                                 " last_result FROM schedules WHERE instance = ? ORDER BY schedule_id LIMIT 1000"));
    query.addBindValue(instance);
    std::vector<ScheduleRecord> schedules;
    if (!Exec(query, error))
    {
        if (connection.db().tables().contains(QStringLiteral("schedules")))
            return std::nullopt;
        error.clear();
        return schedules;
    }
    while (query.next())
    {
        ScheduleRecord schedule;
        schedule.id = query.value(0).toLongLong();
        schedule.command = query.value(1).toString().toStdString();
        schedule.preset = query.value(2).toString().toStdString();
        schedule.machines = query.value(3).toString().toStdString();
        schedule.rule = query.value(4).toString().toStdString();
        schedule.nextRun = query.value(5).toLongLong();
        schedule.lastRun = query.value(6).toLongLong();
        schedule.lastResult = query.value(7).toString().toStdString();
        schedules.push_back(std::move(schedule));
    }
    return schedules;
}
