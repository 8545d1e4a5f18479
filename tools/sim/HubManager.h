#pragma once

#include "Machine.h"

#include <vector>

// A GTV hub manager: it runs up to 32 hubs, each relaying one game server and
// following one of the players there. It answers its own out-of-band queries,
// "getManagerInfo" and "gethubinfo N", with backslash-separated keys and
// values, and takes rcon commands without a challenge ("gtv_follow",
// "gtv_connect"), answering with "print" replies.
class HubManager : public Machine
{
    Q_OBJECT

public:
    HubManager(const MachineSettings& settings, int index, int ordinal, quint32 seed,
               QByteArray controlPassword, const ParkDirectory& park);

    void tick() override;
    // Gives every hub its first parent: the machine or address of its
    // settings, else a game server of the park. False with a message when a
    // hub names a machine the park does not have.
    bool relayAtStart(QString* error);

protected:
    void answer(const QByteArray& datagram, const Peer& peer) override;
    QByteArray runCommand(const QByteArray& command) override;
    std::optional<QByteArray> runSimCommand(const QByteArray& name,
                                            const QList<QByteArray>& arguments) override;
    QByteArray refusal() const override;
    QByteArray printHead() const override;

private:
    // A player in one of the hub's 32 slots; the name is the pool's name at
    // poolIndex, with colour codes.
    struct Seat
    {
        int slot;
        int poolIndex;
    };
    struct Hub
    {
        int number = 0;
        QByteArray description;
        QByteArray parent;                         // "ADDRESS:PORT"; empty: relays nothing
        std::optional<QByteArray> parentReference; // until the park has given the parent
        std::vector<Seat> seats;                   // by slot
        int following = -1;                        // slot; -1 nobody
        int namesFrom = 0;                         // pool position of its first names
    };

    Hub newHub(int position, const HubSettings& hubSettings);
    QByteArray defaultParent(int position) const;
    int nextNumber() const;
    Hub* hubNumbered(int number);
    // Exactly `count` players in slots 0 up to count - 1.
    static void seat(Hub& hub, int count);
    bool join(Hub& hub);
    bool leave(Hub& hub);

    QByteArray managerInfo() const;
    QByteArray hubInfo(const Hub& hub) const;
    QByteArray follow(const QList<QByteArray>& arguments);
    QByteArray followState() const;
    QByteArray connectTo(const QByteArray& argument);
    QByteArray simPlayers(const QList<QByteArray>& arguments);
    QByteArray simHubs(const QList<QByteArray>& arguments);

    QByteArray m_hostName;
    int m_clients = 0;
    std::vector<Hub> m_hubs;
};
