#include "Machine.h"

#include "PrintReply.h"
#include "RconRequest.h"
#include "Wire.h"

#include <QNetworkDatagram>

#include <algorithm>

namespace {

constexpr int kMaxHistory = 256;
constexpr qsizetype kMaxHistoryEntry = 256;
constexpr int kMaxListedPlayers = 32;

const QByteArray kInfoQuery("Source Engine Query");

quint8 clampedByte(int value)
{
    return static_cast<quint8>(std::clamp(value, 0, 255));
}

// The app id that goes with a game directory in the current info reply.
qint16 appId(const QByteArray& gameDir)
{
    if (gameDir == "valve")
        return 70;
    return 10; // Counter-Strike, and whatever else the park runs
}

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

} // namespace

Machine::Machine(const MachineSettings& settings, int index, int ordinal, quint32 seed,
                 QByteArray controlPassword, const ParkDirectory& park)
    : m_settings(settings), m_ordinal(ordinal), m_controlPassword(std::move(controlPassword)), m_park(park),
      m_random(seed ^ (0x9E3779B9u * static_cast<quint32>(index + 1))), m_moves(settings.moves)
{
    // Ten digits always; every other machine's number needs all 32 bits, so a
    // park of two already shows a challenge that does not fit a signed int.
    m_rconChallenge = index % 2 == 0 ? 2147483648u + m_random.bounded(2147483647u)
                                     : 1000000000u + m_random.bounded(1147483647u);
    do {
        m_queryChallenge = m_random.generate();
    } while (m_queryChallenge == 0 || m_queryChallenge == 0xFFFFFFFFu);

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

void Machine::readDatagrams()
{
    while (m_socket.hasPendingDatagrams()) {
        const QNetworkDatagram datagram = m_socket.receiveDatagram();
        if (!datagram.isValid())
            continue;
        handle(datagram.data(), Peer{datagram.senderAddress(), static_cast<quint16>(datagram.senderPort())});
    }
}

void Machine::handle(const QByteArray& datagram, const Peer& peer)
{
    if (datagram.size() < 5 || !wire::hasOobPrefix(datagram))
        return;

    const char type = datagram[4];
    if (type == 'T' && answerInfoQuery(datagram, peer))
        return;
    if (type == 'U') {
        answerPlayersQuery(datagram, peer);
        return;
    }

    // The text queries end at their 00 byte (or with the datagram).
    const qsizetype end = datagram.indexOf('\0', 4);
    const QByteArray text = datagram.mid(4, end < 0 ? -1 : end - 4);
    if (text.startsWith("rcon ")) {
        answerRcon(text, peer);
        return;
    }
    if (m_silent)
        return;
    const QByteArray query = text.trimmed();
    if (query == "details") {
        if (!m_settings.modernOnly)
            send(detailsReply(), peer);
    } else if (query == "players") {
        if (!m_settings.modernOnly)
            send(playersReply(), peer);
    } else if (query == "challenge rcon") {
        send(challengeReply(), peer);
    } else if (query == "ping") {
        send(wire::Writer('j').byte(0).bytes(), peer);
    }
}

bool Machine::answerInfoQuery(const QByteArray& datagram, const Peer& peer)
{
    wire::Reader reader(datagram, 5);
    const std::optional<QByteArray> payload = reader.text();
    if (!payload || *payload != kInfoQuery)
        return false;
    if (m_silent)
        return true;
    if (m_settings.demandChallenge) {
        const std::optional<quint32> challenge = reader.uint32();
        if (!challenge || *challenge != m_queryChallenge) {
            send(queryChallengeReply(), peer);
            return true;
        }
    }
    send(infoReply(), peer);
    if (!m_settings.modernOnly)
        send(detailsReply(), peer);
    return true;
}

void Machine::answerPlayersQuery(const QByteArray& datagram, const Peer& peer)
{
    if (m_silent)
        return;
    wire::Reader reader(datagram, 5);
    const std::optional<quint32> challenge = reader.uint32();
    if (!challenge)
        return;
    if (*challenge != m_queryChallenge)
        send(queryChallengeReply(), peer);
    else
        send(playersReply(), peer);
}

void Machine::answerRcon(const QByteArray& text, const Peer& peer)
{
    const std::optional<RconRequest> request = parseRcon(text);
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
    const bool accepted = request->challenge == m_rconChallenge && (rconAccepted || controlAccepted);

    // The sim_ commands steer the machine from outside, so they work while it
    // is silent and stay out of the history of what it was sent.
    if (isSim && accepted) {
        sendPrint(runSim(request->command), peer);
        return;
    }
    if (m_silent)
        return;
    if (!isSim)
        remember(request->command, accepted);
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

QByteArray Machine::detailsReply() const
{
    const InfoFacts facts = info();
    return wire::Writer('m')
        .text(address())
        .text(facts.hostName)
        .text(facts.map)
        .text(facts.gameDir)
        .text(facts.description)
        .byte(clampedByte(facts.players))
        .byte(clampedByte(facts.maxPlayers))
        .byte(47) // protocol
        .byte(static_cast<quint8>(facts.serverType))
        .byte('l') // Linux
        .byte(facts.passworded ? 1 : 0)
        .byte(0) // not a mod: no mod fields follow
        .byte(1) // VAC
        .byte(0) // bots
        .bytes();
}

QByteArray Machine::infoReply() const
{
    const InfoFacts facts = info();
    return wire::Writer('I')
        .byte(48) // protocol
        .text(facts.hostName)
        .text(facts.map)
        .text(facts.gameDir)
        .text(facts.description)
        .int16(appId(facts.gameDir))
        .byte(clampedByte(facts.players))
        .byte(clampedByte(facts.maxPlayers))
        .byte(0) // bots
        .byte(static_cast<quint8>(facts.serverType))
        .byte('l') // Linux
        .byte(facts.passworded ? 1 : 0)
        .byte(1) // VAC
        .text("1.1.2.7/Stdio")
        .byte(0x80) // extra data: the game port follows
        .int16(static_cast<qint16>(port()))
        .bytes();
}

QByteArray Machine::playersReply() const
{
    std::vector<Player> players = listedPlayers();
    if (players.size() > static_cast<size_t>(kMaxListedPlayers))
        players.resize(kMaxListedPlayers);
    wire::Writer writer('D');
    writer.byte(clampedByte(static_cast<int>(players.size()) + m_settings.overstatePlayers));
    for (size_t i = 0; i < players.size(); ++i) {
        writer.byte(static_cast<quint8>(i + 1))
            .text(players[i].name)
            .int32(players[i].frags)
            .float32(static_cast<float>(players[i].seconds));
    }
    return writer.bytes();
}

QByteArray Machine::challengeReply() const
{
    // The type byte is the 'c' of "challenge".
    return wire::kPrefix + "challenge rcon " + QByteArray::number(m_rconChallenge) + "\n" +
           QByteArray(1, '\0');
}

QByteArray Machine::queryChallengeReply() const
{
    return wire::Writer('A').uint32(m_queryChallenge).bytes();
}

void Machine::send(const QByteArray& datagram, const Peer& peer)
{
    m_socket.writeDatagram(datagram, peer.address, peer.port);
}

void Machine::sendPrint(const QByteArray& output, const Peer& peer)
{
    for (const QByteArray& datagram : print::datagrams(output))
        send(datagram, peer);
}
