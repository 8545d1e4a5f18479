#pragma once

#include <QByteArray>
#include <QList>
#include <QProcess>
#include <QStringList>
#include <QUdpSocket>

#include <memory>
#include <optional>

// The simulated park (quorvane-sim) as a child process of a test. start()
// runs it with the given arguments and waits, at most ten seconds, for the
// lines that list its machines; the destructor kills it.
//
// Unless the arguments name a seed or a configuration file, a fixed seed is
// added, so that a restarted park is the same park (same names, same rcon
// challenge numbers).
class SimulatedPark
{
public:
    enum class Kind
    {
        Server,
        Proxy
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
    bool isRunning() const;
    QString errorString() const { return m_error; }

    // In listing order: the game servers, then the proxies.
    const QList<Machine>& machines() const { return m_machines; }
    QList<quint16> serverPorts() const { return ports(Kind::Server); }
    QList<quint16> proxyPorts() const { return ports(Kind::Proxy); }

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
    QList<Machine> m_machines;
    QString m_error;
};

// A plain UDP socket on 127.0.0.1 that talks to one machine of the park.
class ParkProbe
{
public:
    explicit ParkProbe(quint16 port);

    // Sends FF FF FF FF followed by the payload.
    void send(const QByteArray& payload);
    // The next datagram from the machine, whole; nothing after timeoutMs.
    std::optional<QByteArray> receive(int timeoutMs = 3000);
    // The digits of the machine's rcon challenge number. It is asked for
    // once and then kept (a machine keeps its number), so that a machine
    // told to be silent can still be told to speak again.
    std::optional<QByteArray> rconChallenge();

    // Sends the rcon command, then a sim_echo marker with the control
    // password, and returns the print datagrams (whole) that came before the
    // marker's answer; nothing when the marker does not come back in time.
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
    QByteArray m_challenge;
    int m_markers = 0;
};
