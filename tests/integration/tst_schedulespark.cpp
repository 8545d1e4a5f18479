// Schedules end to end against the simulated park on the injected clock:
// warnings and runs at their seconds, in the ledger's command trail and on
// the machines; every N minutes; a match end; kept across a restart; and
// the same from the window's Schedules dock and dialog.
#include "layout/CQuorvaneDoc.h"
#include "layout/ScheduleRunner.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerQuery.h"
#include "objects/CHLServer.h"
#include "support/LedgerLines.h"
#include "support/SimulatedPark.h"
#include "support/TestContext.h"
#include "support/TickUntil.h"
#include "ui/CScheduleDlg.h"
#include "ui/ScheduleDock.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>

namespace {

const char* const kParkConfig = R"({
  "seed": 5,
  "servers": [
    {"hostname": "Cup", "rcon": "secret", "players": 2, "moves": false,
     "match": {"state": 2, "team_a": "Red", "team_b": "Blue", "moves": false}},
    {"hostname": "Pub", "rcon": "secret", "players": 1, "moves": false}
  ]
})";

using Rows = std::vector<std::pair<std::int64_t, QString>>; // (second, text) of the command trail

} // namespace

class TestSchedulesPark : public QObject
{
    Q_OBJECT

    TestContext env;
    SimulatedPark park;
    QTemporaryDir dir;
    std::unique_ptr<Ledger> ledger;
    std::unique_ptr<CQuorvaneDoc> doc;
    std::unique_ptr<ScheduleRunner> runner;
    std::vector<CHLServer*> servers;
    std::vector<std::string> names;

    void open()
    {
        runner.reset();
        doc.reset();
        Ledger::Options options;
        options.settings.target.path = dir.filePath(QStringLiteral("ledger.sqlite"));
        options.settings.instance = QStringLiteral("test/headless");
        options.threaded = false;
        ledger = std::make_unique<Ledger>(options, env.clock);
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        doc->KeepHistory(false); // as headless mode runs it
        doc->AttachLedger(ledger.get());
        runner = std::make_unique<ScheduleRunner>(*doc);
        servers.clear();
        names.clear();
        for (int i = 0; i < 2; ++i) {
            servers.push_back(static_cast<CHLServer*>(
                doc->AddServer("127.0.0.1", park.serverPorts()[i], "secret", doc->m_groups[0].get())));
            names.push_back(servers.back()->GetName());
        }
        QVERIFY(::tickUntil(
            env.clock, *doc,
            [&] {
                return runner->loaded() && std::all_of(servers.begin(), servers.end(), [](CHLServer* s) {
                           return s->m_nStatus == CSStatus_CONTROL;
                       });
            },
            12));
    }
    // One tick a second up to `until`, replies let in as they come.
    void tickTo(std::int64_t until)
    {
        while (env.clock.now() < until) {
            env.clock.advance(1);
            doc->TickSecond();
            QTest::qWait(10); // the polls' replies, so that the machines stay under rcon
        }
    }
    // The command trail: (second, text) of the rows whose text holds `part`, and their
    // answers. A command is written once its answer is in, a few seconds after it was sent.
    Rows trail(const QString& part, std::vector<QString>* answers = nullptr)
    {
        ledger->pump();
        QString error;
        LedgerQuery::Filter filter;
        filter.find = part;
        const auto table = LedgerQuery::run(ledger->target(), LedgerQuery::Kind::Commands, filter, error);
        Rows rows;
        // Rows whose answer only holds it (a command answered by the chat line) are not its rows.
        for (const auto& row : table.value_or(LedgerQuery::Table{}).rows) {
            if (!row[3].toString().contains(part))
                continue;
            rows.emplace_back(row[0].toLongLong(), row[3].toString());
            if (answers)
                answers->push_back(row[4].toString());
        }
        return rows;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(dir.isValid());
        QVERIFY2(park.startWithConfig(kParkConfig), qPrintable(park.errorString()));
    }

