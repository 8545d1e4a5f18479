#pragma once

#include "DemoWriter.h"
#include "HalfLifeMachine.h"

// An HLTV proxy: spectators watch through it, it relays a game server or
// another proxy, records demos, and prints its "status" in the old or the
// current proxies' wording.
class HltvProxy : public HalfLifeMachine
{
    Q_OBJECT

public:
    HltvProxy(const MachineSettings& settings, int index, int ordinal, quint32 seed,
              QByteArray controlPassword, const ParkDirectory& park);

    void tick() override;
    QByteArray joinPassword() const override { return m_proxyPassword; }
    // The map of the game server at the end of the relay chain.
    QByteArray currentMap() const override;
    QByteArray upstream() const override { return m_upstream; }

    // The connection a park starts with; the passwords are taken as right.
    void connectAtStart(const QByteArray& address);

protected:
    InfoFacts info() const override;
    std::vector<Player> listedPlayers() const override;
    QByteArray runCommand(const QByteArray& command) override;
    std::optional<QByteArray> runSimCommand(const QByteArray& name,
                                            const QList<QByteArray>& arguments) override;
    QByteArray refusal() const override;
    QByteArray printHead() const override;

private:
    QByteArray connectTo(const QByteArray& argument);
    QByteArray record(const QByteArray& argument);
    QByteArray stopRecording();
    void takeUpstream(const QByteArray& address);
    // Loses the upstream when its machine went silent or restarted, and
    // tries it again every kRetrySeconds while autoretry is on.
    void watchUpstream();
    int clients() const;
    void updateRates();

    QByteArray statusText() const;
    QByteArray oldStatus() const;
    QByteArray currentStatus() const;

    QByteArray m_hostName;
    QByteArray m_serverPassword; // given to the machine it connects to
    QByteArray m_proxyPassword;
    QByteArray m_spectatorPassword;
    QByteArray m_upstream;
    bool m_upstreamIsProxy = false;
    int m_upstreamRestarts = 0;
    // autoretry: what was lost and is tried again, how often so far.
    bool m_autoRetry = true;
    QByteArray m_retryTarget;
    int m_retries = 0;
    int m_nextRetry = 0;
    QByteArray m_recordFile; // empty while not recording
    int m_recordSeconds = 0;
    DemoWriter m_demo;
    int m_spectators = 0;
    int m_peakSpectators = 0;
    int m_onlineSeconds = 0;
    int m_delay;
    double m_inRate = 0.0;
    double m_outRate = 0.0;
    bool m_ratesFixed = false;
};
