// The log-line parser on lines as engines write them, and on lines built to
// fool it: names holding '<', '>' and '"', UTF-8, odd spacing, truncation.
#include "feeds/LogLine.h"

#include <QTest>

Q_DECLARE_METATYPE(LogEvent::Type)

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
    void playerLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<LogEvent::Type>("type");
        QTest::addColumn<QByteArray>("name");
        QTest::addColumn<QByteArray>("steamId");
        QTest::addColumn<QByteArray>("team");
        QTest::addColumn<QByteArray>("text"); // message, new team, or victim's name for kills

        const QByteArray stamp = "L 10/05/2024 - 14:22:01: ";
        QTest::addRow("say") << stamp + "\"bob<2><STEAM_0:1:1234><CT>\" say \"hello all\""
                             << LogEvent::Type::Say << QByteArray("bob") << QByteArray("STEAM_0:1:1234")
                             << QByteArray("CT") << QByteArray("hello all");
        QTest::addRow("say_team, dead")
            << stamp + "\"eve<3><STEAM_0:0:9><TERRORIST>\" say_team \"rush b\" (dead)" << LogEvent::Type::Say
            << QByteArray("eve") << QByteArray("STEAM_0:0:9") << QByteArray("TERRORIST")
            << QByteArray("rush b");
        QTest::addRow("quotes and brackets in name and text")
            << stamp + "\"Big \"Q\"<x><7><STEAM_0:1:5><CT>\" say \"he said \"hi\" >\" say \"\""
            << LogEvent::Type::Say << QByteArray("Big \"Q\"<x>") << QByteArray("STEAM_0:1:5")
            << QByteArray("CT") << QByteArray("he said \"hi\" >\" say \"");
        QTest::addRow("UTF-8 name")
            << stamp + "\"J\xC3\xBCrgen \xE7\x8E\xA9<11><STEAM_0:0:77><>\" say \"\xC3\xA9t\xC3\xA9\""
            << LogEvent::Type::Say << QByteArray("J\xC3\xBCrgen \xE7\x8E\xA9") << QByteArray("STEAM_0:0:77")
            << QByteArray() << QByteArray("\xC3\xA9t\xC3\xA9");
        QTest::addRow("odd spacing in the stamp")
            << QByteArray("L  10/05/2024  -  14:22:01:   \"a<1><BOT><CT>\" say \"x\"") << LogEvent::Type::Say
            << QByteArray("a") << QByteArray("BOT") << QByteArray("CT") << QByteArray("x");
        QTest::addRow("kill")
            << stamp + "\"bob<2><STEAM_0:1:1><CT>\" killed \"eve<3><STEAM_0:0:9><TERRORIST>\" with \"ak47\""
            << LogEvent::Type::Kill << QByteArray("bob") << QByteArray("STEAM_0:1:1") << QByteArray("CT")
            << QByteArray("eve");
        QTest::addRow("kill, victim named like a weapon")
            << stamp + "\"bob<2><STEAM_0:1:1><CT>\" killed \"x\" with \"y<3><STEAM_0:0:9><TERRORIST>\" with "
                       "\"awp\""
            << LogEvent::Type::Kill << QByteArray("bob") << QByteArray("STEAM_0:1:1") << QByteArray("CT")
            << QByteArray("x\" with \"y");
        QTest::addRow("kill with positions (newer engines)")
            << stamp + "\"a<2><[U:1:5]><CT>\" [10 -20 30] killed \"b<3><[U:1:6]><TERRORIST>\" [1 2 3] with "
                       "\"m4a1\""
            << LogEvent::Type::Kill << QByteArray("a") << QByteArray("[U:1:5]") << QByteArray("CT")
            << QByteArray("b");
        QTest::addRow("connected")
            << stamp + "\"new guy<12><STEAM_ID_PENDING><>\" connected, address \"10.0.0.5:27005\""
            << LogEvent::Type::Connect << QByteArray("new guy") << QByteArray("STEAM_ID_PENDING")
            << QByteArray() << QByteArray();
        QTest::addRow("disconnected")
            << stamp + "\"<<>><12><STEAM_0:0:3><CT>\" disconnected" << LogEvent::Type::Disconnect
            << QByteArray("<<>>") << QByteArray("STEAM_0:0:3") << QByteArray("CT") << QByteArray();
        QTest::addRow("joined team") << stamp + "\"bob<2><STEAM_0:1:1><Unassigned>\" joined team \"CT\""
                                     << LogEvent::Type::Team << QByteArray("bob") << QByteArray("STEAM_0:1:1")
                                     << QByteArray("Unassigned") << QByteArray("CT");
    }

    void playerLines()
    {
        QFETCH(QByteArray, line);
        QFETCH(LogEvent::Type, type);
        const auto event =
            parseLogLine(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
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

    void worldLines_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addColumn<LogEvent::Type>("type");
        QTest::addColumn<QByteArray>("text");
        QTest::addRow("round start") << QByteArray("L 10/05/2024 - 14:22:01: World triggered \"Round_Start\"")
                                     << LogEvent::Type::Round << QByteArray("Round_Start");
        QTest::addRow("started map") << QByteArray(
                                            "L 10/05/2024 - 14:22:01: Started map \"de_dust2\" (CRC \"-1\")")
                                     << LogEvent::Type::Map << QByteArray("de_dust2");
    }

    void worldLines()
    {
        QFETCH(QByteArray, line);
        const auto event =
            parseLogLine(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
        QVERIFY(event);
        QTEST(event->type, "type");
        QTEST(QByteArray::fromStdString(event->text), "text");
    }

    void ignored_data()
    {
        QTest::addColumn<QByteArray>("line");
        QTest::addRow("empty") << QByteArray();
        QTest::addRow("no stamp") << QByteArray("\"a<1><BOT><CT>\" say \"x\"");
        QTest::addRow("stamp cut short") << QByteArray("L 10/05/2024 - 14:2");
        QTest::addRow("no closing quote") << QByteArray("L 10/05/2024 - 14:22:01: Started map \"de_d");
        QTest::addRow("player field without ids") << QByteArray("L 10/05/2024 - 14:22:01: \"bob\" say \"x\"");
        QTest::addRow("uid not a number") << QByteArray("L 10/05/2024 - 14:22:01: \"b<x><S><CT>\" say \"x\"");
        QTest::addRow("say cut short") << QByteArray("L 10/05/2024 - 14:22:01: \"b<1><S><CT>\" say \"x");
        QTest::addRow("kill, victim cut short")
            << QByteArray("L 10/05/2024 - 14:22:01: \"b<1><S><CT>\" killed \"c<2><S><T>");
        QTest::addRow("unknown verb")
            << QByteArray("L 10/05/2024 - 14:22:01: \"b<1><S><CT>\" triggered \"Planted_The_Bomb\"");
    }

    void ignored()
    {
        QFETCH(QByteArray, line);
        QVERIFY(!parseLogLine(std::string_view(line.constData(), static_cast<std::size_t>(line.size()))));
    }

    // One row per kind of line of the HL Log Standard (rev. 1.03), written
    // as GoldSrc and Source servers write them: the kinds followed become
    // one event each, every other kind stays silent.
    void standardLines_data()
    {
        QTest::addColumn<QByteArray>("body");
        QTest::addColumn<QString>("expected"); // summary(); empty: no event

        const QByteArray bob = "\"bob<2><STEAM_0:1:1><CT>\"";
        const QByteArray eve = "\"eve<3><STEAM_0:0:9><TERRORIST>\"";
        const auto row = [](const char* name, const QByteArray& body, const char* expected) {
            QTest::addRow("%s", name) << body << QString::fromUtf8(expected);
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
        row("rcon", "Rcon: \"rcon 1234 \"secret\" status\" from \"192.0.2.1:27005\"", "");
        row("bad rcon", "Bad Rcon: \"rcon 1234 \"x\" status\" from \"192.0.2.1:27005\"", "");
        row("server name", "Server name is \"Cup #1\"", "");
        row("server say", "Server say \"match starts\"", "");
        row("connection", "\"bob<2><STEAM_0:1:1><>\" connected, address \"192.0.2.5:27005\"", "connect bob");
        row("validated", "\"bob<2><STEAM_0:1:1><>\" STEAM USERID validated", "");
        row("enter game", "\"bob<2><STEAM_0:1:1><>\" entered the game", "enter bob");
        row("disconnection", bob + " disconnected", "disconnect bob");
        row("suicide", bob + " committed suicide with \"world\"", "");
        row("team selection", "\"bob<2><STEAM_0:1:1><Unassigned>\" joined team \"CT\"", "team bob CT");
        row("role selection", bob + " changed role to \"sniper\"", "");
        row("name change", bob + " changed name to \"bobby\"", "");
        row("kill", bob + " killed " + eve + " with \"ak47\"", "kill bob > eve with ak47");
        row("kill, headshot flag", bob + " killed " + eve + " with \"deagle\" (headshot)",
            "kill bob > eve with deagle");
        row("kill, property list",
            bob + " killed " + eve +
                " with \"sniperrifle\" (customkill \"headshot\") (attacker_position \"-1 2 3\") "
                "(victim_position "
                "\"4 5 -6\")",
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
        row("say", bob + " say \"gg\"", "say bob gg");
        row("team say", bob + " say_team \"rush b\" (dead)", "say bob rush b");
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
    }

    void standardLines()
    {
        QFETCH(QByteArray, body);
        const QByteArray line = "L 10/05/2024 - 14:22:01: " + body;
        const auto event =
            parseLogLine(std::string_view(line.constData(), static_cast<std::size_t>(line.size())));
        QTEST(event ? summary(*event) : QString(), "expected");
    }

    void datagrams_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<QByteArray>("line"); // empty: not a log datagram
        QTest::addColumn<QByteArray>("secret");
        const QByteArray ff("\xFF\xFF\xFF\xFF");
        QTest::addRow("classic") << ff + "log L 01/02/2024 - 03:04:05: x\n" + '\0'
                                 << QByteArray("L 01/02/2024 - 03:04:05: x") << QByteArray();
        QTest::addRow("newer, no secret") << ff + "RL 01/02/2024 - 03:04:05: x\n"
                                          << QByteArray("L 01/02/2024 - 03:04:05: x") << QByteArray();
        QTest::addRow("newer, secret") << ff + "S1234L 01/02/2024 - 03:04:05: x\r\n" + '\0'
                                       << QByteArray("L 01/02/2024 - 03:04:05: x") << QByteArray("1234");
        QTest::addRow("NUL before the line end") << ff + "log L 01/02: a" + '\0' + "hidden\n"
                                                 << QByteArray() << QByteArray();
        QTest::addRow("no line end") << ff + "log L 01/02/2024 - 03:04:05: x" << QByteArray() << QByteArray();
        QTest::addRow("no line end, NUL")
            << ff + "RL 01/02/2024 - 03:04:05: x" + '\0' << QByteArray() << QByteArray();
        QTest::addRow("no header") << QByteArray("log L 01/02/2024 - 03:04:05: x") << QByteArray()
                                   << QByteArray();
        QTest::addRow("rcon reply") << ff + "lhello\n" << QByteArray() << QByteArray();
        QTest::addRow("secret without line") << ff + "S12345" << QByteArray() << QByteArray();
        QTest::addRow("secret too long")
            << ff + 'S' + QByteArray(100, '7') + "L x" << QByteArray() << QByteArray();
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
