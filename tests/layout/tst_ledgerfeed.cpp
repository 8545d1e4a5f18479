// The document writing the ledger: what its objects show becomes records in
// a real SQLite file, which `quorvane ledger ...` then prints.

#include "layout/CQuorvaneDoc.h"
#include "layout/LedgerFeed.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerQuery.h"
#include "ledger/LedgerUptime.h"
#include "metrics/MetricsText.h"
#include "objects/CHLServer.h"
#include "objects/CHLTV.h"
#include "support/TestContext.h"

#include <QDateTime>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

namespace
{
const std::string kRcon = "rc0n-Secret!";

StatusPlayer Player(int id, const std::string& name, const std::string& uniqueId, const std::string& address)
{
    StatusPlayer player;
    player.userId = id;
    player.name = name;
    player.uniqueId = uniqueId;
    player.address = address;
    return player;
}
} // namespace

class TestLedgerFeed : public QObject
{
    Q_OBJECT

private slots:
    void steamIdsAndAddresses_data();
    void steamIdsAndAddresses();
    void documentWritesTheLedger();
    void documentReadsTheHistoryBack();
    void uptimeOfDownAndRelayLost();
    void aLargeParksMinuteIsSpreadOverTheMinute_data();
    void aLargeParksMinuteIsSpreadOverTheMinute();

private:
    // Seconds pass, the object (if any) answering all along.
    void tick(CQuorvaneDoc& document, int seconds, CCommonObject* answering = nullptr)
    {
        for (int i = 0; i < seconds; ++i)
        {
            m_test.clock.advance(1);
            if (answering)
                answering->m_timeLastReply = m_test.clock.now();
            document.TickSecond();
        }
    }
    // A ledger without a thread, in a folder of the test's own.
    static Ledger::Options fileOptions(const QTemporaryDir& dir)
    {
        Ledger::Options options;
        options.settings.target.path = dir.filePath(QStringLiteral("ledger.sqlite"));
        options.settings.instance = QStringLiteral("test");
        options.threaded = false;
        return options;
    }
    TestContext m_test;
};

void TestLedgerFeed::steamIdsAndAddresses_data()
{
    QTest::addColumn<QString>("id");
    QTest::addColumn<bool>("real");
    QTest::addRow("steam") << "STEAM_0:1:1234" << true;
    QTest::addRow("lan") << "STEAM_ID_LAN" << false;
    QTest::addRow("pending") << "STEAM_ID_PENDING" << false;
    QTest::addRow("bot") << "BOT" << false;
    QTest::addRow("hltv") << "HLTV" << false;
    QTest::addRow("too few parts") << "STEAM_0:1" << false;
    QTest::addRow("empty part") << "STEAM_0::1" << false;
    QTest::addRow("letters") << "STEAM_0:1:12a" << false;
}

void TestLedgerFeed::steamIdsAndAddresses()
{
    QFETCH(QString, id);
    QFETCH(bool, real);
    QCOMPARE(LedgerFeed::IsRealSteamId(id.toStdString()), real);
    QCOMPARE(LedgerFeed::AddressWithoutPort("127.0.0.7:27005"), std::string("127.0.0.7"));
    QCOMPARE(LedgerFeed::AddressWithoutPort("127.0.0.7"), std::string("127.0.0.7"));
    QCOMPARE(LedgerFeed::AddressWithoutPort("loopback"), std::string());
    QCOMPARE(LedgerFeed::AddressWithoutPort("127.0.0.255:27005"), std::string("127.0.0.255"));
    QCOMPARE(LedgerFeed::AddressWithoutPort("127.0.0.256:27005"), std::string());
    QCOMPARE(LedgerFeed::AddressWithoutPort("127.0.0.1.5:27005"), std::string());
    QCOMPARE(LedgerFeed::AddressWithoutPort("127.000.0.7:27005"), std::string("127.0.0.7")); // written back plainly
}

