// The park's bans without sockets: the servers' listid / listip answers read
// from hostile text, the ban commands refusing values that could end an
// argument, scopes, and refused rcon lines counted into attacks on the
// injected clock.
#include "feeds/LiveFeeds.h"
#include "feeds/LogLine.h"
#include "layout/CQuorvaneDoc.h"
#include "metrics/MetricsText.h"
#include "objects/BanLists.h"
#include "park/BanCommands.h"
#include "park/ParkBans.h"
#include "park/RconAttacks.h"
#include "support/TestBytes.h"
#include "support/TestContext.h"

#include <QSignalSpy>
#include <QTest>

class TestParkBans : public QObject
{
    Q_OBJECT

    TestContext env;

private slots:
    void listingsAreRead_data()
    {
        QTest::addColumn<QByteArray>("text");
        QTest::addColumn<QStringList>("ids");
        QTest::addColumn<QStringList>("ips");
        QTest::addColumn<bool>("idsComplete");
        QTest::addColumn<int>("refused");
        const auto row = [](const char* name, const QByteArray& text, const QStringList& ids,
                            const QStringList& ips, bool complete, int refused) {
            QTest::addRow("%s", name) << text << ids << ips << complete << refused;
        };
        row("both empty", "UserID filter list: empty\nIP filter list: empty\n", {}, {}, true, 0);
        row("the engine's words",
            "UserID filter list: 2 entries\n1 STEAM_0:1:1234 : permanent\n2 STEAM_0:0:77 : 30.000 min\n"
            "IP filter list:\n127.  0.  0.  1 : permanent\n127.  1.  2.  3 : 2.500 min\n",
            {"STEAM_0:0:77", "STEAM_0:1:1234"}, {"127.0.0.1", "127.1.2.3"}, true, 0);
        row("short header", "ID filter list: 1 entries\n1 VALVE_0:1:5 : permanent\n", {"VALVE_0:1:5"}, {},
            true, 0);
        row("a poll's answer in between",
            "UserID filter list: 2 entries\n1 STEAM_0:1:1 : permanent\nhostname:  Cup\n"
            "2 STEAM_0:1:2 : permanent\n",
            {"STEAM_0:1:1", "STEAM_0:1:2"}, {}, true, 0);
        row("fewer entries than named", "UserID filter list: 3 entries\n1 STEAM_0:1:1 : permanent\n",
            {"STEAM_0:1:1"}, {}, false, 0);
        row("markup and quotes are no ids",
            "UserID filter list: 3 entries\n1 <b>STEAM_0:1:1</b> : permanent\n2 STEAM_0:1:2\";quit : "
            "permanent\n3 STEAM_ID_LAN : permanent\n",
            {}, {}, true, 3);
        row("ids of another shape",
            "UserID filter list: 3 entries\n1 STEAM_0:1 : permanent\n2 STEAM_0:1:2:3 : permanent\n"
            "3 STEAM_:1:2 : permanent\n",
            {}, {}, true, 3);
        row("control characters",
            "UserID filter list: 2 entries\n1 STEAM_0:1:\x01" "1 : permanent\n2 STEAM_0:1:" +
                QByteArray(1, '\0') + "2 : permanent\n",
            {}, {}, true, 2);
        row("broken lines are no entries",
            "UserID filter list: 1 entries\n1 STEAM_0:1:1 :\nSTEAM_0:1:2 : permanent\n"
            "1 STEAM_0:1:3 : forever\n",
            {}, {}, false, 0);
        row("addresses out of range",
            "IP filter list:\n256.  0.  0.  1 : permanent\n1.2.3 : permanent\n-1.  2.  3.  4 : permanent\n"
            "127.2.3.4.5 : permanent\n127.  2.  3.  4 : 1.000 min\n",
            {}, {"127.2.3.4"}, false, 4);
        row("an older answer is replaced",
            "UserID filter list: 1 entries\n1 STEAM_0:1:9 : permanent\nUserID filter list: empty\n", {}, {},
            true, 0);
        row("an overlong line", "IP filter list:\n" + QByteArray(300, ' ') + "127.2.3.4 : permanent\n", {}, {},
            false, 1);
    }

    void listingsAreRead()
    {
        QFETCH(QByteArray, text);
        QFETCH(QStringList, ids);
        QFETCH(QStringList, ips);
        QFETCH(bool, idsComplete);
        QFETCH(int, refused);
        const BanListReader reader =
            banlists::read(std::string_view(text.constData(), std::size_t(text.size())));
        QStringList readIds, readIps;
        for (const std::string& id : reader.ids())
            readIds << QString::fromStdString(id);
        for (const std::string& ip : reader.ips())
            readIps << QString::fromStdString(ip);
        QCOMPARE(readIds, ids);
        QCOMPARE(readIps, ips);
        QCOMPARE(reader.idsComplete(), idsComplete);
        QCOMPARE(int(reader.refused()), refused);
    }

