// The window's actions on many machines against the simulated park: picking
// several boxes, the results of a send to many, the Variables page, the chat
// line, Change Map and the presets dialog.
#include "layout/CQuorvaneDoc.h"
#include "objects/CHLServer.h"
#include "support/SimulatedPark.h"
#include "support/TestContext.h"
#include "support/TickUntil.h"
#include "ui/CChangeMapDlg.h"
#include "ui/CControlView.h"
#include "ui/CPresetsDlg.h"
#include "ui/CQuorvaneView.h"
#include "ui/CSendToManyDlg.h"

#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

const char* const kParkConfig = R"({
  "seed": 3,
  "servers": [
    {"hostname": "One", "rcon": "secret", "players": 1, "moves": false,
     "maps": ["de_dust2", "de_nuke", "<b>bold</b>", "cs_office"],
     "rules": {"a_markup": "<b>loud</b>"}},
    {"hostname": "Two", "rcon": "secret", "players": 1, "moves": false},
    {"hostname": "Three", "rcon": "secret", "players": 1, "moves": false}
  ]
})";

} // namespace

class TestParkUi : public QObject
{
    Q_OBJECT

    TestContext env;
    SimulatedPark park;
    std::unique_ptr<CQuorvaneDoc> doc;
    std::unique_ptr<CQuorvaneView> canvas;
    std::unique_ptr<CControlView> panel;

    CHLServer* server(int index) const { return static_cast<CHLServer*>(doc->m_objects[index].get()); }
    QPoint boxOf(int index) const { return canvas->toViewport(server(index)->m_rcBox.center()); }

    template <class Done> bool tickUntil(Done done, int maxTicks)
    {
        return ::tickUntil(env.clock, *doc, done, maxTicks);
    }

    bool allControlled()
    {
        const auto controlled = [](const auto& o) { return o->m_nStatus == CSStatus_CONTROL; };
        return tickUntil([&] { return std::all_of(doc->m_objects.begin(), doc->m_objects.end(), controlled); }, 12);
    }

    QTabWidget* pages() const { return panel->findChild<QTabWidget*>(QStringLiteral("consolePages")); }

private slots:
    void initTestCase() { QVERIFY2(park.startWithConfig(kParkConfig), qPrintable(park.errorString())); }

    void init()
    {
        env.op = ScriptedOperator{};
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        for (const quint16 port : park.serverPorts())
            doc->AddServer("127.0.0.1", port, "secret", doc->m_groups[0].get());
        canvas = std::make_unique<CQuorvaneView>(*doc);
        canvas->resize(900, 500);
        canvas->show();
        panel = std::make_unique<CControlView>(*doc);
        panel->show();
        QVERIFY(QTest::qWaitForWindowExposed(canvas.get()));
    }

    void cleanup()
    {
        panel.reset();
        canvas.reset();
        doc.reset();
    }

