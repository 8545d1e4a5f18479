// The log-line parser on lines as engines write them, and on lines built to
// fool it: names holding '<', '>' and '"', UTF-8, odd spacing, truncation.
#include "feeds/LogLine.h"

#include <QTest>

Q_DECLARE_METATYPE(LogEvent::Type)

namespace {

const QByteArray kStamp = "L 10/05/2024 - 14:22:01: ";

std::optional<LogEvent> parse(const QByteArray& line)
{
    return parseLogLine(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
}

} // namespace

class TestLogLine : public QObject
{
    Q_OBJECT

    // What an event says, in one line a row can spell out.
    static QString summary(const LogEvent& event)
    {
        const auto text = [](const std::string& bytes) { return QString::fromStdString(bytes); };
        QString line = QString::fromLatin1(eventTypeName(event.type));
        switch (event.type) {
        case LogEvent::Type::Kill:
            return line + ' ' + text(event.player.name) + " > " + text(event.victim.name) + " with " +
                   text(event.weapon);
        case LogEvent::Type::Say:
        case LogEvent::Type::Team:
            return line + ' ' + text(event.player.name) + ' ' + text(event.text);
        case LogEvent::Type::Round:
            line += ' ' + text(event.text);
            if (!event.team.empty())
                line += " by " + text(event.team);
            if (!event.scores.empty())
                line += " score";
            for (const LogTeamScore& score : event.scores)
                line += ' ' + text(score.team) + '=' + QString::number(score.score);
            return line;
        case LogEvent::Type::Map:
            return line + ' ' + text(event.text);
        default:
            return line + ' ' + text(event.player.name);
        }
    }

private slots:
    // Every field of the player, the time, and say_team.
    void playerLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<LogEvent::Type>("type");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("steamId");
        QTest::addColumn<QByteArray>("team");
        QTest::addColumn<QByteArray>("text"); // message, new team, or victim's name for kills
        const auto row = [](const char* label, const QByteArray& line, LogEvent::Type type,
                            const char* name, const char* steamId, const char* team, const char* text) {
            QTest::addRow("%s", label) << line << type << QByteArray(name) << QByteArray(steamId)
                                       << QByteArray(team) << QByteArray(text);
        };
        using T = LogEvent::Type;
        row("say", kStamp + "\"bob<2><STEAM_0:1:1234><CT>\" say \"hello all\"", T::Say, "bob",
            "STEAM_0:1:1234", "CT", "hello all");
        row("say_team, dead", kStamp + "\"eve<3><STEAM_0:0:9><TERRORIST>\" say_team \"rush b\" (dead)",
            T::Say, "eve", "STEAM_0:0:9", "TERRORIST", "rush b");
        row("quotes and brackets in name and text",
            kStamp + "\"Big \"Q\"<x><7><STEAM_0:1:5><CT>\" say \"he said \"hi\" >\" say \"\"", T::Say,
            "Big \"Q\"<x>", "STEAM_0:1:5", "CT", "he said \"hi\" >\" say \"");
        row("UTF-8 name",
            kStamp + "\"J\xC3\xBCrgen \xE7\x8E\xA9<11><STEAM_0:0:77><>\" say \"\xC3\xA9t\xC3\xA9\"", T::Say,
            "J\xC3\xBCrgen \xE7\x8E\xA9", "STEAM_0:0:77", "", "\xC3\xA9t\xC3\xA9");
        row("odd spacing in the stamp", "L  10/05/2024  -  14:22:01:   \"a<1><BOT><CT>\" say \"x\"", T::Say,
            "a", "BOT", "CT", "x");
        row("kill",
            kStamp + "\"bob<2><STEAM_0:1:1><CT>\" killed \"eve<3><STEAM_0:0:9><TERRORIST>\" with \"ak47\"",
            T::Kill, "bob", "STEAM_0:1:1", "CT", "eve");
        row("kill, victim named like a weapon",
            kStamp + "\"bob<2><STEAM_0:1:1><CT>\" killed \"x\" with \"y<3><STEAM_0:0:9><TERRORIST>\" with "
                     "\"awp\"",
            T::Kill, "bob", "STEAM_0:1:1", "CT", "x\" with \"y");
        row("kill with positions (newer engines)",
            kStamp + "\"a<2><[U:1:5]><CT>\" [10 -20 30] killed \"b<3><[U:1:6]><TERRORIST>\" [1 2 3] with "
                     "\"m4a1\"",
            T::Kill, "a", "[U:1:5]", "CT", "b");
        row("connected",
            kStamp + "\"new guy<12><STEAM_ID_PENDING><>\" connected, address \"127.0.0.5:27005\"", T::Connect,
            "new guy", "STEAM_ID_PENDING", "", "");
        row("disconnected", kStamp + "\"<<>><12><STEAM_0:0:3><CT>\" disconnected", T::Disconnect, "<<>>",
            "STEAM_0:0:3", "CT", "");
        row("joined team", kStamp + "\"bob<2><STEAM_0:1:1><Unassigned>\" joined team \"CT\"", T::Team, "bob",
            "STEAM_0:1:1", "Unassigned", "CT");
    }

