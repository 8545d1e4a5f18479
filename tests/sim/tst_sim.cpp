#include "support/SimulatedPark.h"

#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <cstring>

namespace {

const QByteArray kPrefix("\xFF\xFF\xFF\xFF", 4);
const QByteArray kInfoQuery = QByteArray("TSource Engine Query") + '\0';

QByteArray withNul(const char* text)
{
    return QByteArray(text) + '\0';
}

// Reads reply fields the way a client does, on its own: nothing here comes
// from the sim's code.
struct Cursor
{
    QByteArray data;
    qsizetype at = 5; // after the prefix and the type byte
    bool ok = true;

    int byte()
    {
        if (at >= data.size())
            return ok = false;
        return static_cast<quint8>(data[at++]);
    }
    quint32 uint32()
    {
        quint32 value = 0;
        for (int i = 0; i < 4; ++i)
            value |= static_cast<quint32>(byte()) << (8 * i);
        return value;
    }
    QByteArray text()
    {
        const qsizetype end = data.indexOf('\0', at);
        if (end < 0) {
            ok = false;
            return {};
        }
        const QByteArray value = data.mid(at, end - at);
        at = end + 1;
        return value;
    }
    bool atEnd() const { return ok && at == data.size(); }
};

// The names of a players reply; nothing when the reply does not hold
// exactly the records it announces.
std::optional<QList<QByteArray>> playerNames(const QByteArray& reply)
{
    if (!reply.startsWith(kPrefix + 'D'))
        return std::nullopt;
    Cursor cursor{reply};
    const int count = cursor.byte();
    QList<QByteArray> names;
    for (int i = 0; i < count && cursor.ok; ++i) {
        if (cursor.byte() != i + 1)
            return std::nullopt;
        names.append(cursor.text());
        cursor.uint32(); // frags
        const quint32 bits = cursor.uint32();
        float seconds = 0;
        std::memcpy(&seconds, &bits, sizeof seconds);
        if (!(seconds >= 0.0f))
            return std::nullopt;
    }
    if (!cursor.atEnd())
        return std::nullopt;
    return names;
}

QList<QByteArray> lines(const QByteArray& text)
{
    return text.split('\n');
}

// The rows of a game server's status table: #, slot, quoted name, ...
qsizetype playerRows(const QByteArray& status)
{
    static const QRegularExpression kRow(QStringLiteral("^# ?\\d+ \".*\" \\d+ "),
                                         QRegularExpression::MultilineOption);
    qsizetype rows = 0;
    for (auto it = kRow.globalMatch(QString::fromUtf8(status)); it.hasNext(); it.next())
        ++rows;
    return rows;
}

// A hub manager's reply as keys and values, and the keys in their order.
struct KeyValueReply
{
    QByteArray head; // the text before the first backslash
    QList<QByteArray> keys;
    QHash<QByteArray, QByteArray> values;
};

std::optional<KeyValueReply> keyValueReply(const std::optional<QByteArray>& text)
{
    if (!text)
        return std::nullopt;
    KeyValueReply reply;
    reply.head = text->left(text->indexOf('\\'));
    for (const auto& [key, value] : ParkProbe::keyValues(*text)) {
        if (reply.values.contains(key))
            return std::nullopt; // a key given twice
        reply.keys.append(key);
        reply.values.insert(key, value);
    }
    return reply;
}

QByteArray withoutColourCodes(QByteArray name)
{
    for (char digit = '0'; digit <= '9'; ++digit)
        name.replace(QByteArray("^") + digit, QByteArray());
    return name;
}

bool hasLineStartingWith(const QByteArray& text, const QByteArray& start)
{
    const QList<QByteArray> all = lines(text);
    return std::any_of(all.begin(), all.end(),
                       [&](const QByteArray& line) { return line.startsWith(start); });
}

} // namespace

