// The simulated park as only a raw client sees it; what the console's objects
// prove against it end to end is left to tests/integration.
#include "support/SimulatedPark.h"

#include <QMap>
#include <QNetworkDatagram>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

namespace {

using Kind = SimulatedPark::Kind;

const QByteArray kPrefix("\xFF\xFF\xFF\xFF", 4);

const auto withNul = [](const char* text) { return QByteArray(text) + '\0'; };

} // namespace

class TestSim : public QObject
{
    Q_OBJECT

    QTemporaryDir dir;
    SimulatedPark park; // listed as in its file: two servers, a proxy, two hub managers
    quint16 oldServer = 0;

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QFile config(dir.filePath(QStringLiteral("park.json")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write(R"({"seed": 7,
            "servers": [{"players": 5, "max_players": 32, "moves": false},
                        {"modern_only": true, "challenge": true, "moves": false}],
            "proxies": [{"style": "current", "framing": "backtick", "moves": false}],
            "hubs": [{"moves": false, "hubs": [{"num": 2, "desc": "Final \\ stage", "parent": "server:1"}]},
                     {"hubs": [], "bad_password": "silent", "moves": false}]})");
        config.close();
        QVERIFY2(park.start({QStringLiteral("--config"), config.fileName(), QStringLiteral("--port"),
                             QStringLiteral("0"), QStringLiteral("--rcon"), QStringLiteral("pw")}),
                 qPrintable(park.errorString()));
        oldServer = park.serverPorts().value(0);
    }

    // A datagram from a stray socket: its answer or none; the machine answers on.
    void strayDatagrams_data()
    {
        QTest::addColumn<int>("machine"); // in listing order; -1: every machine, -2: all but hub managers
        QTest::addColumn<QByteArray>("datagram"); // CHALLENGE: the machine's rcon challenge
        QTest::addColumn<QByteArray>("answer");   // how it ends; empty: none
        const auto row = [](const char* name, int machine, const QByteArray& datagram,
                            const QByteArray& answer = {}) {
            QTest::addRow("%s", name) << machine << datagram << answer;
        };
        row("empty", -1, QByteArray());
        row("oversized", -1, kPrefix + QByteArray(3000, 'x'));
        // refused, never run, by game servers and proxies
        row("rcon without challenge", -2, kPrefix + "rcon \"pw\" status", withNul("Bad rcon_password.\n"));
        row("current proxy: wrong password", 2, kPrefix + withNul("rcon CHALLENGE \"wrong\" status"));
        row("silent manager: wrong password", 4, kPrefix + withNul("rcon \"wrong\" gtv_follow"));
        row("server: wrong challenge, never asked", 0, kPrefix + withNul("rcon 1 \"pw\" status"),
            kPrefix + withNul("9No challenge for your address.\n"));
        row("manager: the servers' rcon form", 3, kPrefix + withNul("rcon 1234567890 \"pw\" status"),
            kPrefix + withNul("print\nBad rcon_password.\n"));
    }

    void strayDatagrams()
    {
        QFETCH(int, machine);
        QFETCH(QByteArray, datagram);
        QFETCH(QByteArray, answer);
        for (qsizetype i = 0; i < park.machines().size(); ++i) {
            const auto [kind, port] = park.machines()[i];
            if ((machine >= 0 && machine != i) || (machine == -2 && kind == Kind::Hub))
                continue;
            ParkProbe probe(port, kind);
            if (kind != Kind::Hub)
                datagram.replace("CHALLENGE", probe.rconChallenge().value_or("0"));
            QUdpSocket stray;
            QCOMPARE(stray.writeDatagram(datagram, QHostAddress::LocalHost, port), datagram.size());
            // a machine answers in order: any answer to the stray datagram came before the marker's
            QCOMPARE(probe.control("sim_echo alive"), QByteArray("alive\n"));
            const auto reply =
                stray.hasPendingDatagrams() ? std::optional(stray.receiveDatagram().data()) : std::nullopt;
            if (answer.isEmpty())
                QVERIFY2(!reply, reply.value_or("").toHex(' ').constData());
            else if (reply || machine >= 0) // to every machine: an answer, if any, is the refusal
                QVERIFY2(reply && reply->endsWith(answer), reply.value_or("(none)").constData());
        }
        QVERIFY(park.isRunning());
    }

    void configurationMistakeEndsWithCode2_data()
    {
        QTest::addColumn<QByteArray>("json");
        QTest::addColumn<QString>("reason");
        const auto row = [](const char* name, const char* json, const char* reason) {
            QTest::addRow("%s", name) << QByteArray(json) << QString::fromUtf8(reason);
        };
        row("not JSON", R"({"servers": [)", "offset");
        row("typo", R"({"servers": [{"max_player": 10}]})", "max_player");
        row("hub number twice", R"({"hubs": [{"hubs": [{}, {"num": 1}]}]})", "used twice");
        row("no such parent", R"({"hubs": [{"hubs": [{"parent": "server:0"}]}]})", "server:0");
    }