void TestLedgerFeed::documentWritesTheLedger()
{
    QTemporaryDir dir;
    const Ledger::Options options = fileOptions(dir);
    Ledger ledger(options, m_test.clock);
    CQuorvaneDoc document(m_test.context());
    document.OnNewDocument();
    document.AttachLedger(&ledger);
    auto* server = dynamic_cast<CHLServer*>(document.AddServer("127.0.0.1", 27999, kRcon, document.m_groups[0].get()));
    QVERIFY(server);

    // The machine answers, with a status table and a running match.
    // Today: the program run below prunes what is older than the kept days by its own clock.
    m_test.clock.set(QDateTime::currentSecsSinceEpoch() - QDateTime::currentSecsSinceEpoch() % 60 + 50);
    server->m_nStatus = CSStatus_CONTROL;
    server->m_timeLastReply = m_test.clock.now();
    server->m_statusPlayers = {Player(3, "Bob", "STEAM_0:1:1234", "127.0.0.9:27005"),
                               Player(4, "Lan", "STEAM_ID_LAN", "127.0.0.10:27005"), Player(5, "Bot", "BOT", "")};
    server->m_bMatchRunning = true;
    server->m_strMap = "de_nuke";
    server->m_strTeamA = "Red";
    server->m_strTeamB = "Blue";
    tick(document, 1);
    server->m_nScoreA1 = 3;
    tick(document, 10); // into the next minute: sightings and history
    server->m_timeLastReply = m_test.clock.now();

    document.NoteCommand(*server, "kick #3; rcon_password " + kRcon);
    tick(document, 1);
    // A poll's status text comes in around the kick's answer.
    for (const char* line : {"hostname:  Cup #1", "Kicked \"Bob\"", "map     :  de_nuke", "#  1 \"Ann\"", "1 users"})
        server->m_log.Add(line);
    tick(document, LedgerFeed::kAnswerSeconds);
    document.NoteCommand(*server, "status"); // nothing answers it
    tick(document, LedgerFeed::kAnswerSeconds + 1);
    document.NoteCommand(*server, "status"); // the operator's own status is his answer
    server->m_log.Add("hostname:  Cup #1");
    tick(document, LedgerFeed::kAnswerSeconds + 1);

    // The machine falls silent: down, and the match ends with it.
    server->m_nStatus = CSStatus_TIMEOUT;
    tick(document, 1);
    QVERIFY(ledger.pump());

    QString error;
    const auto run = [&](LedgerQuery::Kind kind) {
        auto table = LedgerQuery::run(options.settings.target, kind, {}, error);
        return table.value_or(LedgerQuery::Table{});
    };
    const auto commands = run(LedgerQuery::Kind::Commands);
    QCOMPARE(commands.rows.size(), std::size_t{3});
    QCOMPARE(commands.rows[0][2].toString(), QStringLiteral("server 127.0.0.1:27999"));
    QCOMPARE(commands.rows[0][3].toString(), QStringLiteral("kick #3; rcon_password ***"));
    QCOMPARE(commands.rows[0][4].toString(), QStringLiteral("Kicked \"Bob\""));
    QCOMPARE(commands.rows[1][4].toString(), QStringLiteral("no answer"));
    QCOMPARE(commands.rows[2][4].toString(), QStringLiteral("hostname:  Cup #1"));

    const auto availability = run(LedgerQuery::Kind::Availability);
    QCOMPARE(availability.rows.size(), std::size_t{1});
    QCOMPARE(availability.rows[0][2].toString(), QStringLiteral("down"));

    const auto matches = run(LedgerQuery::Kind::Matches);
    QCOMPARE(matches.rows.size(), std::size_t{1});
    QCOMPARE(matches.rows[0][3].toString(), QStringLiteral("de_nuke"));
    QCOMPARE(matches.rows[0][4].toString(), QStringLiteral("Red vs Blue"));
    QCOMPARE(matches.rows[0][5].toString(), QStringLiteral("0:0 3:0"));
    QCOMPARE(matches.rows[0][6].toString(), QStringLiteral("server down"));

    const auto players = run(LedgerQuery::Kind::Players);
    QCOMPARE(players.rows.size(), std::size_t{2}); // the bot is no player
    QCOMPARE(players.rows[0][4].toString(), QStringLiteral("STEAM_0:1:1234"));
    QCOMPARE(players.rows[0][5].toString(), QStringLiteral("127.0.0.9"));
    QCOMPARE(players.rows[1][4].toString(), QString()); // STEAM_ID_LAN names nobody

    const QByteArray metrics = metricsText(document, m_test.clock.now());
    QVERIFY(metrics.contains("quorvane_ledger_records_total{kind=\"commands\"} 3\n"));
    QVERIFY(metrics.contains("quorvane_ledger_queue 0\n"));

    // The program prints the same, and exits without polling.
    QProcess program;
    const QString path = options.settings.target.path;
    const auto quorvane = [&](const QStringList& arguments) {
        program.start(QStringLiteral(QUORVANE_BINARY), arguments);
        return program.waitForFinished(20000) ? program.exitCode() : -1;
    };
    QCOMPARE(quorvane({"ledger", "commands", "--json", "--find", "kick", "--ledger", path}), 0);
    const QByteArray printed = program.readAllStandardOutput();
    QCOMPARE(printed.count('\n'), 1);
    QVERIFY(printed.contains("\"answer\":\"Kicked \\\"Bob\\\"\""));
    QVERIFY(!printed.contains(QByteArray::fromStdString(kRcon)));
    QCOMPARE(quorvane({"ledger", "kicks"}), 2);

    // Forgetting a player from the command line: only a whole SteamID or IP is taken.
    const auto forget = [&](const QString& who) { return quorvane({"ledger", "forget", who, "--ledger", path}); };
    QCOMPARE(forget(QStringLiteral("Bob")), 2);
    QCOMPARE(run(LedgerQuery::Kind::Commands).rows[0][4].toString(), QStringLiteral("Kicked \"Bob\""));
    QCOMPARE(forget(QStringLiteral("STEAM_0:1:1234")), 0);
    const auto left = run(LedgerQuery::Kind::Players);
    QCOMPARE(left.rows.size(), std::size_t{1});
    QCOMPARE(left.rows[0][3].toString(), QStringLiteral("Lan"));
    QCOMPARE(forget(QStringLiteral("127.0.0.10")), 0);
    QCOMPARE(run(LedgerQuery::Kind::Players).rows.size(), std::size_t{0});
}

