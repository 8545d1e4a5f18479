#pragma once

#include "MachineSettings.h"

#include <QByteArray>
#include <QRandomGenerator>

// The match an AdminBot-amx style plugin runs on a game server: two teams,
// a state from 0 (no match) through 1 warm-up, 2 first half, 3 half-time,
// 4 second half to 5 over, and the score of each half.
class Match
{
public:
    explicit Match(const MatchSettings& settings);

    int state() const { return m_state; }
    bool exists() const { return m_state != 0; }

    void set(int state, const QByteArray& teamA, const QByteArray& teamB);
    void setScores(int a1, int a2, int b1, int b2);
    void setMoving(bool moves) { m_moves = moves; }

    // One second passes: a moving match goes to its next state after its
    // step time, and rounds are won during the halves.
    void tick(QRandomGenerator& random);

    // The answer to "nxn_match_report", ending with a line feed.
    QByteArray report() const;

private:
    int m_state;
    QByteArray m_teamA;
    QByteArray m_teamB;
    int m_a1, m_a2, m_b1, m_b2;
    bool m_moves;
    int m_stepSeconds;
    int m_secondsInState = 0;
};
