#pragma once

#include <QByteArray>
#include <QList>

#include <functional>
#include <optional>

// A game server's ban lists, in memory: banid / addip, removeid / removeip,
// listid / listip and writeid / writeip, printing what the engine prints. A
// timed ban counts down with the server's ticks and goes when it is over. A
// restart forgets every ban: a server whose banned.cfg is not exec'd at
// start comes back with empty lists.
class BanList
{
public:
    // The engine's own bounds on each list.
    static constexpr int kMaxEntries = 32768;
    // Kicks the players of a unique id (banid ... kick); returns how many.
    using Kicker = std::function<int(const QByteArray& uniqueId)>;

    explicit BanList(Kicker kicker) : m_kick(std::move(kicker)) {}

    // The output of one of the ban commands; nothing for any other command.
    std::optional<QByteArray> runCommand(const QByteArray& name, const QByteArray& argument);
    // One second passes.
    void tick();
    void forget()
    {
        m_ids.clear();
        m_ips.clear();
    }
    bool bannedIp(const QByteArray& ip) const;
    // A full list takes no more bans (removing still works).
    void setFull(bool full) { m_full = full; }

private:
    struct Entry
    {
        QByteArray key;     // the id, or the address as four numbers joined by '.'
        double minutes = 0; // 0: permanent
    };

    QByteArray banId(const QList<QByteArray>& arguments);
    QByteArray addIp(const QList<QByteArray>& arguments);
    QByteArray removeId(const QList<QByteArray>& arguments);
    QByteArray removeIp(const QList<QByteArray>& arguments);
    QByteArray listId() const;
    QByteArray listIp() const;
    static void put(QList<Entry>& list, const QByteArray& key, double minutes);

    Kicker m_kick;
    QList<Entry> m_ids;
    QList<Entry> m_ips;
    bool m_full = false;
};
