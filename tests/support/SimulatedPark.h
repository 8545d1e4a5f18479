#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QUdpSocket>

#include <memory>
#include <optional>
#include <utility>

// The simulated park (quorvane-sim) as a child process of a test: start()
// waits (at most ten seconds) for the lines that list its machines; the
// destructor kills it. Without a seed or configuration file in the arguments
// a fixed seed is added, so that a restarted park is the same park.
class SimulatedPark
{
public:
    enum class Kind
    {
        Server,
        Proxy,
        Hub // a GTV hub manager
    };
    struct Machine
    {
        Kind kind;
        quint16 port;
    };

    SimulatedPark() = default;
    ~SimulatedPark();
    SimulatedPark(const SimulatedPark&) = delete;
    SimulatedPark& operator=(const SimulatedPark&) = delete;

    // False when the park does not come up; errorString() then says why.
    bool start(const QStringList& arguments);
    // Starts a park described by a JSON configuration, on free ports.
    bool startWithConfig(const QByteArray& json);
    bool isRunning() const;
    QString errorString() const { return m_error; }

    // In listing order: game servers, proxies, hub managers.
    const QList<Machine>& machines() const { return m_machines; }
    QList<quint16> serverPorts() const { return ports(Kind::Server); }
    QList<quint16> proxyPorts() const { return ports(Kind::Proxy); }
    QList<quint16> hubPorts() const { return ports(Kind::Hub); }

    // Takes the park down at once (SIGKILL), as a crash would.
    void kill();
    // Starts the same park again on the same ports.
    bool restart();

    static QString binaryPath();

private:
    bool launch(const QStringList& arguments);
    QList<quint16> ports(Kind kind) const;

    std::unique_ptr<QProcess> m_process;
    QStringList m_arguments;
    QTemporaryDir m_configDir;
    QList<Machine> m_machines;
    QString m_error;
};

// A plain UDP socket on 127.0.0.1 that talks to one machine of the park.
// For a hub manager (kind Hub) the rcon commands go without a challenge and
// the print replies are FF FF FF FF "print\n" text 00.
class ParkProbe
{
public:
    explicit ParkProbe(quint16 port, SimulatedPark::Kind kind = SimulatedPark::Kind::Server);

    // Sends FF FF FF FF followed by the payload.
    void send(const QByteArray& payload);
    // The next datagram from the machine, whole; nothing after timeoutMs.
    std::optional<QByteArray> receive(int timeoutMs = 3000);
    // The digits of the machine's rcon challenge number, asked for once and
    // kept, so that a machine told to be silent can be told to speak again.
    std::optional<QByteArray> rconChallenge();

    // Sends the rcon command, then a sim_echo marker with the control
    // password; the print datagrams (whole) that came before the marker's
    // answer, nothing when it does not come back in time.
    std::optional<QList<QByteArray>> rconReplies(const QByteArray& password, const QByteArray& command,
                                                 const QByteArray& controlPassword = "sim");
    // The same, as the text of those datagrams run together.
    std::optional<QByteArray> rcon(const QByteArray& password, const QByteArray& command,
                                   const QByteArray& controlPassword = "sim");
    // A sim_ command with the control password; its answer.
    std::optional<QByteArray> control(const QByteArray& command, const QByteArray& controlPassword = "sim");

private:
    QUdpSocket m_socket;
    quint16 m_port;
    SimulatedPark::Kind m_kind;
    QByteArray m_challenge;
    int m_markers = 0;
};
