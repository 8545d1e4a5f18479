#include "Machine.h"

#include "PrintReply.h"
#include "Wire.h"

#include <QNetworkDatagram>
#include <QTimer>

namespace {

constexpr int kMaxHistory = 256;
constexpr int kRestartDelayMs = 200;
constexpr qsizetype kMaxHistoryEntry = 256;

// A history line: one line whatever the command held.
QByteArray historyLine(const QByteArray& command)
{
    QByteArray line = command.left(kMaxHistoryEntry);
    for (char& c : line) {
        if (c == '\n' || c == '\r' || c == '\0')
            c = ' ';
    }
    return line;
}

// The kind of a query, as --count-queries reports it.
QByteArray queryKind(const QByteArray& datagram, const QByteArray& text)
{
    if (datagram[4] == 'T' || datagram[4] == 'U')
        return QByteArray(1, datagram[4]);
    const QByteArray query = text.trimmed();
    if (query == "details" || query == "players" || query == "ping" || query == "getManagerInfo")
        return query;
    if (query.startsWith("gethubinfo"))
        return "gethubinfo";
    if (text.startsWith("challenge rcon"))
        return "challenge";
    if (text.startsWith("rcon "))
        return "rcon";
    return "other";
}

} // namespace

Machine::Machine(const MachineSettings& settings, int index, int ordinal, quint32 seed,
                 QByteArray controlPassword, const ParkDirectory& park)
    : m_settings(settings), m_ordinal(ordinal), m_controlPassword(std::move(controlPassword)), m_park(park),
      m_random(seed ^ (0x9E3779B9u * static_cast<quint32>(index + 1))), m_moves(settings.moves)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &Machine::readDatagrams);
}

bool Machine::listen(quint16 port, QString* error)
{
    // No address sharing: a second park on the same port must fail loudly
    // instead of splitting the datagrams with the first.
    if (m_socket.bind(QHostAddress::LocalHost, port, QAbstractSocket::DontShareAddress))
        return true;
    *error = QStringLiteral("cannot listen on 127.0.0.1:%1: %2").arg(port).arg(m_socket.errorString());
    return false;
}

QByteArray Machine::address() const
{
    return "127.0.0.1:" + QByteArray::number(port());
}

std::optional<QByteArray> Machine::runSimCommand(const QByteArray&, const QList<QByteArray>&)
{
    return std::nullopt;
}

QByteArray Machine::refusal() const
{
    return "Bad rcon_password.\n";
}

QByteArray Machine::unknownCommand(const QByteArray& command)
{
    return "Unknown command: " + historyLine(commandName(command)).left(128) + '\n';
}

QByteArray Machine::queryText(const QByteArray& datagram)
{
    const qsizetype end = datagram.indexOf('\0', 4);
    return datagram.mid(4, end < 0 ? -1 : end - 4);
}

void Machine::readDatagrams()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        if (!datagram.isValid())
            continue;
        const QByteArray data = datagram.data();
        if (data.size() < 5 || !wire::hasOobPrefix(data))
            continue;
        ++m_traffic.received[queryKind(data, queryText(data))];
        answer(data, Peer{datagram.senderAddress(), static_cast<quint16>(datagram.senderPort())});
    }
}

void Machine::answerRcon(const std::optional<RconRequest>& request, bool challengeRight, const Peer& peer)
{
    if (!request) {
        if (!m_silent)
            sendPrint(refusal(), peer);
        return;
    }
    const bool isSim = commandName(request->command).startsWith("sim_");
    const bool rconAccepted =
        !m_settings.rconPassword.isEmpty() && request->password == m_settings.rconPassword;
    const bool controlAccepted =
        isSim && !m_controlPassword.isEmpty() && request->password == m_controlPassword;
    const bool accepted = challengeRight && (rconAccepted || controlAccepted);

    // The sim_ commands steer the machine from outside, so they work while it
    // is silent and stay out of the history of what it was sent.
    if (isSim && accepted) {
        sendPrint(runSim(request->command), peer);
        return;
    }
    if (m_silent)
        return;
    // What a banned console still sends is kept, as refused.
    if (!isSim)
        remember(request->command, accepted && !m_banned);
    if (m_banned) {
        sendBanned(peer);
        return;
    }
    if (!accepted && !isSim)
        rconRefused(*request, peer);
    sendPrint(accepted ? runCommand(request->command) : refusal(), peer);
}

QByteArray Machine::runSim(const QByteArray& command)
{
    const QByteArray name = commandName(command);
    const QList<QByteArray> arguments = splitArguments(commandArgument(command));
    const QByteArray first = arguments.value(0);

    if (name == "sim_silence") {
        if (first != "0" && first != "1")
            return "Usage: sim_silence 0|1\n";
        m_silent = first == "1";
        return "sim_silence " + first + '\n';
    }
    if (name == "sim_still") {
        if (first != "0" && first != "1")
            return "Usage: sim_still 0|1\n";
        m_moves = first == "0";
        return "sim_still " + first + '\n';
    }
    if (name == "sim_ban") {
        if (first != "0" && first != "1")
            return "Usage: sim_ban 0|1\n";
        m_banned = first == "1";
        return "sim_ban " + first + '\n';
    }
    if (name == "sim_restart") {
        // A moment later, so that this answer and a marker sent right after
        // the command still carry the old challenge.
        QTimer::singleShot(kRestartDelayMs, this, [this] {
            ++m_restarts;
            restart();
        });
        return "sim_restart\n";
    }
    if (name == "sim_echo")
        return commandArgument(command).left(1024) + '\n';
    if (name == "sim_history") {
        if (first == "clear") {
            m_history.clear();
            return "-- history cleared\n";
        }
        QByteArray output;
        for (const QByteArray& line : m_history)
            output += line + '\n';
        return output + "-- " + QByteArray::number(m_history.size()) + " commands\n";
    }
    if (const std::optional<QByteArray> output = runSimCommand(name, arguments))
        return *output;
    return unknownCommand(command);
}

void Machine::remember(const QByteArray& command, bool accepted)
{
    m_history.append((accepted ? QByteArray() : QByteArray("(refused) ")) + historyLine(command));
    while (m_history.size() > kMaxHistory)
        m_history.removeFirst();
}

void Machine::send(const QByteArray& datagram, const Peer& peer)
{
    ++m_traffic.sent[datagram.size() > 4 ? datagram.mid(4, 1) : QByteArray("?")];
    m_socket.writeDatagram(datagram, peer.address, peer.port);
}

void Machine::sendBanned(const Peer& peer)
{
    if (!m_silent)
        sendPrint("You have been banned from this server.\n", peer);
}

void Machine::sendPrint(const QByteArray& output, const Peer& peer)
{
    for (const QByteArray& datagram : print::datagrams(output, printHead()))
        send(datagram, peer);
}
