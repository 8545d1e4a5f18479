#include "support/SimulatedPark.h"

#include <QFile>

#include <QDeadlineTimer>
#include <QNetworkDatagram>

#include <algorithm>
#include <cctype>

namespace {

constexpr int kStartTimeoutMs = 10000;
const QByteArray kPrefix("\xFF\xFF\xFF\xFF", 4);

// Removes an option and its value from an argument list.
QStringList without(QStringList arguments, const QString& option)
{
    const qsizetype at = arguments.indexOf(option);
    if (at >= 0)
        arguments.remove(at, std::min<qsizetype>(2, arguments.size() - at));
    return arguments;
}

QByteArray printText(const QByteArray& datagram)
{
    // FF FF FF FF 'l' text 00, or from a hub manager FF FF FF FF "print\n" text 00
    static const QByteArray kHubPrint = kPrefix + "print\n";
    QByteArray text = datagram.startsWith(kHubPrint) ? datagram.mid(kHubPrint.size()) : datagram.mid(5);
    // the byte some proxies put before their text (the park's are ` and 00)
    if (!datagram.startsWith(kHubPrint) && (text.startsWith('`') || text.startsWith('\0')))
        text.remove(0, 1);
    if (text.endsWith('\0'))
        text.chop(1);
    return text;
}

} // namespace

SimulatedPark::~SimulatedPark()
{
    kill();
}

QString SimulatedPark::binaryPath()
{
    return QStringLiteral(QUORVANE_SIM_BINARY);
}

bool SimulatedPark::start(const QStringList& arguments)
{
    kill();
    m_arguments = arguments;
    if (!arguments.contains(QStringLiteral("--seed")) && !arguments.contains(QStringLiteral("--config")))
        m_arguments << QStringLiteral("--seed") << QStringLiteral("20030614");
    m_machines.clear();
    return launch(m_arguments);
}

bool SimulatedPark::startWithConfig(const QByteArray& json)
{
    QFile config(m_configDir.filePath(QStringLiteral("park.json")));
    if (!m_configDir.isValid() || !config.open(QIODevice::WriteOnly) || config.write(json) != json.size()) {
        m_error = QStringLiteral("cannot write the park's configuration");
        return false;
    }
    config.close();
    return start(
        {QStringLiteral("--config"), config.fileName(), QStringLiteral("--port"), QStringLiteral("0")});
}

bool SimulatedPark::restart()
{
    if (m_machines.isEmpty()) {
        m_error = QStringLiteral("restart() needs a park that was started");
        return false;
    }
    QStringList ports;
    for (const Machine& machine : m_machines)
        ports << QString::number(machine.port);
    const QList<Machine> before = m_machines;
    kill();
    if (!launch(without(m_arguments, QStringLiteral("--ports"))
                << QStringLiteral("--ports") << ports.join(u',')))
        return false;
    if (m_machines.size() != before.size()) {
        m_error = QStringLiteral("the restarted park lists another number of machines");
        return false;
    }
    for (qsizetype i = 0; i < before.size(); ++i) {
        if (m_machines[i].port != before[i].port || m_machines[i].kind != before[i].kind) {
            m_error = QStringLiteral("the restarted park lists other machines");
            return false;
        }
    }
    return true;
}