    void configurationMistakeEndsWithCode2()
    {
        QFETCH(QByteArray, json);
        QFETCH(QString, reason);
        QFile config(dir.filePath(QStringLiteral("mistake.json")));
        QVERIFY(config.open(QIODevice::WriteOnly | QIODevice::Truncate));
        config.write(json);
        config.close();
        QProcess sim;
        sim.start(SimulatedPark::binaryPath(), {QStringLiteral("--config"), config.fileName(),
                                                QStringLiteral("--port"), QStringLiteral("0")});
        QVERIFY(sim.waitForFinished(10000));
        const QString error = QString::fromLocal8Bit(sim.readAllStandardError());
        QVERIFY2(error.contains(reason), qPrintable(error));
        QCOMPARE(sim.exitCode(), 2);
    }

    // Long rules replies come in parts; maps and sv_restart are known commands.
    void rulesInPartsMapsAndRestart()
    {
        SimulatedPark large;
        QVERIFY2(large.startWithConfig(R"({"servers": [{"rcon": "pw", "extra_rules": 200, "extra_maps": 3,
                                           "moves": false}]})"),
                 qPrintable(large.errorString()));
        ParkProbe probe(large.serverPorts().value(0));
        probe.send("rules" + QByteArray(1, '\0'));
        QMap<int, QByteArray> parts;
        int total = 0;
        while (const auto part = probe.receive(2000)) {
            QVERIFY(part->startsWith(QByteArray("\xFE\xFF\xFF\xFF", 4)));
            QVERIFY(part->size() <= 1400);
            const auto info = static_cast<quint8>(part->at(8));
            total = info & 0x0F;
            parts[info >> 4] = part->mid(9);
            if (parts.size() == total)
                break;
        }
        QVERIFY(total > 1);
        QCOMPARE(parts.size(), total);
        QByteArray whole;
        for (const QByteArray& part : parts)
            whole += part;
        QVERIFY(whole.startsWith(kPrefix + 'E'));
        const int count = static_cast<quint8>(whole[5]) | static_cast<quint8>(whole[6]) << 8;
        QCOMPARE(count, 8 + 200);
        QCOMPARE(whole.mid(7).count('\0'), 2 * count);

        const QByteArray maps = probe.rcon("pw", "maps *").value_or(QByteArray());
        QVERIFY(maps.startsWith("-------------\nde_dust2.bsp\n"));
        QVERIFY(maps.endsWith("sim_map_3.bsp\n"));
        QCOMPARE(probe.rcon("pw", "maps nuke"), std::optional<QByteArray>("-------------\nde_nuke.bsp\n"));
        QCOMPARE(probe.rcon("pw", "sv_restart 1"), std::optional<QByteArray>(QByteArray()));
        QCOMPARE(probe.rcon("pw", "mp_freezetime 6"), std::optional<QByteArray>(QByteArray()));
        QCOMPARE(probe.rcon("pw", "mp_freezetime"),
                 std::optional<QByteArray>("\"mp_freezetime\" is \"6\"\n"));
    }

    void banListsAsTheEnginePrintsThem()
    {
        SimulatedPark one;
        QVERIFY2(one.startWithConfig(R"({"servers": [{"rcon": "pw", "players": 0, "moves": false}]})"),
                 qPrintable(one.errorString()));
        ParkProbe probe(one.serverPorts().value(0));
        const auto rcon = [&](const QByteArray& command) {
            return probe.rcon("pw", command).value_or("none");
        };
        QCOMPARE(rcon("listid"), QByteArray("UserID filter list: empty\n"));
        QCOMPARE(rcon("listip"), QByteArray("IP filter list: empty\n"));
        QCOMPARE(rcon("banid 0 STEAM_0:1:1 kick"), QByteArray());
        QCOMPARE(rcon("banid 30 STEAM_0:0:2"), QByteArray());
        QVERIFY(rcon("banid x STEAM_0:0:3").startsWith("Usage:  banid <minutes>"));
        QCOMPARE(rcon("addip 0 127.0.0.1"), QByteArray());
        QVERIFY(rcon("addip 0 127.2.3.999").startsWith("Bad filter address"));
        const QByteArray ids = rcon("listid");
        QVERIFY2(ids.startsWith("UserID filter list: 2 entries\n1 STEAM_0:1:1 : permanent\n2 STEAM_0:0:2 : "),
                 ids.constData());
        QVERIFY(ids.endsWith(" min\n"));
        QCOMPARE(rcon("listip"), QByteArray("IP filter list:\n127.  0.  0.  1 : permanent\n"));
        QCOMPARE(rcon("writeid"), QByteArray("Writing banned.cfg.\n"));
        QCOMPARE(rcon("removeid STEAM_0:1:1"), QByteArray("UserID filter removed for STEAM_0:1:1\n"));
        QCOMPARE(rcon("removeid STEAM_0:1:1"), QByteArray("removeid:  couldn't find STEAM_0:1:1\n"));
        QCOMPARE(rcon("removeip 127.0.0.1"), QByteArray("IP filter removed.\n"));
        // A restart forgets what was not exec'd again.
        QVERIFY(probe.control("sim_restart"));
        QTest::qWait(400);
        ParkProbe after(one.serverPorts().value(0));
        QCOMPARE(after.rcon("pw", "listid").value_or("none"), QByteArray("UserID filter list: empty\n"));
    }
};

QTEST_GUILESS_MAIN(TestSim)
#include "tst_sim.moc"
