#include "HalfLifeMachine.h"

#include "Wire.h"

#include <algorithm>

namespace {

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

} // namespace

HalfLifeMachine::HalfLifeMachine(const MachineSettings& settings, int index, int ordinal, quint32 seed,
                                 QByteArray controlPassword, const ParkDirectory& park)
    : Machine(settings, index, ordinal, seed, std::move(controlPassword), park), m_index(index)
{
    drawRconChallenge();
    do {
        m_queryChallenge = random().generate();
    } while (m_queryChallenge == 0 || m_queryChallenge == 0xFFFFFFFFu);
}

void HalfLifeMachine::drawRconChallenge()
{
    // Ten digits always; every other machine's number needs all 32 bits, so a
    // park of two already shows a challenge that does not fit a signed int.
    quint32 challenge = 0;
    do {
        challenge = m_index % 2 == 0 ? 2147483648u + random().bounded(2147483647u)
                                     : 1000000000u + random().bounded(1147483647u);
    } while (challenge == m_rconChallenge);
    m_rconChallenge = challenge;
}

void HalfLifeMachine::restart()
{
    drawRconChallenge();
    m_challengeAskers.clear();
}

QByteArray HalfLifeMachine::peerKey(const Peer& peer)
{
    return peer.address.toString().toLatin1() + ':' + QByteArray::number(peer.port);
}

QByteArray HalfLifeMachine::challengeReject(const Peer& peer) const
{
    // The engine's words: a peer that never asked has no challenge at all.
    const QByteArray reason =
        m_challengeAskers.contains(peerKey(peer)) ? "Bad challenge.\n" : "No challenge for your address.\n";
    return wire::kPrefix + '9' + reason + '\0';
}

void HalfLifeMachine::answer(const QByteArray& datagram, const Peer& peer)
{
    if (banned() && !queryText(datagram).startsWith("rcon ")) {
        sendBanned(peer);
        return;
    }
    const char type = datagram[4];
    if (type == 'T' && answerInfoQuery(datagram, peer))
        return;
    if (type == 'U') {
        answerPlayersQuery(datagram, peer);
        return;
    }
    if (type == 'V') {
        answerRulesQuery(datagram, peer);
        return;
    }

    const QByteArray text = queryText(datagram);
    if (text.startsWith("rcon ")) {
        const std::optional<RconRequest> request = parseRcon(text);
        const bool challengeRight = request && request->challenge == m_rconChallenge;
        // A wrong challenge is rejected first, then refused like a wrong
        // password, as a game server's engine does.
        if (request && !challengeRight && !silent() && !banned())
            send(challengeReject(peer), peer);
        answerRcon(request, challengeRight, peer);
        return;
    }
    if (silent())
        return;
    const QByteArray query = text.trimmed();
    if (query == "details") {
        if (!settings().modernOnly)
            send(detailsReply(), peer);
    } else if (query == "players") {
        if (!settings().modernOnly)
            send(playersReply(), peer);
    } else if (query == "rules") {
        if (!settings().modernOnly)
            sendRules(peer);
    } else if (query == "challenge rcon") {
        if (m_challengeAskers.size() < 4096)
            m_challengeAskers.insert(peerKey(peer));
        send(challengeReply(), peer);
    } else if (query == "ping") {
        send(wire::Writer('j').byte(0).bytes(), peer);
    }
}

bool HalfLifeMachine::answerInfoQuery(const QByteArray& datagram, const Peer& peer)
{
    wire::Reader reader(datagram, 5);
    const std::optional<QByteArray> payload = reader.text();
    if (!payload || *payload != kInfoQuery)
        return false;
    if (silent())
        return true;
    if (settings().demandChallenge) {
        const std::optional<quint32> challenge = reader.uint32();
        if (!challenge || *challenge != m_queryChallenge) {
            send(queryChallengeReply(), peer);
            return true;
        }
    }
    send(infoReply(), peer);
    if (!settings().modernOnly)
        send(detailsReply(), peer);
    return true;
}

void HalfLifeMachine::answerPlayersQuery(const QByteArray& datagram, const Peer& peer)
{
    if (silent())
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

void HalfLifeMachine::answerRulesQuery(const QByteArray& datagram, const Peer& peer)
{
    if (silent())
        return;
    wire::Reader reader(datagram, 5);
    const std::optional<quint32> challenge = reader.uint32();
    if (!challenge)
        return;
    if (*challenge != m_queryChallenge)
        send(queryChallengeReply(), peer);
    else
        sendRules(peer);
}

void HalfLifeMachine::sendRules(const Peer& peer)
{
    const QList<QPair<QByteArray, QByteArray>> rules = serverRules();
    wire::Writer writer('E');
    writer.int16(static_cast<qint16>(std::min<qsizetype>(rules.size(), 0x7FFF)));
    for (const auto& [name, value] : rules)
        writer.text(name).text(value);
    const QByteArray whole = writer.bytes();
    // A game server's engine sends what does not fit 1400 bytes in parts:
    // FE FF FF FF, the reply's id, part number << 4 | count, the bytes.
    constexpr qsizetype kDatagram = 1400;
    constexpr qsizetype kHeader = 9;
    constexpr int kMaxParts = 15;
    if (whole.size() <= kDatagram) {
        send(whole, peer);
        return;
    }
    const qsizetype partBytes = kDatagram - kHeader;
    const int parts =
        static_cast<int>(std::min<qsizetype>((whole.size() + partBytes - 1) / partBytes, kMaxParts));
    const quint32 id = m_nextSplitId++;
    for (int i = 0; i < parts; ++i) {
        QByteArray part("\xFE\xFF\xFF\xFF", 4);
        for (int shift = 0; shift < 32; shift += 8)
            part.append(static_cast<char>((id >> shift) & 0xFF));
        part.append(static_cast<char>((i << 4) | parts));
        part.append(whole.mid(i * partBytes, partBytes));
        send(part, peer);
    }
}

QByteArray HalfLifeMachine::detailsReply() const
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

QByteArray HalfLifeMachine::infoReply() const
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

QByteArray HalfLifeMachine::playersReply() const
{
    std::vector<Player> players = listedPlayers();
    if (players.size() > static_cast<size_t>(kMaxListedPlayers))
        players.resize(kMaxListedPlayers);
    wire::Writer writer('D');
    writer.byte(clampedByte(static_cast<int>(players.size()) + settings().overstatePlayers));
    for (size_t i = 0; i < players.size(); ++i) {
        writer.byte(static_cast<quint8>(i + 1))
            .text(players[i].name)
            .int32(players[i].frags)
            .float32(static_cast<float>(players[i].seconds));
    }
    return writer.bytes();
}

QByteArray HalfLifeMachine::challengeReply() const
{
    // The type byte is the 'c' of "challenge".
    return wire::kPrefix + "challenge rcon " + QByteArray::number(m_rconChallenge) + "\n" +
           QByteArray(1, '\0');
}

QByteArray HalfLifeMachine::queryChallengeReply() const
{
    return wire::Writer('A').uint32(m_queryChallenge).bytes();
}