bool SimulatedPark::launch(const QStringList& arguments)
{
    m_process = std::make_unique<QProcess>();
    m_process->start(binaryPath(), arguments);
    const QDeadlineTimer deadline(kStartTimeoutMs);
    if (!m_process->waitForStarted(kStartTimeoutMs)) {
        m_error = QStringLiteral("%1 does not start: %2").arg(binaryPath(), m_process->errorString());
        return false;
    }

    QList<Machine> machines;
    while (!deadline.hasExpired()) {
        while (m_process->canReadLine()) {
            const QByteArray line = m_process->readLine().trimmed();
            if (line == "ready") {
                m_machines = machines;
                return true;
            }
            const QList<QByteArray> fields = line.split(' ');
            const qsizetype colon = fields.value(1).lastIndexOf(':');
            bool ok = false;
            const uint port = fields.value(1).mid(colon + 1).toUInt(&ok);
            const std::optional<Kind> kind = fields[0] == "server"  ? std::optional(Kind::Server)
                                             : fields[0] == "proxy" ? std::optional(Kind::Proxy)
                                             : fields[0] == "hub"   ? std::optional(Kind::Hub)
                                                                    : std::nullopt;
            if (fields.size() != 2 || !kind || !ok || port == 0 || port > 65535) {
                m_error = QStringLiteral("unexpected listing line: ") + QString::fromUtf8(line);
                kill();
                return false;
            }
            machines.append({*kind, static_cast<quint16>(port)});
        }
        if (m_process->state() != QProcess::Running) {
            m_error = QStringLiteral("quorvane-sim ended: ") +
                      QString::fromLocal8Bit(m_process->readAllStandardError()).trimmed();
            return false;
        }
        m_process->waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    m_error = QStringLiteral("quorvane-sim did not list its machines within %1 ms").arg(kStartTimeoutMs);
    kill();
    return false;
}

bool SimulatedPark::isRunning() const
{
    return m_process && m_process->state() == QProcess::Running;
}

void SimulatedPark::kill()
{
    if (!m_process)
        return;
    if (m_process->state() != QProcess::NotRunning) {
        m_process->kill();
        m_process->waitForFinished(5000);
    }
    m_process.reset();
}

QList<quint16> SimulatedPark::ports(Kind kind) const
{
    QList<quint16> result;
    for (const Machine& machine : m_machines) {
        if (machine.kind == kind)
            result.append(machine.port);
    }
    return result;
}

ParkProbe::ParkProbe(quint16 port, SimulatedPark::Kind kind) : m_port(port), m_kind(kind)
{
    m_socket.bind(QHostAddress::LocalHost, 0);
}

void ParkProbe::send(const QByteArray& payload)
{
    m_socket.writeDatagram(kPrefix + payload, QHostAddress::LocalHost, m_port);
}

std::optional<QByteArray> ParkProbe::receive(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_socket.hasPendingDatagrams()) {
        if (deadline.hasExpired() || !m_socket.waitForReadyRead(static_cast<int>(deadline.remainingTime())))
            break;
    }
    if (!m_socket.hasPendingDatagrams())
        return std::nullopt;
    return m_socket.receiveDatagram().data();
}

std::optional<QByteArray> ParkProbe::rconChallenge()
{
    if (!m_challenge.isEmpty())
        return m_challenge;
    static const QByteArray kReply = kPrefix + "challenge rcon ";
    send(QByteArray("challenge rcon", 15)); // with its 00 byte
    const std::optional<QByteArray> reply = receive();
    if (!reply || !reply->startsWith(kReply))
        return std::nullopt;
    QByteArray digits;
    for (qsizetype i = kReply.size();
         i < reply->size() && std::isdigit(static_cast<unsigned char>(reply->at(i))); ++i)
        digits.append(reply->at(i));
    if (digits.isEmpty())
        return std::nullopt;
    m_challenge = digits;
    return digits;
}

std::optional<QList<QByteArray>> ParkProbe::rconReplies(const QByteArray& password, const QByteArray& command,
                                                        const QByteArray& controlPassword)
{
    // Hub managers take rcon commands without a challenge.
    const bool hub = m_kind == SimulatedPark::Kind::Hub;
    const std::optional<QByteArray> challenge = hub ? std::optional(QByteArray()) : rconChallenge();
    if (!challenge)
        return std::nullopt;
    const QByteArray marker = "probe-marker-" + QByteArray::number(++m_markers);
    const auto rconDatagram = [&](const QByteArray& secret, const QByteArray& text) {
        return "rcon " + (hub ? QByteArray() : *challenge + ' ') + '"' + secret + "\" " + text + '\0';
    };
    send(rconDatagram(password, command));
    send(rconDatagram(controlPassword, "sim_echo " + marker));

    QList<QByteArray> replies;
    while (const std::optional<QByteArray> reply = receive()) {
        if (printText(*reply) == marker + '\n')
            return replies;
        replies.append(*reply);
    }
    return std::nullopt;
}

std::optional<QByteArray> ParkProbe::rcon(const QByteArray& password, const QByteArray& command,
                                          const QByteArray& controlPassword)
{
    const std::optional<QList<QByteArray>> replies = rconReplies(password, command, controlPassword);
    if (!replies)
        return std::nullopt;
    QByteArray text;
    for (const QByteArray& reply : *replies)
        text += printText(reply);
    return text;
}

std::optional<QByteArray> ParkProbe::control(const QByteArray& command, const QByteArray& controlPassword)
{
    return rcon(controlPassword, command, controlPassword);
}
