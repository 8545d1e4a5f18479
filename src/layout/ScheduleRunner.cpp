#include "layout/ScheduleRunner.h"

#include "core/Clock.h"
#include "core/HostAddress.h"
#include "layout/CQuorvaneDoc.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerSchedules.h"
#include "objects/CHLServer.h"
#include "objects/CHLTV.h"

#include <sstream>

namespace {

CCommonObject* Machine(const CQuorvaneDoc& document, const std::string& name)
{
    const address::HostAndPort split = address::splitHostPort(name);
    if (!split.port || *split.port > 65535)
        return nullptr;
    return document.FindObject(split.host, static_cast<std::int32_t>(*split.port));
}

} // namespace

ScheduleRunner::ScheduleRunner(CQuorvaneDoc& document, QObject* parent)
    : QObject(parent), m_document(document)
{
    connect(&m_document, &CQuorvaneDoc::viewsUpdated, this, [this](int hint) {
        if (hint == CQuorvaneDoc::HintTick)
            Tick();
    });
}

ScheduleRunner::~ScheduleRunner() = default;

ScheduleRecord ScheduleRunner::ToRecord(const Schedule& schedule)
{
    ScheduleRecord record;
    record.id = schedule.id;
    record.command = schedule.command;
    record.preset = schedule.preset;
    for (const std::string& machine : schedule.machines)
        record.machines += (record.machines.empty() ? "" : " ") + machine;
    record.rule = encodeRule(schedule.rule);
    record.nextRun = schedule.nextRun;
    record.lastRun = schedule.lastRun;
    record.lastResult = schedule.lastResult;
    return record;
}

std::optional<Schedule> ScheduleRunner::FromRecord(const ScheduleRecord& record)
{
    const std::optional<ScheduleRule> rule = decodeRule(record.rule);
    if (!rule)
        return std::nullopt;
    Schedule schedule;
    schedule.id = record.id;
    schedule.command = record.command;
    schedule.preset = record.preset;
    std::istringstream machines(record.machines);
    for (std::string machine; machines >> machine;)
        schedule.machines.push_back(machine);
    schedule.rule = *rule;
    schedule.nextRun = record.nextRun;
    schedule.lastRun = record.lastRun;
    schedule.lastResult = record.lastResult;
    return schedule;
}

std::optional<std::string> ScheduleRunner::Add(Schedule schedule)
{
    if (!m_loaded)
        return "The schedules kept in the ledger are still being read; try again in a moment.";
    if (auto refusal = m_schedules.Add(std::move(schedule), m_document.context().clock->now(),
                                       m_document.parkConsole().presets))
        return refusal;
    Keep(m_schedules.schedules().back().id);
    emit changed();
    return std::nullopt;
}

bool ScheduleRunner::Remove(std::int64_t id)
{
    if (!m_schedules.Remove(id))
        return false;
    if (Ledger* ledger = m_document.ledger()) {
        ScheduleRecord gone;
        gone.id = id;
        gone.removed = true;
        ledger->record(gone);
    }
    emit changed();
    return true;
}

void ScheduleRunner::Keep(std::int64_t id)
{
    Ledger* ledger = m_document.ledger();
    if (const Schedule* schedule = m_schedules.Find(id); ledger && schedule)
        ledger->record(ToRecord(*schedule));
}

void ScheduleRunner::Tick()
{
    const std::int64_t now = m_document.context().clock->now();
    if (!m_asked) {
        m_asked = true;
        if (Ledger* ledger = m_document.ledger())
            m_loading = std::async(std::launch::async, [target = ledger->target(),
                                                        instance = ledger->instance()] {
                QString error;
                return LedgerSchedules::load(target, instance, error).value_or(std::vector<ScheduleRecord>{});
            });
        else
            m_loaded = true;
    }
    if (m_loading.valid() && m_loading.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        for (const ScheduleRecord& record : m_loading.get())
            if (auto schedule = FromRecord(record))
                m_schedules.Restore(std::move(*schedule));
        m_loaded = true;
        emit changed();
    }
    // The views are updated more often than once a second (every pick).
    if (!m_loaded || now == m_lastSecond)
        return;
    m_lastSecond = now;
    const auto look = [this](const std::string& name) -> std::optional<bool> {
        const auto* server = dynamic_cast<const CHLServer*>(Machine(m_document, name));
        if (!server || dynamic_cast<const CHLTV*>(server))
            return std::nullopt;
        return server->m_bMatchRunning && !server->IsDown();
    };
    const std::uint64_t before = m_schedules.generation();
    for (const Schedules::Action& action : m_schedules.Tick(now, m_document.parkConsole().presets, look)) {
        const std::string result = Send(action);
        if (!action.warning)
            m_schedules.SetResult(action.id, now, result);
        Keep(action.id);
    }
    if (m_schedules.generation() != before)
        emit changed();
}

std::string ScheduleRunner::Send(const Schedules::Action& action)
{
    std::size_t sent = 0;
    std::size_t skipped = 0;
    std::size_t gone = 0;
    for (const std::string& name : action.machines) {
        CCommonObject* object = Machine(m_document, name);
        if (!object) {
            ++gone;
            continue;
        }
        if (object->m_nStatus < CSStatus_CONTROL || object->RconSuspended()) {
            ++skipped;
            continue;
        }
        for (const std::string& command : action.commands) {
            object->SendCommand(command);
            m_document.NoteCommand(*object, command);
        }
        ++sent;
    }
    std::string result = "sent to " + std::to_string(sent) + " of " + std::to_string(action.machines.size());
    if (skipped)
        result += ", " + std::to_string(skipped) + " not under rcon";
    if (gone)
        result += ", " + std::to_string(gone) + " no longer in the park";
    return result;
}
