#pragma once

#include "Roster.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <functional>
#include <optional>

// What a game server writes to its log, and where it streams it: the
// addresses given by logaddress_add, once "log on" is set. Each line goes
// out as one datagram FF FF FF FF "log L MM/DD/YYYY - HH:MM:SS: ...\n" 00.
class ServerLog
{
public:
    using Sender = std::function<void(const QByteArray& datagram, const QHostAddress& address, quint16 port)>;

    explicit ServerLog(Sender sender) : m_send(std::move(sender)) {}

    // Runs logaddress_add, logaddress_del and log; nothing for other commands.
    std::optional<QByteArray> runCommand(const QByteArray& name, const QByteArray& argument);
    bool streaming() const { return m_on && !m_targets.isEmpty(); }
    // A restarted server streams nowhere until it is told again.
    void forget()
    {
        m_targets.clear();
        m_on = false;
    }

    // One line (without its time stamp) to every address.
    void write(const QByteArray& body);
    // "Name<uid><STEAM_ID><TEAM>" between quotes, as the engine writes a player.
    static QByteArray player(const Player& who);

private:
    struct Target
    {
        QHostAddress address;
        quint16 port;
    };
    static constexpr int kMaxTargets = 8;

    Sender m_send;
    QList<Target> m_targets;
    bool m_on = false;
};