    void ctrlClickAndRubberBandPickMany()
    {
        QWidget* viewport = canvas->viewport();
        auto* picked = panel->findChild<QLabel*>(QStringLiteral("pickedLabel"));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, boxOf(0));
        QCOMPARE(doc->m_pSelectedObject, server(0));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, boxOf(2));
        QCOMPARE(doc->PickedMachines(), (std::vector<CCommonObject*>{server(0), server(2)}));
        QCOMPARE(picked->text(), QStringLiteral("2 machines picked"));
        // Ctrl+click again takes it out; a plain click picks one again.
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::ControlModifier, boxOf(2));
        QCOMPARE(doc->PickedMachines().size(), std::size_t(1));
        QCOMPARE(picked->text(), QString());

        // A rubber band around every box, from a spot outside them.
        QRect all;
        for (const auto& object : doc->m_objects)
            all |= object->m_rcBox.toQRect();
        const QPoint from = canvas->toViewport(all.topLeft() - QPoint(4, 4));
        const QPoint to = canvas->toViewport(all.bottomRight() + QPoint(4, 4));
        QTest::mousePress(viewport, Qt::LeftButton, Qt::ControlModifier, from);
        QMouseEvent move(QEvent::MouseMove, to, viewport->mapToGlobal(to), Qt::NoButton, Qt::LeftButton,
                         Qt::ControlModifier);
        QApplication::sendEvent(viewport, &move);
        QTest::mouseRelease(viewport, Qt::LeftButton, Qt::ControlModifier, to);
        QCOMPARE(doc->PickedMachines().size(), std::size_t(3));
        QCOMPARE(picked->text(), QStringLiteral("3 machines picked"));
        QTest::mouseClick(viewport, Qt::LeftButton, Qt::NoModifier, boxOf(1));
        QCOMPARE(doc->PickedMachines(), (std::vector<CCommonObject*>{server(1)}));
    }

    void resultsTableFillsAsAnswersComeAndVariablesArePlainText()
    {
        QVERIFY(allControlled());
        doc->SetSelection(doc->m_groups[0].get(), nullptr);
        CSendToManyDlg dialog(*doc);
        dialog.setCommands(QStringLiteral("say hello\n\n  "));
        QVERIFY(dialog.send());
        QTableWidget* table = dialog.results();
        QCOMPARE(table->rowCount(), 3);
        const auto answered = [table](int row) {
            return table->item(row, 1) && table->item(row, 1)->text() == QLatin1String("answered");
        };
        QVERIFY(tickUntil([&] { return answered(0) && answered(1) && answered(2); }, 6));
        QCOMPARE(table->item(0, 2)->text(), QStringLiteral("Console: hello"));
        QVERIFY(dialog.findChild<QLabel*>(QStringLiteral("resultsSummary"))->text().startsWith(QLatin1String("3 answered")));

        // Ctrl+Shift+Enter in the command line hands the line on for every picked machine.
        auto* command = panel->findChild<QLineEdit*>(QStringLiteral("commandEdit"));
        doc->SetSelection(nullptr, server(0));
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        QSignalSpy asked(panel.get(), &CControlView::sendToManyRequested);
        command->setText(QStringLiteral("mp_freezetime 6"));
        QTest::keyClick(command, Qt::Key_Return, Qt::ControlModifier | Qt::ShiftModifier);
        QCOMPARE(asked.size(), 1);
        QCOMPARE(asked[0][0].toString(), QStringLiteral("mp_freezetime 6"));
        QVERIFY(command->text().isEmpty());

        // The Variables page shows the rules as plain text.
        auto* rules = panel->findChild<QTableWidget*>(QStringLiteral("variablesTable"));
        pages()->setCurrentWidget(panel->findChild<QWidget*>(QStringLiteral("variablesPage")));
        QCOMPARE(doc->parkConsole().variables.shown(), server(0));
        QVERIFY(tickUntil([&] { return rules->rowCount() == 9; }, 3));
        QCOMPARE(rules->item(0, 1)->text(), QStringLiteral("<b>loud</b>"));

        // Hostile bytes: control characters written out, long values cut.
        replies::Rules hostile;
        hostile.entries = {{"bell\x07", std::string(1000, 'v')}, {"esc", "\x1b[31mred"}};
        hostile.complete = true;
        server(0)->m_rules = hostile;
        server(0)->m_timeRules += 1;
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        QCOMPARE(rules->rowCount(), 2);
        QCOMPARE(rules->item(0, 0)->text(), QStringLiteral("bell\\x07"));
        QVERIFY(rules->item(0, 1)->text().size() <= 200);
        QCOMPARE(rules->item(1, 1)->text(), QStringLiteral("\\x1b[31mred"));

        // The filter, and a double-click that edits a value (an unsafe one never leaves).
        auto* filter = panel->findChild<QLineEdit*>(QStringLiteral("variablesFilter"));
        filter->setText(QStringLiteral("ESC"));
        QCOMPARE(rules->rowCount(), 1);
        env.op.lineAnswers = {std::string("1; quit")};
        panel->EditVariable(0);
        QCOMPARE(env.op.messages.size(), std::size_t(1));
        QCOMPARE(env.op.prompts.size(), std::size_t(1));

        // Another page in front: nothing is asked any more.
        pages()->setCurrentIndex(0);
        QCOMPARE(doc->parkConsole().variables.shown(), nullptr);
    }

    void chatLineSaysToThePickedAndChangeMapChanges()
    {
        QVERIFY(allControlled());
        doc->SetSelection(doc->m_groups[0].get(), nullptr);
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        auto* chat = panel->findChild<QLineEdit*>(QStringLiteral("chatEdit"));
        QVERIFY(chat->isEnabled());
        chat->setText(QStringLiteral("gl hf; quit"));
        QTest::keyClick(chat, Qt::Key_Return);
        QCOMPARE(env.op.messages.size(), std::size_t(1));
        QCOMPARE(chat->text(), QStringLiteral("gl hf; quit"));
        QVERIFY(doc->parkConsole().sending.rows().empty());
        chat->setText(QStringLiteral("gl hf"));
        QTest::keyClick(chat, Qt::Key_Return);
        QVERIFY(chat->text().isEmpty());
        const SendToMany& sending = doc->parkConsole().sending;
        QCOMPARE(sending.commands(), (std::vector<std::string>{"say gl hf"}));
        QVERIFY(tickUntil([&] { return sending.count(SendToMany::State::Answered) == 3; }, 6));

        // Change Map lists the server's maps, filters them and changes to the one chosen.
        doc->SetSelection(nullptr, server(0));
        CChangeMapDlg dialog(*doc);
        QSignalSpy sent(&dialog, &CChangeMapDlg::sent);
        QVERIFY(tickUntil([&] { return dialog.maps()->count() == 3; }, 3));
        dialog.setFilter(QStringLiteral("NUK"));
        QCOMPARE(dialog.maps()->count(), 1);
        dialog.maps()->setCurrentRow(0);
        QVERIFY(dialog.changeToSelected());
        QCOMPARE(sent.size(), 1);
        QVERIFY(tickUntil([&] { return server(0)->m_strMap == "de_nuke"; }, 7));
    }

    void presetsAreMadeAndCarried()
    {
        QTemporaryDir dir;
        PresetBook empty;
        CPresetsDlg dialog(empty);
        dialog.findChild<QLineEdit*>(QStringLiteral("presetName"))->setText(QStringLiteral("Go live"));
        dialog.findChild<QPlainTextEdit*>(QStringLiteral("presetCommands"))
            ->setPlainText(QStringLiteral("mp_freezetime 6\nexec live.cfg\n\nsv_restart 1"));
        QVERIFY(dialog.keepEdited());
        QCOMPARE(dialog.book().Find("Go live")->commands.size(), std::size_t(3));
        QCOMPARE(dialog.findChild<QListWidget*>(QStringLiteral("presetList"))->count(), 1);
        const QString path = dir.filePath(QStringLiteral("presets.json"));
        QVERIFY(dialog.exportFile(path));
        CPresetsDlg other(empty);
        QVERIFY(other.importFile(path));
        QCOMPARE(other.book().Find("Go live")->commands[1], std::string("exec live.cfg"));
    }
};

QTEST_MAIN(TestParkUi)
#include "tst_parkui.moc"
