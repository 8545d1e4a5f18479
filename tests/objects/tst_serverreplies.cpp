#include "core/TextTokens.h"
#include "objects/ServerReplies.h"
#include "objects/StatusPlayers.h"
#include "support/LoopbackPeer.h"

#include <QTest>

Q_DECLARE_METATYPE(std::string)
Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

std::string str(const char* text, std::size_t length)
{
    return std::string(text, length);
}

QByteArray opt(const std::optional<std::string>& value)
{
    return value ? QByteArray::fromStdString(*value) : QByteArray("<none>");
}

// A 'D' entry: index, name, 00, frags and time.
std::string player(std::string_view name)
{
    std::string entry(1, '\x01');
    entry.append(name);
    entry.push_back('\0');
    entry.append(8, '\x02');
    return entry;
}

} // namespace

class TestServerReplies : public QObject
{
    Q_OBJECT

private slots:
    void cutToken()
    {
        std::string source = "a;b;;c";
        int notFound = 0;
        QCOMPARE(CutToken(source, ";", &notFound), std::string("a"));
        QCOMPARE(source, std::string("b;;c"));
        QCOMPARE(CutToken(source, ";;"), std::string("b"));
        QCOMPARE(source, std::string("c"));
        QCOMPARE(CutToken(source, ";", &notFound), std::string());
        QCOMPARE(source, std::string("c"));
        QCOMPARE(notFound, 1);
        CutToken(source, "c", &notFound); // found: the flag is never reset
        QCOMPARE(notFound, 1);
        QCOMPARE(source, std::string());
    }

    void details_data()
    {
        QTest::addColumn<std::string>("datagram");
        QTest::addColumn<QByteArray>("address");
        QTest::addColumn<int>("port");
        QTest::addColumn<QByteArray>("hostname");
        QTest::addColumn<QByteArray>("map");
        QTest::addColumn<QByteArray>("gameDir");
        QTest::addColumn<QByteArray>("gameDesc");

        const std::string fields = str("Host\0de_dust2\0cstrike\0Counter-Strike\0\x05\x10", 39);
        QTest::addRow("C skips its address")
            << oobReply(str("C1.2.3.4:27015\0", 15) + fields) << QByteArray("<none>") << -1
            << QByteArray("Host") << QByteArray("de_dust2") << QByteArray("cstrike")
            << QByteArray("Counter-Strike");
        QTest::addRow("m reports its address")
            << oobReply(str("m5.6.7.8:27016\0", 15) + fields) << QByteArray("5.6.7.8") << 27016
            << QByteArray("Host") << QByteArray("de_dust2") << QByteArray("cstrike")
            << QByteArray("Counter-Strike");
        QTest::addRow("m without colon keeps address")
            << oobReply(str("mloopback\0", 10) + fields) << QByteArray("<none>") << -1 << QByteArray("Host")
            << QByteArray("de_dust2") << QByteArray("cstrike") << QByteArray("Counter-Strike");
        QTest::addRow("m port without digits")
            << oobReply(str("m5.6.7.8:x\0", 11) + fields) << QByteArray("5.6.7.8") << -1 << QByteArray("Host")
            << QByteArray("de_dust2") << QByteArray("cstrike") << QByteArray("Counter-Strike");
        QTest::addRow("ends after the map")
            << oobReply(str("m1.2.3.4:1\0Host\0de_aztec\0", 25)) << QByteArray("1.2.3.4") << 1
            << QByteArray("Host") << QByteArray("de_aztec") << QByteArray("<none>") << QByteArray("<none>");
        QTest::addRow("last string without its 00")
            << oobReply(str("CA\0Host\0de_inf", 14)) << QByteArray("<none>") << -1 << QByteArray("Host")
            << QByteArray("de_inf") << QByteArray("<none>") << QByteArray("<none>");
        QTest::addRow("type byte only")
            << oobReply("m") << QByteArray("<none>") << -1 << QByteArray("<none>") << QByteArray("<none>")
            << QByteArray("<none>") << QByteArray("<none>");
        QTest::addRow("current info")
            << oobReply(str("I\x30Name\0cs_office\0cstrike\0CS\0\x0a\x00", 30)) << QByteArray("<none>") << -1
            << QByteArray("Name") << QByteArray("cs_office") << QByteArray("cstrike") << QByteArray("CS");
        QTest::addRow("current info, utf-8 name")
            << oobReply(str("I\x30J\xC3\xB6rg\0m\0", 10)) << QByteArray("<none>") << -1
            << QByteArray("J\xC3\xB6rg") << QByteArray("m") << QByteArray("<none>") << QByteArray("<none>");
        QTest::addRow("current info without protocol")
            << oobReply("I") << QByteArray("<none>") << -1 << QByteArray("<none>") << QByteArray("<none>")
            << QByteArray("<none>") << QByteArray("<none>");
    }

