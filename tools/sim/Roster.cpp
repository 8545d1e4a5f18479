#include "Roster.h"

#include "NamePool.h"

#include <algorithm>

Roster::Roster(QRandomGenerator& random, int capacity)
    : m_random(random), m_capacity(std::clamp(capacity, 0, static_cast<int>(names::pool().size())))
{
}

void Roster::reset(int count)
{
    m_players.clear();
    count = std::clamp(count, 0, m_capacity);
    for (int i = 0; i < count; ++i) {
        Player player = arrival(names::pool()[i]);
        player.seconds = static_cast<int>(m_random.bounded(60, 2400));
        player.frags = static_cast<qint32>(m_random.bounded(0, 30));
        m_players.push_back(player);
    }
}

bool Roster::join()
{
    if (static_cast<int>(m_players.size()) >= m_capacity)
        return false;
    QList<QByteArray> absent;
    for (const QByteArray& name : names::pool()) {
        if (!present(name))
            absent.append(name);
    }
    if (absent.isEmpty())
        return false;
    m_players.push_back(arrival(absent[m_random.bounded(static_cast<int>(absent.size()))]));
    return true;
}

bool Roster::leave()
{
    if (m_players.empty())
        return false;
    m_players.erase(m_players.begin() + m_random.bounded(static_cast<int>(m_players.size())));
    return true;
}

bool Roster::kick(const QByteArray& name)
{
    const auto it = std::find_if(m_players.begin(), m_players.end(),
                                 [&](const Player& player) { return player.name == name; });
    if (it == m_players.end())
        return false;
    m_players.erase(it);
    return true;
}

void Roster::tick(bool moves)
{
    for (Player& player : m_players) {
        ++player.seconds;
        if (!moves)
            continue;
        // about one frag a minute each, and now and then a death by falling
        const int roll = static_cast<int>(m_random.bounded(120));
        if (roll < 2)
            ++player.frags;
        else if (roll == 2)
            --player.frags;
        if (m_random.bounded(10) == 0)
            player.ping = std::clamp(player.ping + static_cast<int>(m_random.bounded(-5, 6)), 5, 250);
    }
}

Player Roster::arrival(const QByteArray& name)
{
    Player player;
    player.name = name;
    player.userId = m_nextUserId++;
    player.ping = static_cast<int>(m_random.bounded(15, 120));
    player.uniqueId = "STEAM_0:" + QByteArray::number(m_random.bounded(2)) + ':' +
                      QByteArray::number(m_random.bounded(1000000, 99999999));
    player.clientPort = static_cast<quint16>(m_random.bounded(27005, 27100));
    return player;
}

bool Roster::present(const QByteArray& name) const
{
    return std::any_of(m_players.begin(), m_players.end(),
                       [&](const Player& player) { return player.name == name; });
}
