#include "park/SendToMany.h"

#include "core/TextTokens.h"
#include "objects/CCommonObject.h"
#include "objects/PolledReplies.h"
#include "objects/ServerReplies.h"

#include <algorithm>

void SendToMany::Start(const std::vector<CCommonObject*>& machines, const std::vector<std::string>& commands,
                       std::int64_t now)
{
    m_commands = commands;
    m_rows.clear();
    m_watches.clear();
    m_sentAt = now;
    ++m_generation;
    for (CCommonObject* object : machines) {
        Row row;
        row.machine = object->GetName();
        Watch watch{object, object->m_log.added()};
        if (object->m_nStatus < CSStatus_CONTROL || object->RconSuspended()) {
            row.state = State::Skipped;
            watch.object = nullptr;
        } else {
            for (const std::string& command : commands)
                object->SendCommand(command);
        }
        m_rows.push_back(std::move(row));
        m_watches.push_back(watch);
    }
}

bool SendToMany::Collect(std::int64_t now)
{
    const std::uint64_t before = m_generation;
    for (std::size_t i = 0; i < m_rows.size(); ++i) {
        Row& row = m_rows[i];
        Watch& watch = m_watches[i];
        if (!watch.object)
            continue;
        const CConsoleLog& log = watch.object->m_log;
        const std::uint64_t fresh = log.added() - watch.logMark;
        watch.logMark = log.added();
        const int kept =
            static_cast<int>(std::min<std::uint64_t>(fresh, static_cast<std::uint64_t>(log.count())));
        for (int k = log.count() - kept; k < log.count(); ++k) {
            const std::string& line = log.line(k);
            if (beginsWith(line, replies::kBadPasswordPrefix)) {
                Settle(i, State::Refused);
                break;
            }
            // A poll's answer is the operator's only when he asked the same.
            if (polled::isPolledReplyLine(line) &&
                std::all_of(m_commands.begin(), m_commands.end(),
                            [&line](const std::string& command) { return polled::answersAnotherPoll(line, command); }))
                continue;
            if (row.lines.size() < kShownLines) {
                row.lines.push_back(line);
                row.state = State::Answered;
                ++m_generation;
            }
        }
        if (!watch.object)
            continue;
        if (watch.object->RconSuspended()) {
            Settle(i, State::Refused);
        } else if (now - m_sentAt >= kReplySeconds) {
            if (row.state == State::Answered)
                Settle(i, State::Answered);
            else
                Settle(i, watch.object->m_timeLastReply >= m_sentAt ? State::NoOutput : State::NoAnswer);
        }
    }
    return m_generation != before;
}

void SendToMany::Settle(std::size_t index, State state)
{
    m_rows[index].state = state;
    m_watches[index].object = nullptr;
    ++m_generation;
}

void SendToMany::Forget(const CCommonObject& object)
{
    for (std::size_t i = 0; i < m_watches.size(); ++i) {
        if (m_watches[i].object == &object)
            Settle(i, m_rows[i].state == State::Answered ? State::Answered : State::NoAnswer);
    }
}

bool SendToMany::settled() const
{
    return std::none_of(m_watches.begin(), m_watches.end(), [](const Watch& watch) { return watch.object; });
}

std::size_t SendToMany::count(State state) const
{
    return static_cast<std::size_t>(
        std::count_if(m_rows.begin(), m_rows.end(), [state](const Row& row) { return row.state == state; }));
}

const char* stateText(SendToMany::State state)
{
    switch (state) {
    case SendToMany::State::Waiting:
        return "waiting";
    case SendToMany::State::Answered:
        return "answered";
    case SendToMany::State::NoOutput:
        return "no output";
    case SendToMany::State::NoAnswer:
        return "no answer";
    case SendToMany::State::Refused:
        return "refused";
    case SendToMany::State::Skipped:
        return "not under rcon, skipped";
    }
    return "";
}
