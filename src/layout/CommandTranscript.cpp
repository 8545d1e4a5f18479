#include "layout/CommandTranscript.h"

#include "objects/CConsoleLog.h"
#include "objects/PolledReplies.h"

#include <algorithm>

void CommandTranscript::Sent(const std::string& command, const CConsoleLog& log, std::int64_t now)
{
    Take(log, now);
    Append("> " + command);
    m_logMark = log.added();
    m_sentAt = now;
    m_command = command;
}

void CommandTranscript::Take(const CConsoleLog& log, std::int64_t now)
{
    const std::uint64_t fresh = log.added() - m_logMark;
    m_logMark = log.added();
    if (fresh == 0 || !IsListening(now))
        return;
    const int kept =
        static_cast<int>(std::min<std::uint64_t>(fresh, static_cast<std::uint64_t>(log.count())));
    for (int i = log.count() - kept; i < log.count(); ++i) {
        const std::string& line = log.line(i);
        if (!polled::answersAnotherPoll(line, m_command))
            Append(line);
    }
}

void CommandTranscript::Append(std::string line)
{
    m_lines.push_back(std::move(line));
    ++m_added;
    if (m_lines.size() > kCapacity)
        m_lines.pop_front();
}