    void details()
    {
        QFETCH(std::string, datagram);
        const replies::Details parsed =
            datagram[4] == 'I' ? replies::parseInfo(datagram) : replies::parseDetails(datagram);
        QTEST(opt(parsed.selfAddress), "address");
        QTEST(parsed.selfPort.value_or(-1), "port");
        QTEST(opt(parsed.hostname), "hostname");
        QTEST(opt(parsed.map), "map");
        QTEST(opt(parsed.gameDir), "gameDir");
        QTEST(opt(parsed.gameDesc), "gameDesc");
    }

    // The slots follow the player count, in both forms; absent when cut off.
    void maxPlayers()
    {
        const std::string fields = str("Host\0de_dust2\0cstrike\0Counter-Strike\0\x05\x10", 39);
        QCOMPARE(replies::parseDetails(oobReply(str("m1.2.3.4:1\0", 11) + fields)).maxPlayers,
                 std::optional<std::int32_t>(16));
        QCOMPARE(replies::parseInfo(oobReply(str("I\x30N\0m\0d\0g\0\x0a\x00\x03\x14", 14))).maxPlayers,
                 std::optional<std::int32_t>(20));
        QVERIFY(!replies::parseDetails(oobReply(str("m1.2.3.4:1\0Host\0de_aztec\0", 25))).maxPlayers);
    }

    void players_data()
    {
        QTest::addColumn<std::string>("datagram");
        QTest::addColumn<bool>("overLimit");
        QTest::addColumn<std::vector<std::string>>("names");

        QTest::addRow("two players") << oobReply("D\x02" + player("alice") + player("bob")) << false
                                     << std::vector<std::string>{"alice", "bob"};
        QTest::addRow("no players") << oobReply(std::string("D\0", 2)) << false << std::vector<std::string>{};
        QTest::addRow("count above 32")
            << oobReply("D\x21" + player("x")) << true << std::vector<std::string>{};
        QTest::addRow("count of 32 with all entries")
            << oobReply("D\x20" +
                        [] {
                            std::string all;
                            for (int i = 0; i < 32; ++i)
                                all += player("p" + std::to_string(i));
                            return all;
                        }())
            << false << [] {
                   std::vector<std::string> all;
                   for (int i = 0; i < 32; ++i)
                       all.push_back("p" + std::to_string(i));
                   return all;
               }();
        QTest::addRow("announces 31, holds five")
            << oobReply("D\x1F" + player("a") + player("b") + player("c") + player("d") + player("e"))
            << false << std::vector<std::string>{"a", "b", "c", "d", "e"};
        QTest::addRow("last entry cut in its numbers") << oobReply("D\x02" + player("whole") +
                                                                   str("\x01"
                                                                       "cut\0\x01\x02",
                                                                       7))
                                                       << false << std::vector<std::string>{"whole"};
        QTest::addRow("name without its 00")
            << oobReply("D\x01\x01noend") << false << std::vector<std::string>{};
        QTest::addRow("count byte missing") << oobReply("D") << false << std::vector<std::string>{};
    }

    void players()
    {
        QFETCH(std::string, datagram);
        const replies::Players parsed = replies::parsePlayers(datagram);
        QTEST(parsed.overLimit, "overLimit");
        QTEST(parsed.names, "names");
    }

    void queryChallenge()
    {
        QCOMPARE(replies::parseQueryChallenge(oobReply("A\x78\x56\x34\x12")),
                 std::optional<std::uint32_t>(0x12345678));
        QCOMPARE(replies::parseQueryChallenge(oobReply("A\x78\x56\x34")), std::optional<std::uint32_t>());
    }

    void matchReport_data()
    {
        QTest::addColumn<std::string>("line");
        QTest::addColumn<QStringList>("expected"); // teamA, teamB, state, A1, A2, B1, B2

        QTest::addRow("full") << std::string("nxn_match_report = \"Red;Blue;x;y;z;4;10;3;5;2\"")
                              << QStringList{"Red", "Blue", "4", "10", "3", "5", "2"};
        QTest::addRow("short report fills from what is left")
            << std::string("nxn_match_report = \"Red;Blue;x;y;z;2\"")
            << QStringList{"Red", "Blue", "0", "0", "0", "0", "2"};
        QTest::addRow("negative and junk numbers")
            << std::string("nxn_match_report = \"A;B;;;;-1;7x;q;+3;9\"")
            << QStringList{"A", "B", "-1", "7", "0", "3", "9"};
        QTest::addRow("no opening quote")
            << std::string("nxn_match_report = A;B;c;d;e;2;1;1;1;1\"")
            << QStringList{"nxn_match_report = A", "B", "2", "1", "1", "1", "1"};
    }

    void matchReport()
    {
        QFETCH(std::string, line);
        QFETCH(QStringList, expected);
        const replies::MatchReport report = replies::parseMatchReport(line);
        const QStringList actual{QString::fromStdString(report.teamA), QString::fromStdString(report.teamB),
                                 QString::number(report.state),        QString::number(report.scoreA1),
                                 QString::number(report.scoreA2),      QString::number(report.scoreB1),
                                 QString::number(report.scoreB2)};
        QCOMPARE(actual, expected);
    }