    void warningsAndRunAtTheirSecondsAndKept()
    {
        open();
        const std::int64_t t0 = env.clock.now();
        Schedule live;
        live.command = "say Live soon";
        live.machines = names;
        live.rule = {ScheduleRule::Kind::At, t0 + 360, 0, {5, 1}};
        QVERIFY(!runner->Add(live));
        Schedule every;
        every.command = "status";
        every.machines = {names[1]};
        every.rule = {ScheduleRule::Kind::Every, t0 + 120, 2, {}};
        QVERIFY(!runner->Add(every));
        tickTo(t0 + 360 + LedgerFeed::kAnswerSeconds + 1);
        const QString five = QStringLiteral("say say Live soon in 5 minutes");
        const QString one = QStringLiteral("say say Live soon in 1 minute");
        const QString run = QStringLiteral("say Live soon");
        std::vector<QString> answers;
        QCOMPARE(trail(QStringLiteral("Live soon"), &answers),
                 (Rows{{t0 + 60, five}, {t0 + 60, five}, {t0 + 300, one}, {t0 + 300, one}, {t0 + 360, run},
                       {t0 + 360, run}}));
        QCOMPARE(trail(QStringLiteral("status")),
                 (Rows{{t0 + 120, "status"}, {t0 + 240, "status"}, {t0 + 360, "status"}}));
        // The machines heard them: each answered with its chat line.
        QCOMPARE(answers.size(), std::size_t{6});
        for (const QString& answer : answers)
            QVERIFY2(answer.contains(QLatin1String("Live soon")), qPrintable(answer));
        const Schedule* done = runner->schedules().Find(1);
        QVERIFY(done);
        QCOMPARE(done->lastRun, t0 + 360);
        QCOMPARE(done->lastResult, std::string("sent to 2 of 2"));

        // Kept in the ledger: a restart takes both back, the every-N one goes on at its time.
        ledger->pump();
        open();
        QCOMPARE(runner->schedules().schedules().size(), std::size_t{2});
        QCOMPARE(runner->schedules().Find(1)->lastResult, std::string("sent to 2 of 2"));
        QCOMPARE(runner->schedules().Find(2)->nextRun, t0 + 480);
        // A shell sees them as the window does; --object keeps those that run on that machine.
        const QString path = ledger->target().path;
        QCOMPARE(ledgerLines(QStringLiteral("schedules"), path).size(), 2);
        const auto on = [&](const std::string& name) {
            return ledgerLines(QStringLiteral("schedules"), path, {QStringLiteral("--object"), QString::fromStdString(name)});
        };
        const QList<QJsonObject> first = on(names[0]);
        QCOMPARE(first.size(), 1);
        QCOMPARE(first[0].value(QStringLiteral("command")).toString(), QStringLiteral("say Live soon"));
        QVERIFY2(first[0].value(QStringLiteral("rule")).toString().endsWith(QLatin1String(", warns 5 and 1 min before")),
                 qPrintable(first[0].value(QStringLiteral("rule")).toString()));
        QCOMPARE(first[0].value(QStringLiteral("last_result")).toString(), QStringLiteral("sent to 2 of 2"));
        const QList<QJsonObject> second = on(names[1]);
        QCOMPARE(second.size(), 2);
        QVERIFY(std::any_of(second.begin(), second.end(), [](const QJsonObject& row) {
            return row.value(QStringLiteral("command")) == QStringLiteral("status") &&
                   row.value(QStringLiteral("rule")) == QStringLiteral("every 2 min");
        }));
        tickTo(t0 + 480 + LedgerFeed::kAnswerSeconds + 1);
        QCOMPARE(trail(QStringLiteral("status")).back().first, t0 + 480);
        QVERIFY(runner->Remove(2));
        ledger->pump();
        open();
        QCOMPARE(runner->schedules().schedules().size(), std::size_t{1});
        QVERIFY(runner->Remove(1));
        ledger->pump();
    }