    void playerLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(LogEvent::Type, type);
        const auto event = parse(line);
        QVERIFY(event);
        QCOMPARE(event->type, type);
        QCOMPARE(event->time, std::string("2024-10-05T14:22:01"));
        QTEST(QByteArray::fromStdString(event->player.name), "name");
        QTEST(QByteArray::fromStdString(event->player.steamId), "steamId");
        QTEST(QByteArray::fromStdString(event->player.team), "team");
        QFETCH(QByteArray, text);
        if (type == LogEvent::Type::Kill) {
            QCOMPARE(QByteArray::fromStdString(event->victim.name), text);
            QVERIFY(!event->weapon.empty());
            QCOMPARE(event->victim.team, std::string("TERRORIST"));
        } else {
            QCOMPARE(QByteArray::fromStdString(event->text), text);
        }
        QCOMPARE(event->teamOnly, line.contains("say_team"));
    }

    // One row per kind of line of the HL Log Standard (rev. 1.03), written
    // as GoldSrc and Source servers write them: the kinds followed become
    // one event each, every other kind stays silent. Then lines made to look
    // like the kinds followed, and lines that are no log line at all. The
    // connections, team changes and chat are playerLines' rows.
    void standardLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<QString>("expected"); // summary(); empty: no event

        const QByteArray bob = "\"bob<2><STEAM_0:1:1><CT>\"";
        const QByteArray eve = "\"eve<3><STEAM_0:0:9><TERRORIST>\"";
        const auto whole = [](const char* name, const QByteArray& line, const char* expected) {
            QTest::addRow("%s", name) << line << QString::fromUtf8(expected);
        };
        const auto row = [&](const char* name, const QByteArray& body, const char* expected) {
            whole(name, kStamp + body, expected);
        };
        row("log file started",
            "Log file started (file \"logs/L1005000.log\") (game \"cstrike\") (version "
            "\"48/1.1.2.7/Stdio/6153\")",
            "");
        row("log file closed", "Log file closed", "");
        row("cvars start", "Server cvars start", "");
        row("cvar", "Server cvar \"mp_timelimit\" = \"30\"", "");
        row("cvars end", "Server cvars end", "");
        row("loading map", "Loading map \"de_dust2\"", "");
        row("started map", "Started map \"de_dust2\" (CRC \"1159425449\")", "map de_dust2");
        row("rcon", "Rcon: \"rcon 1234 \"secret\" status\" from \"127.0.2.1:27005\"", "");
        row("bad rcon", "Bad Rcon: \"rcon 1234 \"x\" status\" from \"127.0.2.1:27005\"", "");
        row("server name", "Server name is \"Cup #1\"", "");
        row("server say", "Server say \"match starts\"", "");
        row("validated", "\"bob<2><STEAM_0:1:1><>\" STEAM USERID validated", "");
        row("enter game", "\"bob<2><STEAM_0:1:1><>\" entered the game", "enter bob");
        row("suicide", bob + " committed suicide with \"world\"", "");
        row("role selection", bob + " changed role to \"sniper\"", "");
        row("name change", bob + " changed name to \"bobby\"", "");
        row("kill", bob + " killed " + eve + " with \"ak47\"", "kill bob > eve with ak47");
        row("kill, headshot flag", bob + " killed " + eve + " with \"deagle\" (headshot)",
            "kill bob > eve with deagle");
        row("kill, property list",
            bob + " killed " + eve +
                " with \"sniperrifle\" (customkill \"headshot\") (attacker_position \"-1 2 3\") "
                "(victim_position \"4 5 -6\")",
            "kill bob > eve with sniperrifle");
        row("kill, positions and flag",
            "\"a<2><[U:1:5]><CT>\" [10 -20 30] killed \"b<3><[U:1:6]><TERRORIST>\" [1 2 3] with \"m4a1\" "
            "(headshot)",
            "kill a > b with m4a1");
        row("kill without weapon", bob + " killed " + eve, "kill bob > eve with ");
        row("kill without weapon, victim named like one",
            bob + " killed \"x\" with \"y<3><STEAM_0:0:9><TERRORIST>\"", "kill bob > x\" with \"y with ");
        row("injury", bob + " attacked " + eve + " with \"ak47\" (damage \"27\")", "");
        row("player-player action", bob + " triggered \"Killed_A_Hostage\" against " + eve, "");
        row("player action", bob + " triggered \"Planted_The_Bomb\"", "");
        row("team action, score", "Team \"CT\" triggered \"CTs_Win\" (CT \"3\") (T \"0\")",
            "round CTs_Win by CT score CT=3 T=0");
        row("team action, Source",
            "Team \"TERRORIST\" triggered \"SFUI_Notice_Target_Bombed\" (CT \"1\") (T \"4\")",
            "round SFUI_Notice_Target_Bombed by TERRORIST score CT=1 T=4");
        row("team action, no score", "Team \"Blue\" triggered \"Captured_Flag\"",
            "round Captured_Flag by Blue");
        row("team action, other properties",
            "Team \"Red\" triggered \"pointcaptured\" (cp \"0\") (cpname \"#Gravelpit_cap_A\") (numcappers "
            "\"1\")",
            "round pointcaptured by Red");
        row("world action", "World triggered \"Round_Start\"", "round Round_Start");
        row("world action, score", "World triggered \"Round_Draw\" (CT \"2\") (T \"2\")",
            "round Round_Draw score CT=2 T=2");
        row("private chat", bob + " tell " + eve + " message \"hi\"", "");
        row("team alliance", "Team \"Red\" formed alliance with team \"Blue\"", "");
        row("team score report", "Team \"CT\" scored \"7\" with \"5\" players", "");
        row("private score report", "Player " + bob + " scored \"3\"", "");
        row("kick", "Kick: " + bob + " was kicked by \"Console\" (message \"\")", "");
        // Lines made to look like the kinds followed.
        row("team trigger, junk after", "Team \"CT\" triggered \"CTs_Win\" (CT \"3\") junk", "");
        row("team trigger, no name", "Team \"CT\" triggered \"\"", "");
        row("team trigger, quote in name", "Team \"CT\" triggered \"a\"b\"", "");
        row("team trigger, score not a count", "Team \"CT\" triggered \"CTs_Win\" (CT \"-3\")",
            "round CTs_Win by CT");
        row("kill, weapon cut short", bob + " killed " + eve + " with \"ak4", "");
        row("no closing quote", "Started map \"de_d", "");
        row("player field without ids", "\"bob\" say \"x\"", "");
        row("uid not a number", "\"b<x><S><CT>\" say \"x\"", "");
        row("say cut short", "\"b<1><S><CT>\" say \"x", "");
        row("kill, victim cut short", "\"b<1><S><CT>\" killed \"c<2><S><T>", "");
        whole("empty", QByteArray(), "");
        whole("no stamp", "\"a<1><BOT><CT>\" say \"x\"", "");
        whole("stamp cut short", "L 10/05/2024 - 14:2", "");
    }

    void standardLines()
    {
        QFETCH(QByteArray, line);
        const auto event = parse(line);
        QTEST(event ? summary(*event) : QString(), "expected");
    }

    void datagrams_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QByteArray>("line"); // empty: not a log datagram
        QTest::addColumn<QByteArray>("secret");
        const QByteArray ff("\xFF\xFF\xFF\xFF");
        const QByteArray x = "L 01/02/2024 - 03:04:05: x";
        const auto row = [](const char* name, const QByteArray& datagram, const QByteArray& line = {},
                            const QByteArray& secret = {}) {
            QTest::addRow("%s", name) << datagram << line << secret;
        };
        row("classic", ff + "log " + x + "\n" + '\0', x);
        row("newer, no secret", ff + "R" + x + "\n", x);
        row("newer, secret", ff + "S1234" + x + "\r\n" + '\0', x, "1234");
        row("NUL before the line end", ff + "log L 01/02: a" + '\0' + "hidden\n");
        row("no line end", ff + "log " + x);
        row("no line end, NUL", ff + "R" + x + '\0');
        row("no header", "log " + x);
        row("rcon reply", ff + "lhello\n");
        row("secret without line", ff + "S12345");
        row("secret too long", ff + 'S' + QByteArray(100, '7') + "L x");
    }

    void datagrams()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(QByteArray, line);
        // A copy the exact size of the datagram: a read past its end is
        // caught by the sanitizer build.
        const std::string bytes(datagram.constData(), static_cast<std::size_t>(datagram.size()));
        std::string_view secret;
        const auto found = logLineOfDatagram(bytes, &secret);
        QCOMPARE(found.has_value(), !line.isEmpty());
        if (found) {
            QCOMPARE(QByteArray(found->data(), static_cast<qsizetype>(found->size())), line);
            QTEST(QByteArray(secret.data(), static_cast<qsizetype>(secret.size())), "secret");
        }
    }
};

QTEST_APPLESS_MAIN(TestLogLine)
#include "tst_logline.moc"
