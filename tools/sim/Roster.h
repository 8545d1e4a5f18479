#pragma once

#include <QByteArray>
#include <QRandomGenerator>

#include <vector>

struct Player
{
    QByteArray name;
    int userId = 0;
    qint32 frags = 0;
    int seconds = 0; // time connected
    int ping = 0;
    QByteArray uniqueId;
    quint16 clientPort = 27005;
};

// The players on one game server: who is there, since when, with what score.
// Names come from the name pool, each at most once.
class Roster
{
public:
    Roster(QRandomGenerator& random, int capacity);

    const std::vector<Player>& players() const { return m_players; }
    int capacity() const { return m_capacity; }

    // Exactly the first `count` names of the pool (at most the capacity).
    void reset(int count);
    // A name of the pool that is not on the server comes in; false when full.
    bool join();
    // A player picked at random leaves; false when empty.
    bool leave();
    // Removes the player with exactly this name; false when there is none.
    bool kick(const QByteArray& name);
    // One second passes; when the game moves, scores change now and then.
    void tick(bool moves);

private:
    Player arrival(const QByteArray& name);
    bool present(const QByteArray& name) const;

    QRandomGenerator& m_random;
    int m_capacity;
    int m_nextUserId = 1;
    std::vector<Player> m_players;
};
