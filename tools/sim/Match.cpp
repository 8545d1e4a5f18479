#include "Match.h"

#include <algorithm>

Match::Match(const MatchSettings& settings)
    : m_state(std::clamp(settings.state, 0, 5)), m_teamA(settings.teamA), m_teamB(settings.teamB),
      m_a1(settings.scoreA1), m_a2(settings.scoreA2), m_b1(settings.scoreB1), m_b2(settings.scoreB2),
      m_moves(settings.moves), m_stepSeconds(std::max(1, settings.stepSeconds))
{
}

void Match::set(int state, const QByteArray& teamA, const QByteArray& teamB)
{
    m_state = std::clamp(state, 0, 5);
    if (!teamA.isEmpty())
        m_teamA = teamA;
    if (!teamB.isEmpty())
        m_teamB = teamB;
    if (m_state <= 1)
        setScores(0, 0, 0, 0);
    m_secondsInState = 0;
}

void Match::setScores(int a1, int a2, int b1, int b2)
{
    m_a1 = a1;
    m_a2 = a2;
    m_b1 = b1;
    m_b2 = b2;
}

void Match::tick(QRandomGenerator& random)
{
    if (!m_moves)
        return;
    if (m_state == 2 || m_state == 4) {
        // a round every twenty seconds or so
        if (random.bounded(20) == 0) {
            const bool teamAWins = random.bounded(2) == 0;
            int& score = m_state == 2 ? (teamAWins ? m_a1 : m_b1) : (teamAWins ? m_a2 : m_b2);
            ++score;
        }
    }
    if (++m_secondsInState >= m_stepSeconds) {
        const int next = (m_state + 1) % 6;
        m_secondsInState = 0;
        m_state = next;
        if (m_state == 1)
            setScores(0, 0, 0, 0);
    }
}

QByteArray Match::report() const
{
    if (!exists())
        return "[AMX] No match running.\n";
    // Fields 3 to 5: rounds per half, the state's elapsed seconds, overtime.
    return "nxn_match_report = \"" + m_teamA + ';' + m_teamB + ";15;" + QByteArray::number(m_secondsInState) +
           ";0;" + QByteArray::number(m_state) + ';' + QByteArray::number(m_a1) + ';' +
           QByteArray::number(m_a2) + ';' + QByteArray::number(m_b1) + ';' + QByteArray::number(m_b2) +
           "\"\n";
}
