#pragma once

#include <cstdint>

// Which of the two query dialects a machine speaks, so that each poll asks
// in one only: the current one ('T' info, 'U' players with a challenge) or
// the classic one ("details", "players"). A machine not heard from is asked
// in both; one that gives the current info reply is kept on the current
// dialect, even if it also answers the classic queries.
class QueryDialect
{
public:
    // Seconds without any query reply after which the dialect is forgotten:
    // a machine that timed out (or stopped answering queries while its rcon
    // still answers) may come back as another program.
    static constexpr std::int64_t kForgetAfter = 10;

    bool AsksCurrent() const { return m_kind != Kind::Classic; }
    bool AsksClassic() const { return m_kind != Kind::Current; }

    // An 'I' reply.
    void OnCurrentReply(std::int64_t now)
    {
        m_kind = Kind::Current;
        m_lastReply = now;
    }
    // A "details" reply ('m' or 'C'): classic, unless the machine has
    // already shown it speaks the current dialect.
    void OnClassicReply(std::int64_t now)
    {
        if (m_kind == Kind::Unknown)
            m_kind = Kind::Classic;
        m_lastReply = now;
    }
    // A players reply ('D'): both dialects use it, it tells nothing apart.
    void OnPlayersReply(std::int64_t now) { m_lastReply = now; }

    void ForgetIfSilent(std::int64_t now)
    {
        if (now - m_lastReply > kForgetAfter)
            m_kind = Kind::Unknown;
    }

private:
    enum class Kind : std::uint8_t
    {
        Unknown,
        Current,
        Classic
    };
    Kind m_kind = Kind::Unknown;
    std::int64_t m_lastReply = 0;
};