    void whenTheMatchEnds()
    {
        open();
        QVERIFY(::tickUntil(env.clock, *doc, [&] { return servers[0]->m_bMatchRunning; }, 12));
        Schedule after;
        after.command = "say Well played";
        after.machines = names;
        after.rule.kind = ScheduleRule::Kind::MatchEnd;
        QVERIFY(!runner->Add(after));
        tickTo(env.clock.now() + 10);
        QVERIFY(trail(QStringLiteral("Well played")).empty());
        QVERIFY(ParkProbe(park.serverPorts()[0]).control("sim_match 0"));
        QVERIFY(::tickUntil(env.clock, *doc, [&] { return !servers[0]->m_bMatchRunning; }, 12));
        const std::int64_t ended = env.clock.now();
        tickTo(ended + 1 + LedgerFeed::kAnswerSeconds + 1);
        const auto rows = trail(QStringLiteral("Well played"));
        QCOMPARE(rows.size(), std::size_t{1}); // on the server whose match ended, not the other
        QCOMPARE(rows[0].first, ended + 1);    // the first tick after the report said so
        const Schedule& schedule = runner->schedules().schedules().front();
        QCOMPARE(schedule.lastResult, std::string("sent to 1 of 1"));
        QVERIFY(runner->Remove(schedule.id));
        ledger->pump();
    }

    void fromTheWindow()
    {
        open();
        doc->SetSelection(doc->m_groups[0].get(), nullptr); // the group stands for its machines
        ScheduleDock dock(*doc, *runner);
        dock.show();
        QVERIFY(dock.addForPicked());
        auto* dialog = dock.findChild<CScheduleDlg*>();
        QVERIFY(dialog);
        dialog->commandEdit()->setText(QStringLiteral("say From the window"));
        dialog->ruleCombo()->setCurrentIndex(CScheduleDlg::InMinutes);
        dialog->minutesSpin()->setValue(2);
        dialog->warningsEdit()->setText(QStringLiteral("1, x"));
        QVERIFY(!dialog->addSchedule()); // not a number: said in the dialog
        QVERIFY(!dialog->errorLabel()->text().isEmpty());
        dialog->warningsEdit()->setText(QStringLiteral("1441"));
        QVERIFY(!dialog->addSchedule()); // the runner's refusal, shown in the dialog
        QVERIFY(dialog->errorLabel()->text().contains(QLatin1String("1 to 1440 minutes")));
        dialog->warningsEdit()->setText(QStringLiteral("1"));
        const std::int64_t t0 = env.clock.now();
        QVERIFY(dialog->addSchedule());
        QCOMPARE(dock.table()->rowCount(), 1);
        const auto cell = [&](int column) { return dock.table()->item(0, column)->text(); };
        QCOMPARE(cell(ScheduleDock::CommandColumn), QStringLiteral("say From the window"));
        QVERIFY(cell(ScheduleDock::MachinesColumn).contains(QLatin1String("and 1 more")));
        QVERIFY(cell(ScheduleDock::RuleColumn).contains(QLatin1String("warns 1 min before")));
        tickTo(t0 + 120 + LedgerFeed::kAnswerSeconds + 1);
        const QString warning = QStringLiteral("say say From the window in 1 minute");
        const QString run = QStringLiteral("say From the window");
        QCOMPARE(trail(QStringLiteral("From the window")),
                 (Rows{{t0 + 60, warning}, {t0 + 60, warning}, {t0 + 120, run}, {t0 + 120, run}}));
        QVERIFY(cell(ScheduleDock::LastResultColumn).endsWith(QLatin1String("sent to 2 of 2")));
        dock.table()->selectRow(0);
        dock.deleteSelected();
        QCOMPARE(dock.table()->rowCount(), 0);
        QVERIFY(runner->schedules().schedules().empty());
    }
};

QTEST_MAIN(TestSchedulesPark)
#include "tst_schedulespark.moc"