    void largeListingsAreBounded()
    {
        QByteArray text = "UserID filter list: 10000 entries\n";
        for (int i = 1; i <= 10000; ++i)
            text += QByteArray::number(i) + " STEAM_0:1:" + QByteArray::number(i) + " : permanent\n";
        text += "IP filter list:\n";
        for (int i = 0; i < 20000; ++i)
            text += "127." + QByteArray::number(i / 65536) + '.' + QByteArray::number(i / 256 % 256) + '.' +
                    QByteArray::number(i % 256) + " : permanent\n";
        const BanListReader reader =
            banlists::read(std::string_view(text.constData(), std::size_t(text.size())));
        QVERIFY(reader.idsComplete());
        QCOMPARE(reader.ids().size(), std::size_t(10000));
        QCOMPARE(reader.ips().size(), BanListReader::kMaxEntries);
        QVERIFY(reader.truncated());
        QVERIFY(!reader.ids().count("STEAM_0:1:0"));
        QVERIFY(reader.ids().count("STEAM_0:1:10000"));
    }

    void commandsTakeOnlySafeValues()
    {
        QCOMPARE(*bancmd::banId(0, "STEAM_0:1:1234", true), std::string("banid 0 STEAM_0:1:1234 kick"));
        QCOMPARE(*bancmd::banId(30, "STEAM_0:1:1234", false), std::string("banid 30 STEAM_0:1:1234"));
        QCOMPARE(*bancmd::addIp(5, "127.0.0.7"), std::string("addip 5 127.0.0.7"));
        QCOMPARE(*bancmd::removeIp("127.0.0.7"), std::string("removeip 127.0.0.7"));
        QCOMPARE(*bancmd::removeId("STEAM_0:0:1"), std::string("removeid STEAM_0:0:1"));
        QVERIFY(!bancmd::banId(-1, "STEAM_0:1:1", false));
        QVERIFY(!bancmd::addIp(bancmd::kMaxMinutes + 1, "127.0.0.7"));
        QVERIFY(!bancmd::addIp(0, "0.0.0.0"));
        QVERIFY(!bancmd::addIp(0, "127.0.0.07")); // not as an address is written
        // Values that could end an argument, ids shared by many players, a padded address.
        for (const QByteArray& value :
             {QByteArray("STEAM_0:1:1\""), QByteArray("STEAM_0:1:1;quit"), QByteArray("STEAM_0:1:1\rquit"),
              QByteArray("STEAM_0:1:1\nquit"), QByteArray("STEAM_0:1:1\0quit", 16),
              QByteArray("127.2.3.4;quit"), QByteArray("127.2.3.4\nquit"), QByteArray("127.2.3.4\0", 10),
              QByteArray("127.2.3.4\""), QByteArray("STEAM_ID_LAN"), QByteArray("STEAM_ID_PENDING"),
              QByteArray("VALVE_ID_LAN"), QByteArray("BOT"), QByteArray(" 127.2.3.4")}) {
            const std::string text(value.constData(), std::size_t(value.size()));
            QVERIFY2(!bancmd::banId(0, text, true) && !bancmd::removeId(text) && !bancmd::addIp(0, text) &&
                         !bancmd::removeIp(text),
                     value.toPercentEncoding().constData());
        }
    }

    void scopesRoundTripAndMatch()
    {
        for (const BanScope& scope :
             {BanScope{BanScope::Kind::Park, {}}, BanScope{BanScope::Kind::Zone, "LAN Local"},
              BanScope{BanScope::Kind::Group, "LAN Local/Servers"},
              BanScope{BanScope::Kind::Server, "127.0.0.1:27015"}}) {
            const auto back = BanScope::parse(scope.text());
            QVERIFY(back);
            QCOMPARE(int(back->kind), int(scope.kind));
            QCOMPARE(back->label, scope.label);
        }
        QVERIFY(!BanScope::parse("zone "));
        QVERIFY(!BanScope::parse("planet x"));
        const ParkBans::Member member{nullptr, "127.0.0.1:27015", "LAN/Servers", "LAN"};
        QVERIFY(ParkBans::InScope({BanScope::Kind::Zone, "LAN"}, member));
        QVERIFY(!ParkBans::InScope({BanScope::Kind::Zone, "Internet"}, member));
        QVERIFY(ParkBans::InScope({BanScope::Kind::Group, "LAN/Servers"}, member));
        QVERIFY(!ParkBans::InScope({BanScope::Kind::Group, "LAN/HLTV"}, member));
        QVERIFY(!ParkBans::InScope({BanScope::Kind::Server, "127.0.0.1:27016"}, member));
        const ParkBans::Member loose{nullptr, "127.0.0.1:27016", "", ""};
        QVERIFY(!ParkBans::InScope({BanScope::Kind::Zone, ""}, loose));
        QVERIFY(ParkBans::InScope({BanScope::Kind::Park, ""}, loose));
    }

