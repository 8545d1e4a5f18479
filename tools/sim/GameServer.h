#pragma once

#include "BanList.h"
#include "HalfLifeMachine.h"
#include "Match.h"
#include "Roster.h"
#include "ServerLog.h"

// A Half-Life (Counter-Strike) dedicated server: its players come and go,
// an AdminBot-amx style match may run, and rcon answers the commands a
// console sends to such a server.
class GameServer : public HalfLifeMachine
{
    Q_OBJECT

public:
    GameServer(const MachineSettings& settings, int index, int ordinal, quint32 seed,
               QByteArray controlPassword, const ParkDirectory& park);

    void tick() override;
    // As after a restart: new challenges, and the log addresses forgotten.
    void restart() override;
    QByteArray joinPassword() const override { return m_serverPassword; }
    QByteArray currentMap() const override { return m_map; }

protected:
    InfoFacts info() const override;
    std::vector<Player> listedPlayers() const override;
    QList<QPair<QByteArray, QByteArray>> serverRules() const override { return m_rules; }
    QByteArray runCommand(const QByteArray& command) override;
    // Logged as the engine logs it: Bad Rcon: "rcon CHALLENGE "PASSWORD" COMMAND" from "IP:PORT".
    void rconRefused(const RconRequest& request, const Peer& peer) override;
    std::optional<QByteArray> runSimCommand(const QByteArray& name,
                                            const QList<QByteArray>& arguments) override;

private:
    QByteArray statusText() const;
    QByteArray kick(const QByteArray& argument);
    // "maps SUBSTRING": the map files holding it ("*": all), after dashes.
    QByteArray listMaps(const QByteArray& argument) const;
    // A variable of the rules reply read or set; nothing when name is none.
    std::optional<QByteArray> ruleCommand(const QByteArray& name, const QByteArray& argument);
    QByteArray simMatch(const QList<QByteArray>& arguments);
    // A cvar command: without a value it prints the value, with one it sets it.
    // The log lines of players who came and went during a tick, and now and
    // then a chat line or a kill.
    void logTick(const std::vector<Player>& before);
    // What a server logs when logging starts: its map and who is in the game.
    void logStart();
    static QByteArray cvar(const char* name, QByteArray* value, const QByteArray& argument);

    QByteArray m_hostName;
    QByteArray m_map;
    QByteArray m_description;
    QByteArray m_serverPassword;
    QList<QByteArray> m_mapFiles;
    QList<QPair<QByteArray, QByteArray>> m_rules;
    Roster m_roster;
    Match m_match;
    ServerLog m_log;
    BanList m_bans;
};
