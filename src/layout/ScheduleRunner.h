#pragma once

#include "park/Schedules.h"

#include <QObject>
#include <cstdint>
#include <future>
#include <optional>
#include <string>
#include <vector>

class CQuorvaneDoc;
struct ScheduleRecord;

// Runs the operator's schedules beside the document, in the window and in
// headless mode alike: at each tick of the document it asks the schedules
// what is due by the document's clock, sends it to the machines under rcon
// (each command kept in the ledger's command trail) and keeps the result.
// The schedules live in the ledger; they are read back on a thread of
// their own at the first tick, and until then none can be added.
class ScheduleRunner : public QObject
{
    Q_OBJECT

public:
    explicit ScheduleRunner(CQuorvaneDoc& document, QObject* parent = nullptr);
    ~ScheduleRunner() override;

    // Adds a schedule (its machines by "address:port"); the reason when it
    // cannot run.
    std::optional<std::string> Add(Schedule schedule);
    bool Remove(std::int64_t id);
    const Schedules& schedules() const { return m_schedules; }
    // The schedules kept in the ledger have been read back (at once without a ledger).
    bool loaded() const { return m_loaded; }
    // Once a second (the document's tick does it).
    void Tick();

    static ScheduleRecord ToRecord(const Schedule& schedule);
    static std::optional<Schedule> FromRecord(const ScheduleRecord& record);

signals:
    void changed();

private:
    void Keep(std::int64_t id);
    std::string Send(const Schedules::Action& action);

    CQuorvaneDoc& m_document;
    Schedules m_schedules;
    bool m_asked = false;
    bool m_loaded = false;
    std::future<std::vector<ScheduleRecord>> m_loading;
    std::int64_t m_lastSecond = -1;
};
