// View, Ledger against a real SQLite ledger: the four lists, the filter,
// the date range, sorting, CSV bytes, picking a row's object on the canvas,
// and forgetting a player.
#include "layout/CQuorvaneDoc.h"
#include "ledger/Ledger.h"
#include "objects/CHLServer.h"
#include "support/TestBytes.h"
#include "support/TestContext.h"
#include "ui/CControlView.h"
#include "ui/CMainFrame.h"
#include "ui/LedgerDock.h"
#include "ui/LedgerTableModel.h"

#include <QAction>
#include <QCheckBox>
#include <QDateTimeEdit>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSettings>
#include <QSignalSpy>
#include <QSortFilterProxyModel>
#include <QStandardPaths>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

using Kind = LedgerQuery::Kind;

namespace {
// 2026-12-07 00:00:00 UTC.
constexpr std::int64_t kDay = 1796601600;

} // namespace

class TestLedgerWindow : public QObject
{
    Q_OBJECT

    TestContext env;
    QTemporaryDir dir;
    std::unique_ptr<Ledger> ledger;
    std::unique_ptr<CQuorvaneDoc> doc;
    std::unique_ptr<CMainFrame> frame;
    QString path;

    CHLServer* addServer(int port)
    {
        auto server = std::make_unique<CHLServer>(env.context());
        server->m_strAddress = "127.0.0.1";
        server->m_nPort = port;
        server->m_pGroup = doc->m_groups[0].get();
        CHLServer* placed = server.get();
        doc->m_objects.push_back(std::move(server));
        doc->UpdateAllViews(CQuorvaneDoc::HintLayout);
        return placed;
    }

    LedgerDock* dock() const { return frame->ledgerDock(); }
    bool showing(Kind kind) { dock()->show(); dock()->showKind(kind); return refreshed(); }

    // Asks again and waits for the answer from the browser's thread.
    bool refreshed()
    {
        QSignalSpy answered(dock(), &LedgerDock::refreshed);
        dock()->Refresh();
        return (!answered.isEmpty() || answered.wait(5000)) && !dock()->busy();
    }

    int columnOf(Kind kind, const char* key) const
    {
        const auto columns = LedgerTableModel::ColumnsFor(kind);
        for (std::size_t c = 0; c < columns.size(); ++c)
            if (columns[c].key == QLatin1String(key))
                return static_cast<int>(c);
        return -1;
    }

    QVariant data(Kind kind, int row, const char* key, int role = Qt::DisplayRole) const
    {
        return dock()->sorted(kind).index(row, columnOf(kind, key)).data(role);
    }
    QString cell(Kind kind, int row, const char* key) const { return data(kind, row, key).toString(); }
    int rows(Kind kind) const { return dock()->sorted(kind).rowCount(); }