void TestLedgerFeed::documentReadsTheHistoryBack()
{
    QTemporaryDir dir;
    const Ledger::Options options = fileOptions(dir);
    const std::int64_t now = 1'800'000'000;
    m_test.clock.set(now);
    Ledger ledger(options, m_test.clock);
    // A run before this one: a minute an hour ago, and one three days ago (already folded).
    ledger.record(HistoryRecord{now - 3 * 86400, "server 127.0.0.1:27999", 11, 0});
    ledger.record(HistoryRecord{now - 3600, "server 127.0.0.1:27999", 6, 0});
    ledger.record(HistoryRecord{now - 3600, "server 127.0.0.1:27998", 2, 0});
    QVERIFY(ledger.pump());

    CQuorvaneDoc document(m_test.context());
    document.OnNewDocument();
    document.AttachLedger(&ledger);
    QVERIFY(document.AddServer("127.0.0.1", 27999, kRcon, document.m_groups[0].get()));
    const auto feed = [&] { return document.m_feeds.feed("127.0.0.1:27999"); };
    // Read on a thread of its own: the ticks go on meanwhile.
    QVERIFY(QTest::qWaitFor(
        [&] {
            document.TickSecond();
            return feed() && feed()->history.lastDay(now)[PlayerHistory::kMinutes - 61].has_value();
        },
        10000));
    QCOMPARE(feed()->history.lastDay(now)[PlayerHistory::kMinutes - 61], std::optional<int>(6));
    const auto week = feed()->history.lastWeek(now);
    QCOMPARE(week[PlayerHistory::kSpans - 1 - 3 * 144], std::optional<int>(11));
    QCOMPARE(week[PlayerHistory::kSpans - 1 - 6], std::optional<int>(6));
    // An object that joins later gets its history at the next minute.
    QVERIFY(!document.m_feeds.feed("127.0.0.1:27998"));
    QVERIFY(document.AddServer("127.0.0.1", 27998, kRcon, document.m_groups[0].get()));
    tick(document, 60);
    const ObjectFeed* later = document.m_feeds.feed("127.0.0.1:27998");
    QVERIFY(later);
    QCOMPARE(later->history.lastDay(now)[PlayerHistory::kMinutes - 61], std::optional<int>(2));
}

