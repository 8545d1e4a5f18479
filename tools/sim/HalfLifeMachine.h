#pragma once

#include "Machine.h"
#include "Roster.h"

#include <QSet>

#include <vector>

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

// A machine that speaks Half-Life's out-of-band protocol: the old and the
// current queries, and rcon behind a challenge number. Game servers and
// HLTV proxies supply the facts.
class HalfLifeMachine : public Machine
{
    Q_OBJECT

public:
    HalfLifeMachine(const MachineSettings& settings, int index, int ordinal, quint32 seed,
                    QByteArray controlPassword, const ParkDirectory& park);

protected:
    virtual InfoFacts info() const = 0;
    // The entries of the players reply, at most 32 of them.
    virtual std::vector<Player> listedPlayers() const = 0;
    // The variables the rules reply lists, in order; none by default.
    virtual QList<QPair<QByteArray, QByteArray>> serverRules() const { return {}; }

    void answer(const QByteArray& datagram, const Peer& peer) override;
    void restart() override;

private:
    bool answerInfoQuery(const QByteArray& datagram, const Peer& peer);
    void answerPlayersQuery(const QByteArray& datagram, const Peer& peer);
    void answerRulesQuery(const QByteArray& datagram, const Peer& peer);
    // The rules reply, in parts when it does not fit one datagram.
    void sendRules(const Peer& peer);

    QByteArray detailsReply() const;
    QByteArray infoReply() const;
    QByteArray playersReply() const;
    QByteArray challengeReply() const;
    QByteArray queryChallengeReply() const;
    // The reject ('9') of an rcon command whose challenge is not the one given.
    QByteArray challengeReject(const Peer& peer) const;
    static QByteArray peerKey(const Peer& peer);
    void drawRconChallenge();

    int m_index;
    quint32 m_rconChallenge = 0;
    QSet<QByteArray> m_challengeAskers; // peers given an rcon challenge since the start
    quint32 m_queryChallenge;
    quint32 m_nextSplitId = 1;
};
