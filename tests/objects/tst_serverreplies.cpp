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
        QCOMPARE(CutToken(source, ";;"), std::string("b"));
        QCOMPARE(CutToken(source, ";", &notFound), std::string()); // not found: the source is kept
        QCOMPARE(source, std::string("c"));
        CutToken(source, "c", &notFound); // found: the flag is never reset
        QCOMPARE(notFound, 1);
    }

    void details_data()
    {
        QTest::addColumn<std::string>("datagram");
        // address|port|hostname|map|game dir|description|slots, - (or -1) for none; the slots
        // follow the player count in both forms.
        QTest::addColumn<QByteArray>("expected");
        const std::string fields = str("Host\0de_dust2\0cstrike\0Counter-Strike\0\x05\x10", 39);
        const auto row = [](const char* name, const std::string& body, const char* expected) {
            QTest::addRow("%s", name) << oobReply(body) << QByteArray(expected);
        };
        row("C skips its address", str("C1.2.3.4:27015\0", 15) + fields,
            "-|-1|Host|de_dust2|cstrike|Counter-Strike|16");
        row("m reports its address", str("m5.6.7.8:27016\0", 15) + fields,
            "5.6.7.8|27016|Host|de_dust2|cstrike|Counter-Strike|16");
        row("m without colon keeps address", str("mloopback\0", 10) + fields,
            "-|-1|Host|de_dust2|cstrike|Counter-Strike|16");
        row("m port without digits", str("m5.6.7.8:x\0", 11) + fields,
            "5.6.7.8|-1|Host|de_dust2|cstrike|Counter-Strike|16");
        row("ends after the map", str("m1.2.3.4:1\0Host\0de_aztec\0", 25), "1.2.3.4|1|Host|de_aztec|-|-|-1");
        row("last string without its 00", str("CA\0Host\0de_inf", 14), "-|-1|Host|de_inf|-|-|-1");
        row("type byte only", "m", "-|-1|-|-|-|-|-1");
        row("current info", str("I\x30Name\0cs_office\0cstrike\0CS\0\x0a\x00\x03\x14", 32),
            "-|-1|Name|cs_office|cstrike|CS|20");
        row("current info cut before the counts", str("I\x30N\0m\0d\0g\0\x0a\x00", 12), "-|-1|N|m|d|g|-1");
        row("current info, utf-8 name", str("I\x30J\xC3\xB6rg\0m\0", 10), "-|-1|J\xC3\xB6rg|m|-|-|-1");
        row("current info without protocol", "I", "-|-1|-|-|-|-|-1");
    }

    void details()
    {
        QFETCH(std::string, datagram);
        const replies::Details parsed =
            datagram[4] == 'I' ? replies::parseInfo(datagram) : replies::parseDetails(datagram);
        const auto text = [](const std::optional<std::string>& value) {
            return value ? QByteArray::fromStdString(*value) : QByteArray("-");
        };
        const QByteArray port = QByteArray::number(parsed.selfPort.value_or(-1));
        QTEST(QList<QByteArray>({text(parsed.selfAddress), port, text(parsed.hostname), text(parsed.map),
                                 text(parsed.gameDir), text(parsed.gameDesc),
                                 QByteArray::number(parsed.maxPlayers.value_or(-1))})
                  .join('|'),
              "expected");
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
        std::string all;
        std::vector<std::string> allNames;
        for (int i = 0; i < 32; ++i) {
            allNames.push_back("p" + std::to_string(i));
            all += player(allNames.back());
        }
        QTest::addRow("count of 32 with all entries") << oobReply("D\x20" + all) << false << allNames;
        QTest::addRow("announces 31, holds five")
            << oobReply("D\x1F" + player("a") + player("b") + player("c") + player("d") + player("e"))
            << false << std::vector<std::string>{"a", "b", "c", "d", "e"};
        QTest::addRow("last entry cut in its numbers")
            << oobReply("D\x02" + player("whole") + str("\x01" "cut\0\x01\x02", 7)) << false
            << std::vector<std::string>{"whole"};
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

    void queryChallengePasswordAndPrintLines()
    {
        QCOMPARE(replies::parseQueryChallenge(oobReply("A\x78\x56\x34\x12")),
                 std::optional<std::uint32_t>(0x12345678));
        QCOMPARE(replies::parseQueryChallenge(oobReply("A\x78\x56\x34")), std::optional<std::uint32_t>());
        QCOMPARE(replies::parseServerPassword("\"sv_password\" is \"secret\""), std::string("secret"));
        QCOMPARE(replies::parseServerPassword("\"sv_password\" is \"\""), std::string());
        QCOMPARE(replies::parseServerPassword("\"sv_password\" is \"open"), std::string());
        QCOMPARE(replies::printLines(oobReply("lone\n\ntwo\r\nlost")),
                 (std::vector<std::string>{"one", "two\r"}));
        QCOMPARE(replies::printLines(oobReply("lno line feed")), std::vector<std::string>{});
        QCOMPARE(replies::printLines(oobReply(str("la\nb\0c\n", 7))), std::vector<std::string>{"a"});
        QCOMPARE(replies::printLines(oobReply("l")), std::vector<std::string>{});
    }

    void statusPlayerLine_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QByteArray>("expected"); // userid|name|uniqueid|address; empty: not a player line
        const auto row = [](const char* name, const char* line, const char* expected) {
            QTest::addRow("%s", name) << QByteArray(line) << QByteArray(expected);
        };
        row("player", "# 1 \"Bob\" 12 STEAM_0:1:1   3 12:04   35    0 127.0.0.7:27005",
            "12|Bob|STEAM_0:1:1|127.0.0.7:27005");
        row("quotes and blanks in the name", "#12 \"a \" 99 X\" 3 STEAM_0:0:2 -1 0:10 40 0 127.0.0.8:1",
            "3|a \" 99 X|STEAM_0:0:2|127.0.0.8:1");
        row("bot without address", "# 3 \"Twin\" 8 BOT 0 0:10 0 0", "8|Twin|BOT|");
        row("column header", "#      name userid uniqueid frag time ping loss adr", "");
        row("userid not a number", "# 1 \"Bob\" x12 STEAM 3 1:04 35 0", "");
        row("userid out of range", "# 1 \"Bob\" 99999999999 STEAM 3 1:04 35 0", "");
        row("columns missing", "# 1 \"Bob\" 12 STEAM", "");
        row("one quote only", "# 1 \"Bob 12 STEAM 3 1:04 35 0", "");
    }

    void statusPlayerLine()
    {
        QFETCH(QByteArray, line);
        const auto player = parseStatusPlayerLine(line.toStdString());
        const QByteArray parsed =
            player ? QByteArray::number(player->userId) + '|' + QByteArray::fromStdString(player->name) + '|' +
                         QByteArray::fromStdString(player->uniqueId) + '|' + QByteArray::fromStdString(player->address)
                   : QByteArray();
        QTEST(parsed, "expected");
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
