#pragma once

#include "MachineSettings.h"
#include "Roster.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QUdpSocket>

#include <optional>
#include <vector>

class ParkDirectory;

// What the info replies ('m' and 'I') tell about a machine.
struct InfoFacts
{
    QByteArray hostName;
    QByteArray map;
    QByteArray gameDir;
    QByteArray description;
    int players = 0;
    int maxPlayers = 0;
    char serverType = 'd'; // 'd' dedicated server, 'p' HLTV proxy
    bool passworded = false;
};

// One simulated machine on 127.0.0.1: its UDP socket and what every kind
// answers alike — the old and the current queries, the rcon challenge, the
// rcon password and challenge check, the sim_ commands and the command
// history. The kinds supply the facts and run the commands.
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

    // Called once a second by the park.
    virtual void tick() = 0;
    // What a proxy must give as its server password to connect here.
    virtual QByteArray joinPassword() const = 0;
    // The map a proxy relaying this machine shows.
    virtual QByteArray currentMap() const = 0;
    // The address this machine relays (proxies); empty for none.
    virtual QByteArray upstream() const { return {}; }

protected:
    virtual InfoFacts info() const = 0;
    // The entries of the players reply, at most 32 of them.
    virtual std::vector<Player> listedPlayers() const = 0;
    // The output of an accepted rcon command.
    virtual QByteArray runCommand(const QByteArray& command) = 0;
    // The machine's own sim_ commands; nothing when the name is not one.
    virtual std::optional<QByteArray> runSimCommand(const QByteArray& name,
                                                    const QList<QByteArray>& arguments);
    // The answer to an rcon command with a wrong password or challenge;
    // empty for silence.
    virtual QByteArray refusal() const;

    const MachineSettings& settings() const { return m_settings; }
    const ParkDirectory& park() const { return m_park; }
    QRandomGenerator& random() { return m_random; }
    bool moves() const { return m_moves; }

    static QByteArray unknownCommand(const QByteArray& command);

private slots:
    void readDatagrams();

private:
    struct Peer
    {
        QHostAddress address;
        quint16 port;
    };

    void handle(const QByteArray& datagram, const Peer& peer);
    bool answerInfoQuery(const QByteArray& datagram, const Peer& peer);
    void answerPlayersQuery(const QByteArray& datagram, const Peer& peer);
    void answerRcon(const QByteArray& text, const Peer& peer);
    QByteArray runSim(const QByteArray& command);
    void remember(const QByteArray& command, bool accepted);

    QByteArray detailsReply() const;
    QByteArray infoReply() const;
    QByteArray playersReply() const;
    QByteArray challengeReply() const;
    QByteArray queryChallengeReply() const;

    void send(const QByteArray& datagram, const Peer& peer);
    void sendPrint(const QByteArray& output, const Peer& peer);

    MachineSettings m_settings;
    int m_ordinal;
    QByteArray m_controlPassword;
    const ParkDirectory& m_park;
    QRandomGenerator m_random;
    QUdpSocket m_socket;
    quint32 m_rconChallenge;
    quint32 m_queryChallenge;
    bool m_silent = false;
    bool m_moves;
    QList<QByteArray> m_history;
};