class TestSim : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    SimulatedPark park;
    quint16 oldServer = 0;
    quint16 currentServer = 0;
    quint16 oldProxy = 0;
    quint16 currentProxy = 0;
    quint16 cupHubs = 0;   // a hub manager with three hubs
    quint16 emptyHubs = 0; // a hub manager without hubs, silent to a wrong password

    QByteArray address(quint16 port) { return "127.0.0.1:" + QByteArray::number(port); }

    QByteArray proxyStatus(quint16 port)
    {
        ParkProbe probe(port);
        return probe.rcon("pw", "status").value_or("(no answer)");
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QFile config(dir.filePath(QStringLiteral("park.json")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(R"({
            "seed": 7,
            "servers": [
                {"hostname": "Old Server", "map": "de_nuke", "players": 5, "max_players": 16,
                 "sv_password": "join", "moves": false},
                {"hostname": "Current Server", "modern_only": true, "challenge": true, "players": 3,
                 "moves": false}
            ],
            "proxies": [
                {"style": "old", "rate_line": "plain", "spectators": 4, "slots": 64, "moves": false},
                {"style": "current", "spectators": 2, "slots": 32, "moves": false}
            ],
            "hubs": [
                {"hostname": "Cup GTV", "clients": 7, "max_clients": 40, "moves": false,
                 "hubs": [
                     {"num": 2, "desc": "Final \\ stage", "parent": "server:1", "players": 4, "following": 3},
                     {"desc": "Warm-up", "players": 0, "following": -1},
                     {"num": 7, "parent": "localhost:27999", "players": 2}
                 ]},
                {"hostname": "Empty GTV", "hubs": [], "bad_password": "silent", "moves": false}
            ]
        })");
        config.close();
        QVERIFY2(park.start({QStringLiteral("--config"), config.fileName(), QStringLiteral("--port"),
                             QStringLiteral("0"), QStringLiteral("--rcon"), QStringLiteral("pw")}),
                 qPrintable(park.errorString()));
        QCOMPARE(park.serverPorts().size(), 2);
        QCOMPARE(park.proxyPorts().size(), 2);
        oldServer = park.serverPorts()[0];
        currentServer = park.serverPorts()[1];
        oldProxy = park.proxyPorts()[0];
        currentProxy = park.proxyPorts()[1];
        QCOMPARE(park.hubPorts().size(), 2);
        cupHubs = park.hubPorts()[0];
        emptyHubs = park.hubPorts()[1];
    }

    std::optional<KeyValueReply> hubInfo(quint16 port, int hub)
    {
        return keyValueReply(ParkProbe(port).ask("gethubinfo " + QByteArray::number(hub)));
    }

    void listsServersFirstOnDistinctPorts()
    {
        using Kind = SimulatedPark::Kind;
        QList<Kind> kinds;
        QSet<quint16> ports;
        for (const auto& machine : park.machines()) {
            kinds.append(machine.kind);
            ports.insert(machine.port);
        }
        QCOMPARE(kinds,
                 (QList<Kind>{Kind::Server, Kind::Server, Kind::Proxy, Kind::Proxy, Kind::Hub, Kind::Hub}));
        QCOMPARE(ports.size(), 6);
    }

    void detailsAndPlayersQueries()
    {
        ParkProbe probe(oldServer);
        probe.send(withNul("details"));
        const auto details = probe.receive();
        QVERIFY(details && details->startsWith(kPrefix + 'm'));
        Cursor cursor{*details};
        QCOMPARE(cursor.text(), address(oldServer));
        QCOMPARE(cursor.text(), QByteArray("Old Server"));
        QCOMPARE(cursor.text(), QByteArray("de_nuke"));
        QCOMPARE(cursor.text(), QByteArray("cstrike"));
        QCOMPARE(cursor.text(), QByteArray("Counter-Strike"));
        QCOMPARE(cursor.byte(), 5);   // players
        QCOMPARE(cursor.byte(), 16);  // max players
        QCOMPARE(cursor.byte(), 47);  // protocol
        QCOMPARE(cursor.byte(), 'd'); // dedicated
        QCOMPARE(cursor.byte(), 'l'); // Linux
        QCOMPARE(cursor.byte(), 1);   // a server password is set
        QCOMPARE(cursor.byte(), 0);   // not a mod
        QVERIFY(cursor.ok);

        probe.send(withNul("players"));
        const auto names = playerNames(probe.receive().value_or(QByteArray()));
        QVERIFY(names);
        QCOMPARE(names->size(), 5);
        const auto any = [&](auto test) { return std::any_of(names->begin(), names->end(), test); };
        QVERIFY(any([](const QByteArray& name) { return name.startsWith("[ABC]"); }));
        QVERIFY(any([](const QByteArray& name) { return name.contains('"'); }));
        QVERIFY(any([](const QByteArray& name) {
            const bool utf8 = QString::fromUtf8(name).toUtf8() == name;
            return utf8 && std::any_of(name.begin(), name.end(), [](char c) { return c & 0x80; });
        }));
    }

    void currentQueriesAnsweredBesideOldOnes()
    {
        ParkProbe probe(oldServer);
        probe.send(kInfoQuery);
        const auto info = probe.receive();
        QVERIFY(info && info->startsWith(kPrefix + 'I'));
        Cursor cursor{*info};
        QCOMPARE(cursor.byte(), 48);
        QCOMPARE(cursor.text(), QByteArray("Old Server"));
        QCOMPARE(cursor.text(), QByteArray("de_nuke"));
        QCOMPARE(cursor.text(), QByteArray("cstrike"));
        QCOMPARE(cursor.text(), QByteArray("Counter-Strike"));
        QCOMPARE(cursor.byte() | cursor.byte() << 8, 10); // app id
        QCOMPARE(cursor.byte(), 5);
        QCOMPARE(cursor.byte(), 16);
        QCOMPARE(cursor.byte(), 0); // bots
        QCOMPARE(cursor.byte(), 'd');
        QCOMPARE(cursor.byte(), 'l');
        QCOMPARE(cursor.byte(), 1);
        QVERIFY(cursor.ok);
        // an old server also answers with its 'm' reply
        QVERIFY(probe.receive().value_or(QByteArray()).startsWith(kPrefix + 'm'));

        probe.send(QByteArray("U") + kPrefix);
        const auto challenge = probe.receive();
        QVERIFY(challenge && challenge->startsWith(kPrefix + 'A'));
        QCOMPARE(challenge->size(), 9);
        probe.send('U' + challenge->mid(5));
        const auto names = playerNames(probe.receive().value_or(QByteArray()));
        QVERIFY(names);
        QCOMPARE(names->size(), 5);
    }

    void modernServerIgnoresOldQueriesAndDemandsChallenge()
    {
        ParkProbe probe(currentServer);
        // An ignored query shows as the next query's answer coming first.
        probe.send(withNul("details"));
        probe.send(kInfoQuery);
        const auto challenge = probe.receive();
        QVERIFY(challenge && challenge->startsWith(kPrefix + 'A'));
        QCOMPARE(challenge->size(), 9);

        probe.send(withNul("players"));
        probe.send(kInfoQuery + challenge->mid(5));
        const auto info = probe.receive();
        QVERIFY(info && info->startsWith(kPrefix + 'I'));
        Cursor cursor{*info, 6};
        QCOMPARE(cursor.text(), QByteArray("Current Server"));
        // no 'm' follows the 'I' of a modern-only server
        probe.send(QByteArray("U") + kPrefix);
        QCOMPARE(probe.receive().value_or(QByteArray()), *challenge);
        probe.send('U' + challenge->mid(5));
        QCOMPARE(playerNames(probe.receive().value_or(QByteArray())).value_or(QList<QByteArray>()).size(), 3);
    }

    void rconChallengeNumbers()
    {
        bool aboveSignedRange = false;
        for (const auto& machine : park.machines()) {
            if (machine.kind == SimulatedPark::Kind::Hub)
                continue; // rcon without a challenge
            ParkProbe probe(machine.port);
            probe.send(withNul("challenge rcon"));
            const auto reply = probe.receive();
            QVERIFY(reply);
            static const QRegularExpression kForm(QStringLiteral("^challenge rcon (\\d{10})\n$"));
            QVERIFY(reply->startsWith(kPrefix) && reply->endsWith('\0'));
            const auto match = kForm.match(QString::fromLatin1(reply->mid(4, reply->size() - 5)));
            QVERIFY2(match.hasMatch(), reply->constData());
            bool ok = false;
            const qulonglong number = match.captured(1).toULongLong(&ok);
            QVERIFY(ok && number <= 4294967295ull);
            aboveSignedRange = aboveSignedRange || number > 2147483647ull;
            // a machine keeps its number
            probe.send(withNul("challenge rcon"));
            QCOMPARE(probe.receive(), reply);
        }
        QVERIFY(aboveSignedRange);
    }

    void rconChecksPasswordAndChallenge()
    {
        ParkProbe probe(oldServer);
        const QByteArray status = probe.rcon("pw", "status").value_or("");
        QVERIFY(status.startsWith("hostname:  Old Server\n"));
        QVERIFY(status.contains("\nmap     :  de_nuke at: "));
        QVERIFY(status.contains("\nplayers :  5 active (16 max)\n"));
        QVERIFY(status.contains("\n#      name userid uniqueid frag time ping loss adr\n"));
        QCOMPARE(playerRows(status), 5);
        QVERIFY(status.endsWith("\n5 users\n"));
        QCOMPARE(probe.rcon("pw", "sv_password"), QByteArray("\"sv_password\" is \"join\"\n"));
        QCOMPARE(probe.rcon("pw", "no_such_command x"), QByteArray("Unknown command: no_such_command\n"));
        QCOMPARE(probe.rcon("wrong", "status"), QByteArray("Bad rcon_password.\n"));

        const qulonglong right = probe.rconChallenge().value_or("0").toULongLong();
        probe.send("rcon " + QByteArray::number((right + 1) % 4294967296ull) + " \"pw\" status" + '\0');
        QCOMPARE(probe.receive(), kPrefix + "lBad rcon_password.\n" + '\0');
    }

    void matchReportFollowsState()
    {
        ParkProbe probe(oldServer);
        QVERIFY(probe.control("sim_match 0"));
        QCOMPARE(probe.rcon("pw", "nxn_match_report"), QByteArray("[AMX] No match running.\n"));
        QVERIFY(probe.control("sim_match 4 Red Blue 5 3 4 6"));
        const QByteArray report = probe.rcon("pw", "nxn_match_report").value_or("");
        QVERIFY2(report.startsWith("nxn_match_report = \"") && report.endsWith("\"\n"), report.constData());
        const QList<QByteArray> fields = report.mid(20, report.size() - 22).split(';');
        QCOMPARE(fields.size(), 10);
        QCOMPARE(fields[0], QByteArray("Red"));
        QCOMPARE(fields[1], QByteArray("Blue"));
        QCOMPARE(fields.mid(5), (QList<QByteArray>{"4", "5", "3", "4", "6"}));
        QVERIFY(probe.control("sim_match 0"));
        QCOMPARE(probe.rcon("pw", "nxn_match_report"), QByteArray("[AMX] No match running.\n"));
    }

    void kickRemovesThePlayer()
    {
        ParkProbe probe(oldServer);
        QVERIFY(probe.control("sim_players 5"));
        probe.send(withNul("players"));
        const auto before = playerNames(probe.receive().value_or(QByteArray())).value_or(QList<QByteArray>());
        const auto quoted =
            std::find_if(before.begin(), before.end(), [](const auto& n) { return n.contains('"'); });
        QVERIFY(quoted != before.end());
        QVERIFY(!probe.rcon("pw", "kick \"" + *quoted + '"').value_or("").isEmpty());
        probe.send(withNul("players"));
        auto expected = before;
        expected.removeOne(*quoted);
        QCOMPARE(playerNames(probe.receive().value_or(QByteArray())), expected);
        QVERIFY(probe.control("sim_players 5"));
    }

    void longOutputSplitAtLineEnds()
    {
        ParkProbe probe(oldServer);
        QVERIFY(probe.control("sim_players 16"));
        const auto replies = probe.rconReplies("pw", "status");
        QVERIFY(replies);
        QVERIFY(replies->size() >= 2);
        QByteArray text;
        for (const QByteArray& reply : *replies) {
            QVERIFY(reply.size() <= 1400);
            QVERIFY(reply.startsWith(kPrefix + 'l') && reply.endsWith(QByteArray("\n") + '\0'));
            text += reply.mid(5, reply.size() - 6);
        }
        QCOMPARE(playerRows(text), 16);
        QVERIFY(text.endsWith("\n16 users\n"));
        QVERIFY(probe.control("sim_players 5"));
    }

    void oldProxyStatusFollowsCommands()
    {
        ParkProbe probe(oldProxy);
        QVERIFY(probe.control("sim_history clear"));
        QByteArray status = probe.rcon("pw", "status").value_or("");
        QCOMPARE(lines(status).value(0), QByteArray("----- Status -----"));
        QVERIFY(hasLineStartingWith(status, "Name Quorvane Sim HLTV 1, "));
        QVERIFY(status.contains(", Clients 4/64\n"));
        const QRegularExpression rateLine(
            QStringLiteral("^Local IP %1, Network In \\d+\\.\\d Out \\d+\\.\\d$")
                .arg(QString::fromLatin1(address(oldProxy))),
            QRegularExpression::MultilineOption);
        QVERIFY(rateLine.match(QString::fromLatin1(status)).hasMatch());
        QVERIFY(status.contains("\nHLTV proxy disconnected.\n"));

        // the game server has a server password: without it, no connection
        QVERIFY(probe.rcon("pw", "connect " + address(oldServer)));
        QVERIFY(proxyStatus(oldProxy).contains("\nHLTV proxy disconnected.\n"));
        QVERIFY(probe.rcon("pw", "serverpassword join"));
        QVERIFY(probe.rcon("pw", "connect " + address(oldServer)));
        QVERIFY(hasLineStartingWith(proxyStatus(oldProxy),
                                    "HLTV proxy connected to " + address(oldServer) + ','));
        probe.send(withNul("details"));
        Cursor details{probe.receive().value_or(QByteArray())};
        QCOMPARE(details.text(), address(oldProxy));
        QCOMPARE(details.text(), QByteArray("Quorvane Sim HLTV 1"));
        QCOMPARE(details.text(), QByteArray("de_nuke")); // the relayed server's map
        details.text();
        QCOMPARE(details.text(), QByteArray("HLTV"));

        QVERIFY(probe.rcon("pw", "record demo1"));
        QVERIFY(hasLineStartingWith(proxyStatus(oldProxy), "Recording to demo1.dem ("));
        QVERIFY(probe.rcon("pw", "stoprecord"));
        QVERIFY(!proxyStatus(oldProxy).contains("Recording to "));
        QCOMPARE(probe.rcon("wrong", "status"), QByteArray("Bad rcon_password.\n"));

        // every command as sent, the status asked after each step included
        const QByteArray connect = "connect " + address(oldServer);
        QCOMPARE(
            probe.control("sim_history").value_or(""),
            "status\n" + connect + "\nstatus\nserverpassword join\n" + connect +
                "\nstatus\nrecord demo1\nstatus\nstoprecord\nstatus\n(refused) status\n-- 11 commands\n");
    }

    void currentProxyStatusAndSilentRefusal()
    {
        ParkProbe probe(currentProxy);
        QVERIFY(probe.rcon("pw", "disconnect"));
        QVERIFY(ParkProbe(oldProxy).rcon("pw", "disconnect"));
        QByteArray status = proxyStatus(currentProxy);
        QCOMPARE(lines(status).value(0), QByteArray("--- HLTV Status ---"));
        QVERIFY(status.contains("\nLocal Slots 32, Spectators 2 (max 2), Proxies 0\n"));
        QVERIFY(status.contains("\nNot connected.\n"));

        QVERIFY(probe.rcon("pw", "connect " + address(oldProxy)));
        QVERIFY(proxyStatus(currentProxy).contains("\nConnected to HLTV Proxy " + address(oldProxy) + '\n'));
        QVERIFY(proxyStatus(oldProxy).contains(", Clients 5/64\n")); // four spectators and one relay

        QVERIFY(probe.rcon("pw", "connect " + address(currentServer)));
        QVERIFY(proxyStatus(currentProxy)
                    .contains("\nConnected to Game Server " + address(currentServer) + ", Delay 30\n"));
        QVERIFY(proxyStatus(oldProxy).contains(", Clients 4/64\n"));
        QVERIFY(probe.rcon("pw", "record \"final match\""));
        QVERIFY(hasLineStartingWith(proxyStatus(currentProxy), "Recording to final match.dem, Length "));

        QCOMPARE(probe.rcon("wrong", "status"), QByteArray()); // silence
        QVERIFY(probe.rcon("pw", "disconnect"));
        QVERIFY(!proxyStatus(currentProxy).contains("Recording to "));
    }

    void malformedDatagramsIgnored_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addRow("empty") << QByteArray();
        QTest::addRow("three bytes of the prefix") << QByteArray(3, '\xFF');
        QTest::addRow("prefix alone") << kPrefix;
        QTest::addRow("no prefix") << withNul("details");
        QTest::addRow("wrong prefix") << "\xFE\xFF\xFF\xFF" + withNul("details");
        QTest::addRow("info query cut short") << kPrefix + "TSource Eng";
        QTest::addRow("players query, short challenge") << kPrefix + "U\x01\x02";
        QTest::addRow("rcon without challenge") << kPrefix + "rcon \"pw\" status";
        QTest::addRow("rcon challenge too large") << kPrefix + "rcon 99999999999 \"pw\" status";
        QTest::addRow("rcon password not closed") << kPrefix + "rcon 1 \"pw";
        QTest::addRow("rcon word alone") << kPrefix + "rcon";
        QTest::addRow("oversized") << kPrefix + QByteArray(3000, 'x');
        QByteArray noise(1500, '\0');
        for (qsizetype i = 0; i < noise.size(); ++i)
            noise[i] = static_cast<char>((i * 131 + 7) % 256);
        QTest::addRow("binary noise") << kPrefix + noise;
        QTest::addRow("hub number missing") << kPrefix + withNul("gethubinfo");
        QTest::addRow("hub number not a number") << kPrefix + withNul("gethubinfo two");
        QTest::addRow("hub number too large") << kPrefix + withNul("gethubinfo 99999999999999999999");
        QTest::addRow("manager query with junk") << kPrefix + "getManagerInfo\\\\\\";
        QTest::addRow("rcon password only") << kPrefix + "rcon \"pw\"";
    }

    void malformedDatagramsIgnored()
    {
        QFETCH(QByteArray, datagram);
        for (const auto& machine : park.machines()) {
            ParkProbe probe(machine.port, machine.kind);
            QVERIFY(machine.kind == SimulatedPark::Kind::Hub || probe.rconChallenge());
            QUdpSocket sender;
            QCOMPARE(sender.writeDatagram(datagram, QHostAddress::LocalHost, machine.port), datagram.size());
            QVERIFY(probe.control("sim_echo alive").value_or("").endsWith("alive\n"));
        }
        QVERIFY(park.isRunning());
    }

    void silenceAndBack()
    {
        ParkProbe probe(oldServer);
        QCOMPARE(probe.control("sim_silence 1"), QByteArray("sim_silence 1\n"));
        probe.send(withNul("details"));
        probe.send(withNul("challenge rcon"));
        QCOMPARE(probe.rcon("pw", "status"), QByteArray()); // nothing came before the marker's answer
        QCOMPARE(probe.control("sim_silence 0"), QByteArray("sim_silence 0\n"));
        probe.send(withNul("details"));
        QVERIFY(probe.receive().value_or(QByteArray()).startsWith(kPrefix + 'm'));
    }

    void managerInfoListsHubsInPairs()
    {
        const auto info = keyValueReply(ParkProbe(cupHubs).ask("getManagerInfo"));
        QVERIFY(info);
        QCOMPARE(info->head.trimmed(), QByteArray("managerInfoResponse"));
        QCOMPARE(info->keys, (QList<QByteArray>{"hostname", "clients", "sv_maxclients", "numHubs", "hubs"}));
        QCOMPARE(info->values["hostname"], QByteArray("Cup GTV"));
        QCOMPARE(info->values["clients"], QByteArray("7"));
        QCOMPARE(info->values["sv_maxclients"], QByteArray("40"));
        QCOMPARE(info->values["numHubs"], QByteArray("3"));
        // each hub's number, then the players it shows, all one blank apart
        QCOMPARE(info->values["hubs"], QByteArray("2 4 3 0 7 2"));

        // the query word alone, with its 00 byte or without
        ParkProbe probe(cupHubs);
        probe.send("getManagerInfo");
        QVERIFY(probe.receive().value_or(QByteArray()).startsWith(kPrefix + "managerInfoResponse"));
    }

    void emptyManagerHasNoHubs()
    {
        ParkProbe probe(emptyHubs, SimulatedPark::Kind::Hub);
        const auto info = keyValueReply(probe.ask("getManagerInfo"));
        QVERIFY(info);
        QCOMPARE(info->values["hostname"], QByteArray("Empty GTV"));
        QCOMPARE(info->values["numHubs"], QByteArray("0"));
        QVERIFY(info->keys.contains("hubs"));
        QCOMPARE(info->values["hubs"], QByteArray());
        QCOMPARE(probe.rcon("pw", "gtv_follow"), QByteArray("No hubs\n"));
        QVERIFY(!probe.ask("gethubinfo 1", 300)); // no such hub: no answer
    }

    void hubInfoNamesParentPlayersAndFollowedSlot()
    {
        const auto finalHub = hubInfo(cupHubs, 2);
        QVERIFY(finalHub);
        QCOMPARE(finalHub->head.trimmed(), QByteArray("hubInfoResponse"));
        QCOMPARE(finalHub->keys.mid(0, 4), (QList<QByteArray>{"hubNum", "desc", "parent", "following"}));
        QCOMPARE(finalHub->values["hubNum"], QByteArray("2"));
        QCOMPARE(finalHub->values["desc"], QByteArray("Final / stage")); // a backslash would start a key
        QCOMPARE(finalHub->values["parent"], address(currentServer));
        QCOMPARE(finalHub->values["following"], QByteArray("3"));
        QCOMPARE(finalHub->keys.mid(4),
                 (QList<QByteArray>{"p0t", "p0n", "p1t", "p1n", "p2t", "p2n", "p3t", "p3n"}));
        QSet<QByteArray> plainNames;
        bool codeInside = false;
        for (int slot = 0; slot < 4; ++slot) {
            const QByteArray key = "p" + QByteArray::number(slot);
            QVERIFY(finalHub->values[key + 't'] == "1" || finalHub->values[key + 't'] == "2");
            const QByteArray name = finalHub->values[key + 'n'];
            const QByteArray plain = withoutColourCodes(name);
            QVERIFY(!plain.isEmpty());
            QVERIFY2(QString::fromUtf8(plain).toUtf8() == plain, name.constData()); // whole UTF-8 sequences
            plainNames.insert(plain);
            codeInside = codeInside || withoutColourCodes(name.mid(1)) != name.mid(1);
        }
        QCOMPARE(plainNames.size(), 4);
        QVERIFY(codeInside); // a colour code after the first letter, as in "^1Zo^2rro"

        // nobody followed: no "following" key; no players: no player keys
        const auto warmUp = hubInfo(cupHubs, 3);
        QVERIFY(warmUp);
        QCOMPARE(warmUp->keys, (QList<QByteArray>{"hubNum", "desc", "parent"}));
        QCOMPARE(warmUp->values["desc"], QByteArray("Warm-up"));
        QVERIFY(park.serverPorts().contains(warmUp->values["parent"].mid(10).toUShort()));
        QVERIFY(warmUp->values["parent"].startsWith("127.0.0.1:"));

        const auto outside = hubInfo(cupHubs, 7);
        QVERIFY(outside);
        QCOMPARE(outside->values["parent"], QByteArray("127.0.0.1:27999"));
        QVERIFY(outside->values["following"] == "0" || outside->values["following"] == "1");

        QVERIFY(!ParkProbe(cupHubs).ask("gethubinfo 1", 300));
    }

    void everyNameIsWholeUtf8AndDistinct()
    {
        ParkProbe probe(cupHubs, SimulatedPark::Kind::Hub);
        QCOMPARE(probe.control("sim_players 32 2"), QByteArray("sim_players 32 2\n"));
        const auto full = hubInfo(cupHubs, 2);
        QCOMPARE(probe.control("sim_players 4 2"), QByteArray("sim_players 4 2\n"));
        QVERIFY(full);
        QSet<QByteArray> plainNames;
        for (int slot = 0; slot < 32; ++slot) {
            const QByteArray name = full->values.value("p" + QByteArray::number(slot) + 'n');
            // as sent, colour codes included: no code cuts a character in two
            QVERIFY2(!name.isEmpty() && QString::fromUtf8(name).toUtf8() == name, name.constData());
            plainNames.insert(withoutColourCodes(name));
        }
        QCOMPARE(plainNames.size(), 32);
        QCOMPARE(hubInfo(cupHubs, 2).value_or(KeyValueReply{}).keys.size(), 4 + 2 * 4);
    }

    void followChangesTheFollowedSlot()
    {
        ParkProbe probe(cupHubs, SimulatedPark::Kind::Hub);
        QVERIFY(probe.control("sim_history clear"));
        const QByteArray state = probe.rcon("pw", "gtv_follow").value_or("");
        QVERIFY2(
            state.startsWith("Following player 3 on hub 2\nFollowing nobody on hub 3\nFollowing player "),
            state.constData());

        const auto replies = probe.rconReplies("pw", "gtv_follow 1 2");
        QCOMPARE(replies, (QList<QByteArray>{kPrefix + "print\nFollowing player 1 on hub 2\n" + '\0'}));
        QCOMPARE(hubInfo(cupHubs, 2).value_or(KeyValueReply{}).values["following"], QByteArray("1"));

        QCOMPARE(probe.rcon("pw", "gtv_follow 5 2"), QByteArray("No player in slot 5 on hub 2\n"));
        QCOMPARE(probe.rcon("pw", "gtv_follow 0 9"), QByteArray("No hub 9\n"));
        QCOMPARE(probe.rcon("pw", "gtv_follow 1"), QByteArray("Usage: gtv_follow [SLOT HUB]\n"));
        QCOMPARE(hubInfo(cupHubs, 2).value_or(KeyValueReply{}).values["following"], QByteArray("1"));
        QCOMPARE(probe.rcon("pw", "gtv_follow 3 2"), QByteArray("Following player 3 on hub 2\n"));
        QCOMPARE(probe.control("sim_history").value_or(""),
                 QByteArray("gtv_follow\ngtv_follow 1 2\ngtv_follow 5 2\ngtv_follow 0 9\ngtv_follow 1\n"
                            "gtv_follow 3 2\n-- 6 commands\n"));
    }

    void connectOpensAHubRelayingTheAddress()
    {
        ParkProbe probe(cupHubs, SimulatedPark::Kind::Hub);
        const QByteArray target = address(oldServer);
        QCOMPARE(probe.rcon("pw", "gtv_connect " + target), "Connecting to " + target + " on hub 8\n");
        const auto info = keyValueReply(probe.ask("getManagerInfo"));
        QVERIFY(info);
        QCOMPARE(info->values["numHubs"], QByteArray("4"));
        QCOMPARE(info->values["hubs"], QByteArray("2 4 3 0 7 2 8 4"));
        const auto opened = hubInfo(cupHubs, 8);
        QVERIFY(opened);
        QCOMPARE(opened->values["parent"], target);
        QVERIFY(!opened->keys.contains("following"));
        QVERIFY(opened->keys.contains("p3n") && !opened->keys.contains("p4n"));

        QCOMPARE(probe.rcon("pw", "gtv_connect localhost:" + QByteArray::number(oldServer)),
                 "Already relaying " + target + " on hub 8\n");
        QCOMPARE(probe.rcon("pw", "gtv_connect"), QByteArray("Usage: gtv_connect <IP:port>\n"));
        QCOMPARE(probe.control("sim_hubs 3"), QByteArray("sim_hubs 3\n"));
        QCOMPARE(keyValueReply(probe.ask("getManagerInfo")).value_or(KeyValueReply{}).values["hubs"],
                 QByteArray("2 4 3 0 7 2"));
    }

    void hubRefusalsAndSilence()
    {
        ParkProbe probe(cupHubs, SimulatedPark::Kind::Hub);
        QCOMPARE(probe.rcon("wrong", "gtv_follow"), QByteArray("Bad rcon_password.\n"));
        // the game servers' form, with a challenge, is not the manager's
        ParkProbe plain(cupHubs);
        plain.send(withNul("rcon 1234567890 \"pw\" gtv_follow"));
        QCOMPARE(plain.receive(), kPrefix + "print\nBad rcon_password.\n" + '\0');
        QCOMPARE(ParkProbe(emptyHubs, SimulatedPark::Kind::Hub).rcon("wrong", "gtv_follow"), QByteArray());
        QCOMPARE(probe.rcon("pw", "status"), QByteArray("Unknown command: status\n"));

        QCOMPARE(probe.control("sim_silence 1"), QByteArray("sim_silence 1\n"));
        QVERIFY(!probe.ask("getManagerInfo", 300));
        QCOMPARE(probe.rcon("pw", "gtv_follow"), QByteArray());
        QCOMPARE(probe.control("sim_silence 0"), QByteArray("sim_silence 0\n"));
        QVERIFY(probe.ask("getManagerInfo").value_or(QByteArray()).startsWith("managerInfoResponse"));
    }

    void commandLineHubsRelayTheParkServers()
    {
        SimulatedPark small;
        QVERIFY2(small.start({QStringLiteral("--servers"), QStringLiteral("2"), QStringLiteral("--proxies"),
                              QStringLiteral("1"), QStringLiteral("--hubs"), QStringLiteral("2"),
                              QStringLiteral("--port"), QStringLiteral("0"), QStringLiteral("--still")}),
                 qPrintable(small.errorString()));
        QCOMPARE(small.machines().size(), 5);
        QCOMPARE(small.machines()[2].kind, SimulatedPark::Kind::Proxy);
        QCOMPARE(small.hubPorts().size(), 2);
        bool coloured = false;
        for (const quint16 port : small.hubPorts()) {
            const auto info = keyValueReply(ParkProbe(port).ask("getManagerInfo"));
            QVERIFY(info);
            QVERIFY(info->values["hostname"].startsWith("Quorvane Sim GTV "));
            const int hubs = info->values["numHubs"].toInt();
            QVERIFY(hubs >= 1 && hubs <= 4);
            const QList<QByteArray> numbers = info->values["hubs"].split(' ');
            QCOMPARE(numbers.size(), 2 * hubs);
            for (int i = 0; i < hubs; ++i) {
                const auto hub = hubInfo(port, numbers[2 * i].toInt());
                QVERIFY(hub);
                const QByteArray parent = hub->values["parent"];
                QVERIFY2(parent == address(small.serverPorts()[0]) ||
                             parent == address(small.serverPorts()[1]),
                         parent.constData());
                for (const QByteArray& key : hub->keys) {
                    if (key.endsWith('n') && key.startsWith('p'))
                        coloured = coloured || withoutColourCodes(hub->values[key]) != hub->values[key];
                }
            }
        }
        QVERIFY(coloured);
    }

    void exampleConfigurationConnectsItsProxies()
    {
        const QString example = QFINDTESTDATA("../../tools/sim/example-park.json");
        QVERIFY(!example.isEmpty());
        SimulatedPark examplePark;
        QVERIFY2(examplePark.start({QStringLiteral("--config"), example, QStringLiteral("--port"),
                                    QStringLiteral("0"), QStringLiteral("--rcon"), QStringLiteral("pw")}),
                 qPrintable(examplePark.errorString()));
        QCOMPARE(examplePark.serverPorts().size(), 3);
        QCOMPARE(examplePark.proxyPorts().size(), 3);
        const quint16 cupServer = examplePark.serverPorts()[0];
        const quint16 cupTv = examplePark.proxyPorts()[0];
        QVERIFY(
            hasLineStartingWith(proxyStatus(cupTv), "HLTV proxy connected to " + address(cupServer) + ','));
        QVERIFY(proxyStatus(examplePark.proxyPorts()[1])
                    .contains("\nConnected to HLTV Proxy " + address(cupTv) + '\n'));
        QCOMPARE(examplePark.hubPorts().size(), 1);
        QCOMPARE(hubInfo(examplePark.hubPorts()[0], 1).value_or(KeyValueReply{}).values["parent"],
                 address(cupServer));
    }

    void configurationMistakeIsReported_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("reason");
        QTest::addRow("typo") << QByteArray(R"({"servers": [{"max_player": 10}]})")
                              << QStringLiteral("max_player");
        QTest::addRow("typo inside a match")
            << QByteArray(R"({"servers": [{"match": {"state": 1, "team": "A"}}]})") << QStringLiteral("team");
        QTest::addRow("server key on a hub manager")
            << QByteArray(R"({"hubs": [{"map": "de_dust2"}]})") << QStringLiteral("map");
        QTest::addRow("hub number twice")
            << QByteArray(R"({"hubs": [{"hubs": [{}, {"num": 1}]}]})") << QStringLiteral("used twice");
        QTest::addRow("followed slot out of range")
            << QByteArray(R"({"hubs": [{"hubs": [{"following": 32}]}]})") << QStringLiteral("following");
        QTest::addRow("parent not in the park")
            << QByteArray(R"({"servers": [{}], "hubs": [{"hubs": [{"parent": "server:1"}]}]})")
            << QStringLiteral("server:1");
    }

    void configurationMistakeIsReported()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, reason);
        QFile config(dir.filePath(QStringLiteral("mistake.json")));
        QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
        config.write(json);
        config.close();
        SimulatedPark broken;
        QVERIFY(!broken.start(
            {QStringLiteral("--config"), config.fileName(), QStringLiteral("--port"), QStringLiteral("0")}));
        QVERIFY2(broken.errorString().contains(reason), qPrintable(broken.errorString()));
    }

    void restartKeepsPortsAndChallenges()
    {
        SimulatedPark small;
        QVERIFY2(small.start({QStringLiteral("--servers"), QStringLiteral("1"), QStringLiteral("--proxies"),
                              QStringLiteral("1"), QStringLiteral("--port"), QStringLiteral("0"),
                              QStringLiteral("--proxy-style"), QStringLiteral("current")}),
                 qPrintable(small.errorString()));
        const quint16 server = small.serverPorts().value(0);
        const auto challenge = ParkProbe(server).rconChallenge();
        QVERIFY(challenge);

        small.kill();
        QVERIFY(!small.isRunning());
        ParkProbe probe(server);
        probe.send(withNul("details"));
        QVERIFY(!probe.receive(500));

        QVERIFY2(small.restart(), qPrintable(small.errorString()));
        QCOMPARE(small.serverPorts().value(0), server);
        probe.send(withNul("details"));
        QVERIFY(probe.receive().value_or(QByteArray()).startsWith(kPrefix + 'm'));
        QCOMPARE(ParkProbe(server).rconChallenge(), challenge);
        // no rcon password was given: every rcon command is refused
        QCOMPARE(ParkProbe(small.proxyPorts().value(0)).rcon("", "status"), QByteArray());
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