    void serverPassword()
    {
        QCOMPARE(replies::parseServerPassword("\"sv_password\" is \"secret\""), std::string("secret"));
        QCOMPARE(replies::parseServerPassword("\"sv_password\" is \"\""), std::string());
        QCOMPARE(replies::parseServerPassword("\"sv_password\" is \"open"), std::string());
    }

    void printLines()
    {
        QCOMPARE(replies::printLines(oobReply("lone\n\ntwo\r\nlost")),
                 (std::vector<std::string>{"one", "two\r"}));
        QCOMPARE(replies::printLines(oobReply("lno line feed")), std::vector<std::string>{});
        QCOMPARE(replies::printLines(oobReply(str("la\nb\0c\n", 7))), std::vector<std::string>{"a"});
        QCOMPARE(replies::printLines(oobReply("l")), std::vector<std::string>{});
    }

    void statusPlayerLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<int>("userId"); // -1: not a player line
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("uniqueId");
        QTest::addColumn<QByteArray>("address");
        QTest::addRow("player") << QByteArray("# 1 \"Bob\" 12 STEAM_0:1:1   3 12:04   35    0 10.0.0.7:27005")
                                << 12 << QByteArray("Bob") << QByteArray("STEAM_0:1:1")
                                << QByteArray("10.0.0.7:27005");
        QTest::addRow("quotes and blanks in the name")
            << QByteArray("#12 \"a \" 99 X\" 3 STEAM_0:0:2 -1 0:10 40 0 10.0.0.8:1") << 3
            << QByteArray("a \" 99 X") << QByteArray("STEAM_0:0:2") << QByteArray("10.0.0.8:1");
        QTest::addRow("bot without address") << QByteArray("# 3 \"Twin\" 8 BOT 0 0:10 0 0") << 8
                                             << QByteArray("Twin") << QByteArray("BOT") << QByteArray();
        QTest::addRow("column header") << QByteArray("#      name userid uniqueid frag time ping loss adr")
                                       << -1 << QByteArray() << QByteArray() << QByteArray();
        QTest::addRow("userid not a number") << QByteArray("# 1 \"Bob\" x12 STEAM 3 1:04 35 0") << -1
                                             << QByteArray() << QByteArray() << QByteArray();
        QTest::addRow("userid out of range") << QByteArray("# 1 \"Bob\" 99999999999 STEAM 3 1:04 35 0") << -1
                                             << QByteArray() << QByteArray() << QByteArray();
        QTest::addRow("columns missing")
            << QByteArray("# 1 \"Bob\" 12 STEAM") << -1 << QByteArray() << QByteArray() << QByteArray();
        QTest::addRow("one quote only") << QByteArray("# 1 \"Bob 12 STEAM 3 1:04 35 0") << -1 << QByteArray()
                                        << QByteArray() << QByteArray();
    }

    void statusPlayerLine()
    {
        QFETCH(QByteArray, line);
        QFETCH(int, userId);
        const auto player = parseStatusPlayerLine(line.toStdString());
        QCOMPARE(player.has_value(), userId >= 0);
        if (!player)
            return;
        QCOMPARE(player->userId, userId);
        QTEST(QByteArray::fromStdString(player->name), "name");
        QTEST(QByteArray::fromStdString(player->uniqueId), "uniqueId");
        QTEST(QByteArray::fromStdString(player->address), "address");
    }

    // The table counts only once its closing line came: a table cut short
    // leaves the previous one.
    void statusTable()
    {
        StatusTableReader reader;
        std::vector<StatusPlayer> table;
        const auto feed = [&](const char* text) {
            bool ended = false;
            for (const auto& line : replies::printLines(oobReply(std::string("l") + text))) {
                if (reader.readLine(line)) {
                    ended = true;
                    table = reader.takeTable();
                }
            }
            return ended;
        };
        QVERIFY(!feed("# 1 \"Early\" 1 BOT 0 0:01 0 0\n")); // before any header
        QVERIFY(feed("hostname: x\n#      name userid uniqueid frag time ping loss adr\n"
                     "# 1 \"A\" 1 BOT 0 0:01 0 0\n# 2 \"B\" 2 BOT 0 0:01 0 0\n2 users\n"));
        QCOMPARE(table.size(), std::size_t{2});
        QVERIFY(!feed("#      name userid uniqueid frag time ping loss adr\n# 1 \"C\" 3 BOT 0 0:01 0 0\n"));
        QCOMPARE(table.size(), std::size_t{2});
        QVERIFY(feed("0 users\n"));
        QCOMPARE(table.size(), std::size_t{1});
    }
};

QTEST_APPLESS_MAIN(TestServerReplies)
#include "tst_serverreplies.moc"
