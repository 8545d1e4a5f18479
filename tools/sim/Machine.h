#pragma once

#include "MachineSettings.h"
#include "RconRequest.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QUdpSocket>

#include <map>
#include <optional>

class ParkDirectory;

// What one machine received and sent: queries by kind ("details", "players",
// "T", "U", "challenge", "rcon", ...), replies by their type byte ('m', 'I',
// 'D', 'A', ...). The park sums them for --count-queries.
struct Traffic
{
    std::map<QByteArray, qint64> received;
    std::map<QByteArray, qint64> sent;
};

// One simulated machine on 127.0.0.1: its UDP socket and what every kind
// does alike — the rcon password check, the sim_ commands, the command
// history, silence. The kinds read their own queries and run the commands.
class Machine : public QObject
{
    Q_OBJECT

public:
    // `index` is the machine's place in the park's listing; `ordinal` its
    // number among the machines of its kind, from 1.
    Machine(const MachineSettings& settings, int index, int ordinal, quint32 seed, QByteArray controlPassword,
            const ParkDirectory& park);

    bool listen(quint16 port, QString* error);
    quint16 port() const { return m_socket.localPort(); }
    QByteArray address() const; // "127.0.0.1:PORT"
    MachineKind kind() const { return m_settings.kind; }
    int ordinal() const { return m_ordinal; }
    const Traffic& traffic() const { return m_traffic; }
    // False while silenced (sim_silence 1): to the park, the machine is down.
    bool answering() const { return !m_silent; }
    // How many times the machine restarted (sim_restart): the connections
    // other machines had to it are gone.
    int restarts() const { return m_restarts; }

    // Called once a second by the park.
    virtual void tick() = 0;
    // What a proxy must give as its server password to connect here.
    virtual QByteArray joinPassword() const { return {}; }
    // The map a proxy relaying this machine shows.
    virtual QByteArray currentMap() const { return {}; }
    // The address this machine relays (proxies); empty for none.
    virtual QByteArray upstream() const { return {}; }

protected:
    struct Peer
    {
        QHostAddress address;
        quint16 port;
    };

    // A datagram that starts with FF FF FF FF and holds at least one byte more.
    virtual void answer(const QByteArray& datagram, const Peer& peer) = 0;
    // The output of an accepted rcon command.
    virtual QByteArray runCommand(const QByteArray& command) = 0;
    // The machine's own sim_ commands; nothing when the name is not one.
    virtual std::optional<QByteArray> runSimCommand(const QByteArray& name,
                                                    const QList<QByteArray>& arguments);
    // The answer to an rcon command with a wrong password or challenge;
    // empty for silence.
    virtual QByteArray refusal() const;
    // What follows FF FF FF FF in a print reply, before the text.
    virtual QByteArray printHead() const { return "l"; }
    // sim_restart: the machine comes back as after a restart (forgetting
    // the rcon challenges it gave); the kinds add what they forget.
    virtual void restart() {}
    // A command was refused for its password or challenge (game servers log it).
    virtual void rconRefused(const RconRequest& /*request*/, const Peer& /*peer*/) {}

    // Checks the password of a parsed rcon command (nothing: it could not be
    // parsed), runs it and sends its output. `challengeRight` says whether
    // the kind's own challenge check, if it has one, passed.
    void answerRcon(const std::optional<RconRequest>& request, bool challengeRight, const Peer& peer);
    void send(const QByteArray& datagram, const Peer& peer);

    const MachineSettings& settings() const { return m_settings; }
    const ParkDirectory& park() const { return m_park; }
    QRandomGenerator& random() { return m_random; }
    bool moves() const { return m_moves; }
    bool silent() const { return m_silent; }
    // The console's address is banned: everything but the sim_ commands is
    // answered with the ban text.
    bool banned() const { return m_banned; }
    void sendBanned(const Peer& peer);

    static QByteArray unknownCommand(const QByteArray& command);
    // The text of a query: from after the prefix up to its 00 byte (or the end).
    static QByteArray queryText(const QByteArray& datagram);

private slots:
    void readDatagrams();

private:
    QByteArray runSim(const QByteArray& command);
    void remember(const QByteArray& command, bool accepted);
    void sendPrint(const QByteArray& output, const Peer& peer);

    MachineSettings m_settings;
    int m_ordinal;
    QByteArray m_controlPassword;
    const ParkDirectory& m_park;
    QRandomGenerator m_random;
    QUdpSocket m_socket;
    bool m_silent = false;
    int m_restarts = 0;
    bool m_banned = false;
    bool m_moves;
    QList<QByteArray> m_history;
    Traffic m_traffic;
};