    void refusedRconLinesAreRead_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("source");
        const auto row = [](const char* name, const char* body, const char* source = "") {
            QTest::addRow("%s", name) << QByteArray(body) << QString::fromLatin1(source);
        };
        row("the engine's words", "Bad Rcon: \"rcon 1234 \"wrong\" status\" from \"127.0.2.1:27005\"",
            "127.0.2.1:27005");
        row("a command that forges a source",
            "Bad Rcon: \"rcon 1 \"x\" say from \"127.0.0.1:1\"\" from \"127.0.2.9:40000\"", "127.0.2.9:40000");
        row("accepted rcon", "Rcon: \"rcon 1 \"ok\" status\" from \"127.0.2.1:27005\"");
        row("no port", "Bad Rcon: \"rcon 1 \"x\" s\" from \"127.0.2.1\"");
        row("port out of range", "Bad Rcon: \"rcon 1 \"x\" s\" from \"127.0.2.1:70000\"");
        row("address out of range", "Bad Rcon: \"rcon 1 \"x\" s\" from \"127.0.2.256:27005\"");
        row("markup address", "Bad Rcon: \"rcon 1 \"x\" s\" from \"<b>:27005\"");
        row("cut", "Bad Rcon: \"rcon 1 \"x\" s\" from \"127.0.2.1:27005");
    }

    void refusedRconLinesAreRead()
    {
        QFETCH(QByteArray, body);
        QFETCH(QString, source);
        const QByteArray line = "L 10/05/2024 - 14:22:01: " + body;
        const auto refused = parseRefusedRcon(std::string_view(line.constData(), std::size_t(line.size())));
        QCOMPARE(refused ? QString::fromStdString(refused->address) + ':' + QString::number(refused->port)
                         : QString(),
                 source);
        // Never an event of its own.
        QVERIFY(!parseLogLine(std::string_view(line.constData(), std::size_t(line.size()))));
    }

    void attacksAreCountedOnTheClock()
    {
        RconAttacks attacks;
        const std::string server = "127.0.0.1:27015";
        std::int64_t now = 1000;
        for (int i = 0; i < RconAttacks::kThreshold; ++i)
            QVERIFY(!attacks.Record(server, "127.0.2.1", now += 5));
        // Another address and another server count on their own.
        QVERIFY(!attacks.Record(server, "127.0.2.2", now));
        QVERIFY(!attacks.Record("127.0.0.1:27016", "127.0.2.1", now));
        QVERIFY(attacks.Record(server, "127.0.2.1", now += 5));
        QCOMPARE(attacks.alerts().size(), std::size_t(1));
        QCOMPARE(attacks.alerts().back().source, std::string("127.0.2.1"));
        QCOMPARE(attacks.alerts().back().count, RconAttacks::kThreshold + 1);
        // Once per spell.
        for (int i = 0; i < 20; ++i)
            QVERIFY(!attacks.Record(server, "127.0.2.1", now += 2));
        QCOMPARE(attacks.Refused(server), std::uint64_t(RconAttacks::kThreshold + 2 + 20));
        // A quiet minute ends it; then six within a minute again.
        now += RconAttacks::kWindowSeconds;
        for (int i = 0; i < RconAttacks::kThreshold; ++i)
            QVERIFY(!attacks.Record(server, "127.0.2.1", now += 1));
        QVERIFY(attacks.Record(server, "127.0.2.1", now += 1));
        QCOMPARE(attacks.AlertsAfter(1).size(), std::size_t(1));
        // Spread out over more than a minute, six are no attack.
        for (int i = 0; i < 12; ++i)
            QVERIFY(!attacks.Record(server, "127.0.2.3", now += 15));
    }

    void refusedLinesFromTheLogReachTheDocument()
    {
        CQuorvaneDoc doc(env.context());
        doc.OnNewDocument();
        doc.AddServer("127.0.0.1", 27015, "", doc.m_groups[0].get());
        QSignalSpy alerts(&doc, &CQuorvaneDoc::rconAttack);
        const std::string name = "127.0.0.1:27015";
        doc.m_feeds.setSources(
            {{LiveFeeds::sourceKey(QHostAddress(QHostAddress::LocalHost).toIPv4Address(), 27015), name}});
        for (int i = 0; i < RconAttacks::kThreshold + 1; ++i) {
            env.clock.advance(3);
            doc.m_feeds.receive(logDatagram("Bad Rcon: \"rcon 1 \"guess" + QByteArray::number(i) +
                                            "\" status\" from \"127.0.2.7:5\""),
                                QHostAddress::LocalHost, 27015);
        }
        QCOMPARE(alerts.size(), 1);
        QCOMPARE(doc.rconAttacks().Refused(name), std::uint64_t(RconAttacks::kThreshold + 1));
        QCOMPARE(doc.rconAttacks().alerts().back().source, std::string("127.0.2.7"));
        QVERIFY(metricsText(doc, env.clock.now())
                    .contains("quorvane_rcon_refused_total{server=\"127.0.0.1:27015\"} 6\n"));
    }
};

QTEST_GUILESS_MAIN(TestParkBans)
#include "tst_parkbans.moc"