    void write(LedgerRecord record) { ledger->record(std::move(record)); }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QVERIFY(dir.isValid());
    }

    void init()
    {
        QSettings(QStringLiteral("Quorvane"), QStringLiteral("Quorvane")).clear();
        env.op = ScriptedOperator{};
        env.clock.set(kDay + 12 * 3600);
        path = dir.filePath(QStringLiteral("ledger-%1.sqlite").arg(QTest::currentTestFunction()));
        Ledger::Options options;
        options.settings.target.path = path;
        options.settings.instance = QStringLiteral("test");
        options.threaded = false;
        ledger = std::make_unique<Ledger>(options, env.clock);
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        doc->AttachLedger(ledger.get());
        frame = std::make_unique<CMainFrame>(*doc, new CControlView(*doc));
        frame->resize(1000, 760);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));

        const std::string cup = "server 127.0.0.1:27015", side = "server 127.0.0.1:27016";
        write(MatchRecord{cup, "de_dust2", "Red vs Blue", "0:0 3:1 16:9", kDay + 3600, kDay + 7200,
                          "proxy 127.0.0.1:27020", "cup-1207-de_dust2.dem", "finished"});
        write(MatchRecord{side, "de_nuke", "Green vs Gold", "0:0", kDay + 9000, 0, "", "", ""});
        DemoFileRecord demo;
        demo.at = kDay + 7300;
        demo.matchObject = cup;
        demo.matchStarted = kDay + 3600;
        demo.proxy = "proxy 127.0.0.1:27020";
        demo.remoteName = "cup-1207-de_dust2.dem";
        demo.fileName = "2026-12-07_1h00_Cup_de_dust2_Red-vs-Blue.dem";
        demo.size = 12'345'678;
        demo.state = "kept";
        write(demo);
        write(SightingRecord{kDay + 3700, cup, "Bob", "STEAM_0:1:42", "127.0.0.9"});
        write(SightingRecord{kDay + 9100, side, "Bobby", "STEAM_0:1:42", "127.0.0.9"});
        write(SightingRecord{kDay + 3800, cup, "<b>Eve</b>", "", "127.0.0.77"});
        write(CommandRecord{kDay + 4000, "op", cup, "kick #3 (Bob)", {}, "Kicked \"Bob\""});
        write(CommandRecord{kDay + 5000, "op", cup, "say hi, all", {}, "@SUM(A1)\nline two"});
        write(CommandRecord{kDay + 6000, "op", side, "status", {}, "no answer"});
        write(AvailabilityRecord{kDay + 8000, side, "down", 0});
        write(AvailabilityRecord{kDay + 8600, side, "up", 600});
        QVERIFY(ledger->pump());
    }

    void cleanup()
    {
        frame.reset();
        doc.reset();
        ledger.reset();
    }

    void listsFilterSortAndExport()
    {
        frame->findChild<QAction*>(QStringLiteral("ledgerAction"))->trigger();
        QVERIFY(dock()->isVisible());
        QCOMPARE(frame->findChild<QAction*>(QStringLiteral("ledgerAction"))->shortcut(),
                 QKeySequence(Qt::CTRL | Qt::Key_L));

        // Matches, newest first, with the demo names.
        QVERIFY(refreshed());
        QCOMPARE(rows(Kind::Matches), 2);
        QCOMPARE(cell(Kind::Matches, 0, "map"), QStringLiteral("de_nuke"));
        QCOMPARE(cell(Kind::Matches, 0, "ended"), QString()); // still running
        QCOMPARE(cell(Kind::Matches, 1, "demos"), QStringLiteral("cup-1207-de_dust2.dem"));
        // ...and what became of each demo file.
        QCOMPARE(cell(Kind::Matches, 1, "files"),
                 QStringLiteral("2026-12-07_1h00_Cup_de_dust2_Red-vs-Blue.dem (12.3 MB, kept)"));
        QCOMPARE(cell(Kind::Matches, 0, "files"), QString());

        // Players: one row per SteamID, with every name and server; remote text stays text.
        QVERIFY(showing(Kind::Players));
        QCOMPARE(rows(Kind::Players), 2);
        QCOMPARE(dock()->sorted(Kind::Players).index(0, 0).data().toString(), QStringLiteral("STEAM_0:1:42"));
        QCOMPARE(cell(Kind::Players, 0, "names"), QStringLiteral("Bobby, Bob"));
        QCOMPARE(cell(Kind::Players, 0, "servers"), QStringLiteral("server 127.0.0.1:27016, server 127.0.0.1:27015"));
        QCOMPARE(cell(Kind::Players, 1, "names"), QStringLiteral("<b>Eve</b>"));
        const QString tip = data(Kind::Players, 1, "names", Qt::ToolTipRole).toString();
        QVERIFY2(tip.contains(QLatin1String("&lt;b&gt;Eve")) && !tip.contains(QLatin1String("<b>")), qPrintable(tip));

        // The filter finds the player by one name; the row still holds both.
        dock()->filterEdit()->setText(QStringLiteral("bob"));
        QVERIFY(refreshed());
        QCOMPARE(rows(Kind::Players), 1);
        QCOMPARE(cell(Kind::Players, 0, "names"), QStringLiteral("Bobby, Bob"));
        dock()->filterEdit()->clear();

        // The date range: from 01:20 until 01:40 holds only the kick.
        QVERIFY(showing(Kind::Commands));
        QCOMPARE(rows(Kind::Commands), 3);
        dock()->fromEdit()->setDateTime(QDateTime::fromSecsSinceEpoch(kDay + 4800));
        dock()->fromCheck()->setChecked(true);
        QVERIFY(refreshed());
        QCOMPARE(rows(Kind::Commands), 2);
        dock()->untilEdit()->setDateTime(QDateTime::fromSecsSinceEpoch(kDay + 5400));
        dock()->untilCheck()->setChecked(true);
        QVERIFY(refreshed());
        QCOMPARE(rows(Kind::Commands), 1);
        QCOMPARE(cell(Kind::Commands, 0, "answer"), QStringLiteral("@SUM(A1) \u23CE line two"));
        dock()->fromCheck()->setChecked(false);
        dock()->untilCheck()->setChecked(false);
        QVERIFY(refreshed());

        // Sorting by a column, both ways.
        QTableView* table = dock()->table(Kind::Commands);
        table->sortByColumn(columnOf(Kind::Commands, "text"), Qt::AscendingOrder);
        QCOMPARE(cell(Kind::Commands, 0, "text"), QStringLiteral("kick #3 (Bob)"));
        QCOMPARE(cell(Kind::Commands, 2, "text"), QStringLiteral("status"));
        table->sortByColumn(columnOf(Kind::Commands, "text"), Qt::DescendingOrder); // as the CSV shows

        // CSV in the shown order: times in UTC, quotes doubled, formulas defused.
        const QByteArray csv = dock()->CsvBytes();
        QCOMPARE(csv, QByteArray("Time,User,Object,Command,Answer,Kept by\r\n"
                                 "2026-12-07T01:40:00Z,op,server 127.0.0.1:27016,status,no answer,test\r\n"
                                 "2026-12-07T01:23:20Z,op,server 127.0.0.1:27015,\"say hi, all\","
                                 "\"'@SUM(A1)\nline two\",test\r\n"
                                 "2026-12-07T01:06:40Z,op,server 127.0.0.1:27015,kick #3 (Bob),"
                                 "\"Kicked \"\"Bob\"\"\",test\r\n"));
        QString error;
        const QString csvPath = dir.filePath(QStringLiteral("commands.csv"));
        QVERIFY2(dock()->ExportCsv(csvPath, error), qPrintable(error));
        QCOMPARE(fileBytes(csvPath), csv);
        QVERIFY(!dock()->ExportCsv(dir.filePath(QStringLiteral("no/such/folder/x.csv")), error));

        // The availability list shows durations.
        QVERIFY(showing(Kind::Availability));
        QCOMPARE(cell(Kind::Availability, 0, "duration"), QStringLiteral("00:10:00"));
    }

    void doubleClickPicksTheObject()
    {
        CHLServer* cup = addServer(27015);
        CHLServer* side = addServer(27016);
        QVERIFY(showing(Kind::Availability));
        QTableView* table = dock()->table(Kind::Availability);
        const QRect rect = table->visualRect(dock()->sorted(Kind::Availability).index(0, 1));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
        QVERIFY(!doc->m_pSelectedObject); // a click only selects the row
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(doc->m_pSelectedObject, side);

        // A player's row picks the server last seen on.
        QVERIFY(showing(Kind::Players));
        dock()->PickRow(1); // Eve, seen on the cup server only
        QCOMPARE(doc->m_pSelectedObject, cup);

        // An object no longer in the layout is said so, nothing is picked.
        doc->m_pSelectedObject = nullptr;
        doc->m_objects.clear();
        doc->UpdateAllViews(CQuorvaneDoc::HintLayout);
        dock()->PickRow(1);
        QVERIFY(!doc->m_pSelectedObject);
        QVERIFY(dock()->statusLabel()->text().contains(QLatin1String("127.0.0.1:27015")));
    }

    void forgetPlayerAsksThenRemoves()
    {
        QVERIFY(showing(Kind::Players));
        QTableView* table = dock()->table(Kind::Players);
        QVERIFY(!dock()->forgetButton()->isEnabled());
        table->selectRow(0);
        QVERIFY(dock()->forgetButton()->isEnabled());

        // Asked, and told no: nothing changes.
        env.op.yesNoAnswers = {false};
        dock()->forgetButton()->click();
        QCOMPARE(env.op.questions.size(), std::size_t{1});
        QVERIFY(env.op.questions[0].find("STEAM_0:1:42") != std::string::npos);
        QCOMPARE(rows(Kind::Players), 2);

        env.op.yesNoAnswers = {true};
        dock()->forgetButton()->click();
        QCOMPARE(rows(Kind::Players), 1);
        QVERIFY(ledger->pump());
        QVERIFY(refreshed());
        QCOMPARE(rows(Kind::Players), 1);
        QCOMPARE(dock()->sorted(Kind::Players).index(0, 0).data().toString(), QStringLiteral("127.0.0.77"));

        // Nowhere in the file, its write-ahead log included.
        const QByteArray steamId("STEAM_0:1:42");
        QVERIFY(!fileBytes(path).contains(steamId));
        QVERIFY(!fileBytes(path + QStringLiteral("-wal")).contains(steamId));

        // A player known by name alone cannot be forgotten by SteamID or IP.
        QVERIFY(!dock()->forgetButton()->isEnabled());
    }

    void ledgerMissingOrUnreadable()
    {
        // A ledger that cannot be read is said so; the window does not wait for it.
        QVERIFY(QFile::remove(path));
        QFile::remove(path + QStringLiteral("-wal"));
        QFile::remove(path + QStringLiteral("-shm"));
        dock()->show();
        QVERIFY(refreshed());
        QVERIFY2(dock()->statusLabel()->text().contains(QLatin1String("cannot be read")),
                 qPrintable(dock()->statusLabel()->text()));

        doc->AttachLedger(nullptr);
        QVERIFY(refreshed());
        QVERIFY(dock()->statusLabel()->text().startsWith(QLatin1String("No ledger is kept")));
    }
};

QTEST_MAIN(TestLedgerWindow)
#include "tst_ledgerwindow.moc"
