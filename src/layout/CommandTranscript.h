#pragma once

#include <cstdint>
#include <deque>
#include <string>

class CConsoleLog;

// The operator's own console for one machine: each command typed, echoed as
// "> command", and the lines that answer it, kept apart from the program's
// polls (whose answers would push them out of the 50-line log within
// seconds). Holds the last kCapacity lines.
class CommandTranscript
{
public:
    static constexpr std::size_t kCapacity = 1000;
    // Lines that reach the log this long after a command answer it.
    static constexpr std::int64_t kReplySeconds = 3;

    // The operator sent command; log is the machine's console as it is now.
    void Sent(const std::string& command, const CConsoleLog& log, std::int64_t now);
    // Copies the lines the log gained since the last look that answer the
    // last command: within the reply time, and not the answer of a poll
    // (unless the operator asked the same).
    void Take(const CConsoleLog& log, std::int64_t now);
    bool IsListening(std::int64_t now) const { return now - m_sentAt <= kReplySeconds; }

    const std::deque<std::string>& lines() const { return m_lines; }
    // Lines added since the transcript was made, dropped ones included.
    std::uint64_t added() const { return m_added; }

private:
    void Append(std::string line);

    std::deque<std::string> m_lines;
    std::uint64_t m_added = 0;
    std::uint64_t m_logMark = 0;
    std::int64_t m_sentAt = INT64_MIN / 2;
    std::string m_command; // the last one sent
};
