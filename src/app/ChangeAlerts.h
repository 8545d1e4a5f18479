#pragma once

#include <QObject>
#include <QStringList>
#include <cstdint>
#include <string>
#include <unordered_map>

class CQuorvaneDoc;

// --on-change: runs a command when a machine goes down or comes back, with
// the object's JSON report (plus "change": "down" or "up") on its standard
// input; a proxy whose relay is lost or back gets "relay-lost" or
// "relay-back". The command line is split into program and arguments here, never
// given to a shell, and nothing from a machine is placed on it.
//
// A machine counts once it has been seen up: the first answers after the
// start are no news. Per object at most one run a minute; a state that
// flaps within the minute is reported once the minute has passed, if it
// still differs from the one last reported.
//
// An rcon attack (RconAttacks) runs the command once with the server's
// report plus "change": "rcon-attack", "source" and "refused".
class ChangeAlerts : public QObject
{
    Q_OBJECT

public:
    static constexpr std::int64_t kMinSeconds = 60;
    static constexpr int kMaxRunning = 16;

    ChangeAlerts(const QString& command, QObject* parent = nullptr);
    bool isValid() const { return !m_command.isEmpty(); }

    // Called once a second.
    void check(const CQuorvaneDoc& document, std::int64_t now);

private:
    struct State
    {
        bool reported = false; // the state last reported, or first seen up
        std::int64_t lastRun = -kMinSeconds;
        bool relayLost = false; // as last reported
        std::int64_t lastRelayRun = -kMinSeconds;
    };
    void run(const QByteArray& input);

    QStringList m_command;
    std::unordered_map<std::string, State> m_states;
    std::uint64_t m_lastAttack = 0;
    int m_running = 0;
};