void TestLedgerFeed::uptimeOfDownAndRelayLost()
{
    using LedgerUptime::Event;
    const std::int64_t since = 1000;
    // Down a fifth of the span, back, then lost again for the last tenth.
    QCOMPARE(LedgerUptime::upShare({{1200, true}, {1400, false}, {1900, true}}, since, 2000), 0.7);
    // An end of trouble first: it was in trouble from the start of the span.
    QCOMPARE(LedgerUptime::upShare({{1500, false}}, since, 2000), 0.5);
    // An event before the span sets the state it starts in.
    QCOMPARE(LedgerUptime::upShare({{500, true}, {1250, false}}, since, 2000), 0.75);
    QCOMPARE(LedgerUptime::upShare({}, since, 2000), 1.0);

    // From the rows the document writes: a proxy's lost relay is out of service.
    QTemporaryDir dir;
    const Ledger::Options options = fileOptions(dir);
    Ledger ledger(options, m_test.clock);
    CQuorvaneDoc document(m_test.context());
    document.OnNewDocument();
    document.AttachLedger(&ledger);
    m_test.clock.set(QDateTime::currentSecsSinceEpoch());
    auto* proxy = dynamic_cast<CHLTV*>(
        document.AddProxy("127.0.0.1", 27998, document.m_groups[1].get(), kRcon, "", "127.0.0.1", 27998, true, false));
    QVERIFY(proxy);
    proxy->m_nStatus = CSStatus_CONTROL;
    proxy->m_timeLastReply = m_test.clock.now();
    proxy->m_strWantedUpstream = "127.0.0.1:27015";
    // The proxy answers all along; only its relay is lost for an hour.
    tick(document, 2, proxy);
    proxy->m_timeNotConnectedSince = m_test.clock.now();
    tick(document, 3600, proxy);
    proxy->m_timeNotConnectedSince = 0;
    tick(document, 1, proxy);
    QCOMPARE(proxy->m_nStatus, CSStatus_CONTROL);
    QVERIFY(ledger.pump());
    QString error;
    const auto read = LedgerUptime::read(options.settings.target, m_test.clock.now(), error);
    QVERIFY2(read, qPrintable(error));
    const QString key = QString::fromStdString(LedgerFeed::TypedAddress(*proxy));
    QVERIFY(read->count(key));
    // One hour lost in the day: 95.8 %.
    QVERIFY2(qAbs(read->at(key).day - (1.0 - 3600.0 / 86400.0)) < 0.001, qPrintable(QString::number(read->at(key).day)));
    QVERIFY(read->at(key).week > read->at(key).day);
    // A document opened on the ledger reads it by itself, for the tool tip.
    CQuorvaneDoc reopened(m_test.context());
    reopened.OnNewDocument();
    reopened.AttachLedger(&ledger);
    CCommonObject* again =
        reopened.AddProxy("127.0.0.1", 27998, reopened.m_groups[1].get(), kRcon, "", "127.0.0.1", 27998, true, false);
    QVERIFY(QTest::qWaitFor(
        [&] {
            reopened.TickSecond();
            return !reopened.UptimeText(*again).empty();
        },
        5000));
    QCOMPARE(reopened.UptimeText(*again), std::string("Uptime: 95.8 % (24 h), 99.4 % (7 days)"));
}

QTEST_GUILESS_MAIN(TestLedgerFeed)
void TestLedgerFeed::aLargeParksMinuteIsSpreadOverTheMinute_data()
{
    QTest::addColumn<int>("slices");
    QTest::addRow("the whole second at once") << 1;
    QTest::addRow("the window's twenty slices") << 20;
}

void TestLedgerFeed::aLargeParksMinuteIsSpreadOverTheMinute()
{
    QFETCH(int, slices);
    // 120 answering servers: their sightings and history come two a second,
    // never all of them in one pause of the window.
    QTemporaryDir dir;
    const Ledger::Options options = fileOptions(dir);
    Ledger ledger(options, m_test.clock);
    CQuorvaneDoc document(m_test.context());
    document.OnNewDocument();
    document.AttachLedger(&ledger);
    std::vector<CHLServer*> servers;
    for (int i = 0; i < 120; ++i)
    {
        auto* server = dynamic_cast<CHLServer*>(document.AddServer("127.0.0.1", 30000 + i, kRcon, document.m_groups[0].get()));
        QVERIFY(server);
        server->m_nStatus = CSStatus_CONTROL;
        server->m_statusPlayers = {Player(2, "P" + std::to_string(i), "STEAM_0:0:" + std::to_string(i), "127.0.0.9:27005")};
        servers.push_back(server);
    }
    const auto written = [&ledger](LedgerStats::Kind kind) { return ledger.stats().written[kind].load(); };
    // Seen first in the middle of a minute.
    m_test.clock.set(1'800'000'000 - 1'800'000'000 % 60 + 29);
    for (int second = 0; second < 120; ++second)
    {
        for (CHLServer* server : servers)
            server->m_timeLastReply = m_test.clock.now() + 1;
        m_test.clock.advance(1);
        for (int slice = 0; slice < slices; ++slice)
            document.TickSlice(slice, slices);
        QVERIFY(ledger.pump());
        const auto expected = static_cast<std::uint64_t>(2 * (second + 1));
        QCOMPARE(written(LedgerStats::History), expected);
        QCOMPARE(written(LedgerStats::Sightings), expected);
    }
    document.AttachLedger(nullptr);
}

#include "tst_ledgerfeed.moc"
