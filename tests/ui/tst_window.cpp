// The main window on screens of every kind, under the offscreen platform
// given a screen of its own: 1280x800 at a device pixel ratio of 1, or
// 1600x1000 at 2 (run with --scale 2). It must fit, share its height
// sensibly, keep its splitter movable, draw a dark canvas under a dark
// palette, and carry the machines list and the console tools.
#include "core/CanvasTone.h"
#include "core/Painting.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/CanvasLayout.h"
#include "layout/ScheduleRunner.h"
#include "objects/CHLServer.h"
#include "objects/IconLibrary.h"
#include "support/TestBytes.h"
#include "support/TestContext.h"
#include "ui/CControlView.h"
#include "ui/CMainFrame.h"
#include "ui/CQuorvaneView.h"
#include "ui/CScheduleDlg.h"
#include "ui/ConsoleFindBar.h"
#include "ui/MachinesDock.h"
#include "ui/MachinesModel.h"
#include "ui/PlayerTable.h"
#include "ui/ScheduleDock.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPainter>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QSettings>
#include <QSortFilterProxyModel>
#include <QSpinBox>
#include <QSplitter>
#include <QStandardPaths>
#include <QTableView>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

namespace {

int g_scale = 1;

double contrast(const QColor& a, const QColor& b)
{
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            v /= 255.0;
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.red()) + 0.7152 * channel(c.green()) + 0.0722 * channel(c.blue());
    };
    const double x = luminance(a), y = luminance(b);
    return (std::max(x, y) + 0.05) / (std::min(x, y) + 0.05);
}

// Visible children of parent, laid out side by side: none may overlap another.
QString overlapIn(const QWidget& parent)
{
    std::vector<const QWidget*> shown;
    for (const QObject* child : parent.children()) {
        const auto* widget = qobject_cast<const QWidget*>(child);
        if (widget && widget->isVisible() && !widget->isWindow())
            shown.push_back(widget);
    }
    for (std::size_t i = 0; i < shown.size(); ++i)
        for (std::size_t j = i + 1; j < shown.size(); ++j)
            if (shown[i]->geometry().intersects(shown[j]->geometry()))
                return shown[i]->objectName() + QLatin1Char('/') + QLatin1String(shown[i]->metaObject()->className()) +
                       QStringLiteral(" overlaps ") + shown[j]->objectName() + QLatin1Char('/') +
                       QLatin1String(shown[j]->metaObject()->className());
    return {};
}

// A press, a move with the button held and a release, as the mouse does.
void drag(QWidget* widget, QPoint from, QPoint to)
{
    QTest::mousePress(widget, Qt::LeftButton, {}, from);
    QMouseEvent move(QEvent::MouseMove, QPointF(to), widget->mapToGlobal(QPointF(to)), Qt::NoButton, Qt::LeftButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
}

} // namespace

class TestWindow : public QObject
{
    Q_OBJECT

    TestContext env;
    std::unique_ptr<CQuorvaneDoc> doc;
    CControlView* panel = nullptr;
    std::unique_ptr<CMainFrame> frame;

    void open()
    {
        panel = new CControlView(*doc);
        frame = std::make_unique<CMainFrame>(*doc, panel);
    }

    void showFrame(bool maximised = false)
    {
        maximised ? frame->showMaximized() : frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
        QTest::qWait(20); // the splitter's share is kept after its resize
    }

    CHLServer* addServer(int port, const char* hostname, int group = 0)
    {
        auto server = std::make_unique<CHLServer>(env.context());
        server->m_strAddress = "127.0.0.1";
        server->m_nPort = port;
        server->m_pGroup = doc->m_groups[static_cast<std::size_t>(group)].get();
        server->m_nStatus = CSStatus_MONITORING;
        server->m_timeLastReply = env.clock.now();
        server->m_strHostname = hostname;
        server->m_strMap = "de_dust2";
        CHLServer* placed = server.get();
        doc->m_objects.push_back(std::move(server));
        doc->UpdateAllViews(CQuorvaneDoc::HintLayout);
        return placed;
    }

    // Closed and opened again, as the next session would.
    void reopen()
    {
        doc->SetModifiedFlag(false);
        QVERIFY(frame->close());
        frame.reset();
        open();
        showFrame();
    }

    QAction* action(const char* name) const { return frame->findChild<QAction*>(QLatin1String(name)); }

    QRect available() const { return frame->screen()->availableGeometry(); }

    // The canvas pane's height against the splitter's.
    double canvasShare() const
    {
        const QList<int> sizes = frame->splitter()->sizes();
        return static_cast<double>(sizes[0]) / (sizes[0] + sizes[1]);
    }

private slots:
    void initTestCase()
    {
        QStandardPaths::setTestModeEnabled(true);
        QCOMPARE(qRound(qApp->devicePixelRatio()), g_scale);
    }

    void init()
    {
        QSettings(QStringLiteral("Quorvane"), QStringLiteral("Quorvane")).clear();
        env.op = ScriptedOperator{};
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        open();
    }

    void cleanup()
    {
        qApp->setStyleSheet(QString());
        doc->SetModifiedFlag(false);
        frame.reset();
        doc.reset();
    }

    // Opened inside the available area, nothing overlapping; F9 hides the panel and shows it again;
    // maximised, the canvas keeps its share and the handle moves.
    void opensInsideTheAvailableAreaThePanelTogglesAndTheSplitterMoves()
    {
        showFrame();
        QVERIFY(available().contains(frame->frameGeometry()));
        QVERIFY(canvasShare() >= 0.4);
        QCOMPARE(overlapIn(*frame), QString());
        QAction* toggle = action("controlPanelAction");
        QVERIFY(toggle);
        QCOMPARE(toggle->shortcut(), QKeySequence(Qt::Key_F9));
        const int canvas = frame->view()->height();
        toggle->trigger();
        QVERIFY(!frame->panelArea()->isVisible());
        QTRY_VERIFY(frame->view()->height() > canvas + 100);
        toggle->trigger();
        QVERIFY(frame->panelArea()->isVisible());
        QTest::qWait(20);
        QVERIFY(canvasShare() >= 0.4);

        // Maximised, the canvas keeps its share.
        showFrame(true);
        QVERIFY(frame->isMaximized() && available().contains(frame->geometry()));
        QVERIFY2(canvasShare() >= 0.4, qPrintable(QString::number(canvasShare())));
        // However tall the panel's controls, it never holds the handle.
        QVERIFY(frame->panelArea()->minimumSizeHint().height() < frame->splitter()->height() / 4);

        // Dragged down, the handle gives the panel's room to the canvas.
        QSplitter* splitter = frame->splitter();
        QWidget* handle = splitter->handle(1);
        const int before = splitter->sizes()[0];
        drag(handle, handle->rect().center(), handle->rect().center() + QPoint(0, 60));
        QTRY_VERIFY(splitter->sizes()[0] > before + 30);

        // Dragged up past the share, it stops at 40 % of the height.
        drag(handle, handle->rect().center(), handle->rect().center() - QPoint(0, splitter->height()));
        QTest::qWait(20);
        QVERIFY2(canvasShare() >= 0.399, qPrintable(QString::number(canvasShare())));
    }

    void scheduleFromTheObjectsMenu()
    {
        showFrame();
        CHLServer* server = addServer(27015, "Cup");
        doc->SetSelection(nullptr, server);
        doc->UpdateAllViews(CQuorvaneDoc::HintTick); // the runner reads its (absent) ledger
        action("scheduleAction")->trigger();
        QVERIFY(frame->scheduleDock()->isVisible());
        auto* dialog = frame->scheduleDock()->findChild<CScheduleDlg*>();
        QVERIFY(dialog);
        dialog->commandEdit()->setText(QStringLiteral("status"));
        dialog->ruleCombo()->setCurrentIndex(CScheduleDlg::InMinutes);
        dialog->minutesSpin()->setValue(1);
        QVERIFY(dialog->addSchedule());
        QCOMPARE(frame->scheduleDock()->table()->rowCount(), 1);
        // The window's runner goes with the document's tick: the machine is not under rcon.
        const std::int64_t due = env.clock.now() + 60;
        while (env.clock.now() < due) {
            env.clock.advance(1);
            doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        }
        const Schedule& made = frame->scheduleRunner()->schedules().schedules().front();
        QCOMPARE(made.lastRun, due);
        QCOMPARE(made.lastResult, std::string("sent to 0 of 1, 1 not under rcon"));
        QVERIFY(frame->scheduleDock()->table()->item(0, ScheduleDock::LastResultColumn)->text().contains(
            QLatin1String("not under rcon")));
        action("schedulesAction")->trigger();
        QVERIFY(!frame->scheduleDock()->isVisible());
    }

    // Fitted when saved far off and too large, as on a larger screen; else restored as it was.
    void restoresSizePositionAndMaximisedState()
    {
        frame->setGeometry(QRect(3000, 2000, 4000, 3000));
        reopen();
        QVERIFY2(available().contains(frame->frameGeometry()), "the frame is outside the available area");
        const QRect wanted(available().topLeft() + QPoint(20, 30), available().size() * 3 / 4);
        frame->setGeometry(wanted);
        QTest::qWait(20);
        const QRect placed = frame->geometry();
        reopen();
        QCOMPARE(frame->geometry(), placed);

        frame->showMaximized();
        QTRY_VERIFY(frame->isMaximized());
        reopen();
        QVERIFY(frame->isMaximized());
    }

    void smallWindowShowsPlayersAndEightConsoleLinesAndF6Switches()
    {
        if (g_scale != 1)
            QSKIP("1024x640 is larger than the 2x screen's logical size");
        frame->resize(1024, 640);
        CHLServer* server = addServer(27015, "Small window");
        server->m_nStatus = CSStatus_CONTROL;
        server->m_nPlayers = 3;
        const char* names[] = {"a player whose name is very long indeed [clan]", "Bob", "Carol"};
        for (int i = 0; i < 3; ++i) {
            server->m_strPlayers[static_cast<std::size_t>(i)] = names[i];
            server->m_statusPlayers.push_back({100 + i, names[i], "STEAM_0:1:12345678", 0, "", 45, "127.0.0.1:27005"});
        }
        for (int i = 0; i < 30; ++i)
            server->m_log.Add("line " + std::to_string(i));
        doc->SetSelection(nullptr, server);
        showFrame();
        QVERIFY(available().contains(frame->geometry()));
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        QTest::qWait(20);

        auto* players = panel->findChild<PlayerTable*>(QStringLiteral("playerList"));
        QCOMPARE(players->rowCount(), 3);
        for (int column : {PlayerTable::NameColumn, PlayerTable::FragsColumn, PlayerTable::SteamIdColumn,
                           PlayerTable::PingColumn})
            QVERIFY2(!players->isColumnHidden(column), qPrintable(QString::number(column)));
        QCOMPARE(players->horizontalScrollBar()->maximum(), 0); // the shown columns fit
        // The SteamID is whole; the long name is what gives way.
        QVERIFY(players->columnWidth(PlayerTable::SteamIdColumn) >=
                players->fontMetrics().horizontalAdvance(QStringLiteral("STEAM_0:1:12345678")));

        auto* console = panel->findChild<QListWidget*>(QStringLiteral("consoleList"));
        panel->findChild<QTabWidget*>(QStringLiteral("consolePages"))->setCurrentWidget(console);
        QTest::qWait(10);
        QVERIFY(console->sizeHintForRow(0) > 0);
        QVERIFY2(console->viewport()->height() / console->sizeHintForRow(0) >= 8,
                 qPrintable(QString::number(console->viewport()->height())));

        QVERIFY(canvasShare() >= 0.4);
        for (const QWidget* container : std::initializer_list<const QWidget*>{
                 panel, panel->findChild<QWidget*>(QStringLiteral("rconBox")), frame.get()})
            QCOMPARE(overlapIn(*container), QString());

        // F6 from the canvas lands in the command line, where the operator types, and goes back.
        frame->view()->setFocus();
        QTest::keyClick(frame->view(), Qt::Key_F6);
        QCOMPARE(QApplication::focusWidget(), panel->findChild<QLineEdit*>(QStringLiteral("commandEdit")));
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_F6, Qt::ShiftModifier);
        QVERIFY(frame->view()->hasFocus());
    }

    void darkPaletteOrTheMenuDrawADarkCanvasButPrintsLight()
    {
        showFrame();
        QVERIFY(!frame->view()->isDarkCanvas());
        qApp->setStyleSheet(QStringLiteral("QWidget { background-color: #202124; color: #e8eaed; }"));
        QTest::qWait(20);
        QVERIFY(frame->view()->isDarkCanvas());

        const QImage shot = frame->view()->viewport()->grab().toImage();
        const double ratio = shot.devicePixelRatio();
        const auto pixel = [&](QPoint point) { return QColor(shot.pixel((QPointF(point) * ratio).toPoint())); };
        // Background beyond the zones, inside a zone, inside a group.
        const QColor background = pixel({5, 5});
        QVERIFY2(background.lightness() < 60, qPrintable(background.name()));
        const CZone& zone = *doc->m_zones[0];
        const QColor zoneFill = pixel({zone.m_rcArea.left + 5, zone.m_rcArea.bottom - 5});
        QCOMPARE(zoneFill.rgb(), canvasColor(toQColor(zone.m_crFill), CanvasTone::Dark).rgb());
        QVERIFY(zoneFill.lightness() < 110);
        const CGroup& group = *doc->m_groups[0];
        QVERIFY(pixel({group.m_rcArea.left + 5, group.m_rcArea.bottom - 5}).lightness() < 60);
        // The zone's title is light on its dark fill, with a contrast that reads.
        int lightest = 0;
        for (int y = zone.m_rcArea.top + 2; y < zone.m_rcArea.top + 16; ++y)
            for (int x = zone.m_rcArea.left + 2; x < zone.m_rcArea.right - 2; ++x)
                lightest = std::max(lightest, pixel({x, y}).lightness());
        QVERIFY2(lightest > 180, qPrintable(QString::number(lightest)));
        QVERIFY(contrast(textColorOn(zoneFill), zoneFill) >= 4.5);

        // What is printed keeps the light look.
        QImage page(frame->view()->layoutSize(), QImage::Format_RGB32);
        QPainter painter(&page);
        frame->view()->RenderCanvas(painter, page.rect());
        painter.end();
        QCOMPARE(QColor(page.pixel(5, 5)), QColor(Qt::white));
        QCOMPARE(QColor(page.pixel(zone.m_rcArea.left + 5, zone.m_rcArea.bottom - 5)), toQColor(zone.m_crFill));

        // Under a light palette, the View menu asks for the dark canvas.
        qApp->setStyleSheet(QString());
        QTest::qWait(20);
        QVERIFY(!frame->view()->isDarkCanvas());
        QAction* dark = action("darkCanvasAction");
        QVERIFY(dark && !dark->isChecked());
        dark->trigger();
        QVERIFY(frame->view()->isDarkCanvas());
        QVERIFY(QColor(frame->view()->viewport()->grab().toImage().pixel(2, 2)).lightness() < 60);
        // Kept for the next session.
        frame.reset();
        open();
        QVERIFY(frame->view()->isDarkCanvas());
    }

    void machinesListFollowsTheDocumentKeepingSortAndSelectionAndScrolls()
    {
        CHLServer* alpha = addServer(1, "alpha");
        CHLServer* bravo = addServer(2, "bravo");
        CHLServer* charlie = addServer(3, "charlie", 2);
        action("machinesAction")->trigger();
        showFrame();
        MachinesDock* dock = frame->machinesDock();
        QVERIFY(dock->isVisible());
        QTableView* table = dock->table();
        QSortFilterProxyModel& sorted = dock->sorted();
        QCOMPARE(sorted.rowCount(), 3);
        const auto cell = [&](int row, int column) { return sorted.index(row, column).data().toString(); };
        const auto step = [dock] {
            for (int i = 0; i < MachinesDock::kSlices; ++i)
                dock->Step();
        };
        QCOMPARE(cell(0, MachinesModel::NameColumn), QStringLiteral("alpha"));
        QCOMPARE(cell(2, MachinesModel::AddressColumn), QStringLiteral("127.0.0.1:3"));
        QCOMPARE(cell(2, MachinesModel::ZoneColumn), QStringLiteral("Internet"));
        QCOMPARE(cell(2, MachinesModel::GroupColumn), QStringLiteral("HLTV Internet"));
        QCOMPARE(cell(0, MachinesModel::KindColumn), QStringLiteral("Game server"));
        QCOMPARE(cell(0, MachinesModel::StatusColumn), QStringLiteral("Monitor only"));

        // Sorted by players, descending; bravo selected.
        alpha->m_nPlayers = 3;
        bravo->m_nPlayers = 10;
        charlie->m_nPlayers = 5;
        step();
        table->sortByColumn(MachinesModel::PlayersColumn, Qt::DescendingOrder);
        QCOMPARE(cell(0, MachinesModel::NameColumn), QStringLiteral("bravo"));
        table->selectRow(0);

        // A change reorders the rows; the selection stays on bravo.
        charlie->m_nPlayers = 20;
        charlie->m_strHostname = "charlie renamed";
        step();
        QCOMPARE(cell(0, MachinesModel::NameColumn), QStringLiteral("charlie renamed"));
        QCOMPARE(table->horizontalHeader()->sortIndicatorSection(), int(MachinesModel::PlayersColumn));
        const QModelIndexList selected = table->selectionModel()->selectedRows();
        QCOMPARE(selected.size(), 1);
        QCOMPARE(selected[0].siblingAtColumn(MachinesModel::NameColumn).data().toString(), QStringLiteral("bravo"));

        // A machine that went down is said so and tinted.
        alpha->m_nStatus = CSStatus_TIMEOUT;
        step();
        const int alphaRow = sorted.match(sorted.index(0, MachinesModel::NameColumn), Qt::DisplayRole,
                                          QStringLiteral("alpha"))[0].row();
        QCOMPARE(cell(alphaRow, MachinesModel::StatusColumn), QStringLiteral("Down"));
        QVERIFY(sorted.index(alphaRow, 0).data(Qt::BackgroundRole).isValid());
        QVERIFY(!sorted.index(0, 0).data(Qt::BackgroundRole).isValid());

        // The filter field.
        dock->filterEdit()->setText(QStringLiteral("HLTV inter"));
        QCOMPARE(sorted.rowCount(), 1);
        dock->filterEdit()->clear();

        // A click picks the object on the canvas.
        const QRect rect = table->visualRect(sorted.index(alphaRow, MachinesModel::NameColumn));
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, rect.center());
        QCOMPARE(doc->m_pSelectedObject, alpha);

        // Deleted: its row goes.
        doc->m_pSelectedObject = nullptr;
        doc->m_objects.erase(doc->m_objects.begin());
        doc->UpdateAllViews(CQuorvaneDoc::HintLayout);
        QCOMPARE(sorted.rowCount(), 2);
        QCOMPARE(dock->model().rowOf(alpha), -1);

        // A pick far down a column scrolls the canvas to it.
        for (int i = 0; i < 40; ++i)
            addServer(100 + i, qPrintable(QStringLiteral("server %1").arg(i, 2, 10, QLatin1Char('0'))));
        CQuorvaneView* view = frame->view();
        QCOMPARE(view->verticalScrollBar()->value(), 0);
        table->sortByColumn(MachinesModel::NameColumn, Qt::DescendingOrder);
        dock->PickRow(0); // server 39
        CCommonObject* last = doc->m_objects.back().get();
        QCOMPARE(doc->m_pSelectedObject, last);
        QVERIFY(view->verticalScrollBar()->value() > 0);
        QVERIFY(view->viewport()->rect().contains(view->toViewport(last->m_rcBox.center())));
    }

    void consoleHasAFixedFontSearchSaveAndClear()
    {
        CHLServer* server = addServer(27015, "console");
        for (const char* line : {"hostname: console", "map     : de_dust2", "players : 2 active", "# 1 \"Bob\" 12"})
            server->m_log.Add(line);
        doc->SetSelection(nullptr, server);
        showFrame();
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        auto* console = panel->findChild<QListWidget*>(QStringLiteral("consoleList"));
        panel->findChild<QTabWidget*>(QStringLiteral("consolePages"))->setCurrentWidget(console);
        QVERIFY(QFontInfo(console->font()).fixedPitch());

        // Ctrl+F with the focus on the console searches the console.
        console->setFocus();
        QTest::keyClick(console, Qt::Key_F, Qt::ControlModifier);
        ConsoleFindBar* find = panel->consoleFind();
        QVERIFY(find->isVisible());
        QCOMPARE(find->list(), console);
        QVERIFY(find->edit()->hasFocus());
        QTest::keyClicks(find->edit(), QStringLiteral("MAP"));
        QCOMPARE(console->currentRow(), 1);
        find->edit()->setText(QStringLiteral("2"));
        QTest::keyClick(find->edit(), Qt::Key_Return); // the next row with a 2
        QCOMPARE(console->currentRow(), 2);
        QTest::keyClick(find->edit(), Qt::Key_Escape);
        QVERIFY(!find->isVisible());

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("console.log"));
        QVERIFY(panel->SaveLog(path));
        QCOMPARE(fileBytes(path), QByteArray("hostname: console\nmap     : de_dust2\nplayers : 2 active\n# 1 \"Bob\" 12\n"));
        QVERIFY(!panel->SaveLog(dir.filePath(QStringLiteral("missing/folder/x.log"))));
        QCOMPARE(env.op.messages.size(), std::size_t(1));

        panel->ClearLog();
        QCOMPARE(console->count(), 0);
        doc->UpdateAllViews(CQuorvaneDoc::HintTick);
        QCOMPARE(console->count(), 0);
        QCOMPARE(server->m_log.count(), 0);
    }

    void groupsInColumnsUseTheWidthAndAreKept()
    {
        CZone* zone = doc->m_zones[0].get();
        for (const char* name : {"B", "C", "D"})
            doc->AddGroup(name, zone, 1);
        showFrame();
        const Rect classic = doc->m_groups[5]->m_rcArea;
        QVERIFY(classic.top > doc->m_groups[0]->m_rcArea.bottom); // one below the other
        QAction* columns = action("groupColumnsAction");
        QVERIFY(columns && !columns->isChecked());
        columns->trigger();
        QCOMPARE(doc->m_groups[3]->m_rcArea.top, doc->m_groups[0]->m_rcArea.top);
        QVERIFY(zone->m_rcArea.right <= frame->view()->viewport()->width());
        // The pictures made without a window follow the choice.
        QVERIFY(savedLayoutOptions().groupsSideBySide);
        columns->trigger();
        QCOMPARE(doc->m_groups[5]->m_rcArea, classic);
        QVERIFY(!savedLayoutOptions().groupsSideBySide);
    }

    void iconsAreDrawnAtTheDevicePixelRatio()
    {
        // A 48-pixel icon on a 2x device covers 96 device pixels: they come
        // from the picture rendered at 96, not from the 48 one blown up.
        QImage target(96, 96, QImage::Format_ARGB32_Premultiplied);
        target.setDevicePixelRatio(2);
        target.fill(Qt::transparent);
        QPainter painter(&target);
        drawIcon(painter, 153, 0, 0);
        painter.end();
        const QImage sharp =
            QImage(QStringLiteral(":/icons/153@2x.png")).convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(sharp.size(), QSize(96, 96));
        int differing = 0;
        for (int y = 0; y < 96; ++y)
            for (int x = 0; x < 96; ++x)
                differing += qAbs(qAlpha(target.pixel(x, y)) - qAlpha(sharp.pixel(x, y))) > 8;
        QVERIFY2(differing < 96 * 96 / 100, qPrintable(QString::number(differing)));
    }

    void groupsAreDraggedWithinAndBetweenZonesUndoably()
    {
        showFrame();
        CQuorvaneView* view = frame->view();
        const auto dragGroup = [view](QPoint from, QPoint to) {
            drag(view->viewport(), view->toViewport(from), view->toViewport(to));
        };
        const auto grip = [](const auto* area) { return QPoint(area->m_rcArea.left + 5, area->m_rcArea.bottom - 5); };
        CGroup* servers = doc->m_groups[0].get();
        CGroup* local = doc->m_groups[1].get(); // level 2, beside "Servers"
        CZone* lan = doc->m_zones[0].get();
        CZone* internet = doc->m_zones[1].get();

        // Within its zone: onto "Servers", it takes its level and stands before it.
        dragGroup(grip(local), grip(servers));
        QCOMPARE(local->m_nLevel, 1);
        QCOMPARE(doc->m_groups[0].get(), local);
        QCOMPARE(local->m_rcArea.top, 50);
        QVERIFY(servers->m_rcArea.top > local->m_rcArea.bottom);

        // To another zone's empty area.
        dragGroup(grip(local), QPoint(internet->m_rcArea.right - 5, internet->m_rcArea.bottom - 5));
        QCOMPARE(local->m_pZone, internet);
        QVERIFY(internet->m_rcArea.contains(local->m_rcArea.toQRect().center()));

        // Both undone, in turn.
        doc->undoStack().undo();
        QCOMPARE(local->m_pZone, lan);
        QCOMPARE(doc->m_groups[0].get(), local);
        doc->undoStack().undo();
        QCOMPARE(local->m_nLevel, 2);
        QCOMPARE(doc->m_groups[1].get(), local);
        QCOMPARE(local->m_rcArea, (Rect{190, 50, 290, 250}));

        // A click without a move moves nothing.
        const int steps = doc->undoStack().count();
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, view->toViewport(grip(servers)));
        QCOMPARE(doc->undoStack().count(), steps);
        QCOMPARE(doc->m_pSelectedZone, servers);
    }

    void zoomShowsItsLevelAndActualSizeBringsTitlesBack()
    {
        for (int i = 0; i < 30; ++i)
            addServer(200 + i, "zoomed");
        showFrame();
        CQuorvaneView* view = frame->view();
        auto* pane = frame->findChild<QLabel*>(QStringLiteral("zoomPane"));
        QCOMPARE(pane->text(), QStringLiteral("100 %"));
        view->ZoomIn();
        QCOMPARE(pane->text(), QStringLiteral("110 %"));
        view->setZoom(2.0);
        QCOMPARE(pane->text(), QStringLiteral("200 %"));
        view->verticalScrollBar()->setValue(view->verticalScrollBar()->maximum());
        view->ResetZoom();
        QCOMPARE(pane->text(), QStringLiteral("100 %"));
        const CZone& zone = *doc->m_zones[0];
        const QPoint title = view->toViewport(QPoint(zone.m_rcArea.left + 10, zone.m_rcArea.top + 10));
        QVERIFY2(view->viewport()->rect().contains(title), qPrintable(QStringLiteral("%1,%2").arg(title.x()).arg(title.y())));
    }
};

int main(int argc, char* argv[])
{
    // The screen is chosen before the application starts; --scale is ours.
    std::vector<char*> arguments;
    for (int i = 0; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--scale" && i + 1 < argc) {
            g_scale = std::atoi(argv[++i]);
            continue;
        }
        arguments.push_back(argv[i]);
    }
    QTemporaryDir dir;
    const QString config = dir.filePath(QStringLiteral("screen.json"));
    {
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return 2;
        const QByteArray size = g_scale == 1 ? "\"width\": 1280, \"height\": 800" : "\"width\": 1600, \"height\": 1000";
        file.write("{\"screens\": [{\"name\": \"screen\", \"x\": 0, \"y\": 0, " + size +
                   ", \"logicalDpi\": 96, \"logicalBaseDpi\": 96, \"dpr\": " + QByteArray::number(g_scale) + "}]}");
    }
    qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
    // A home of its own: the 1x and 2x runs go side by side and must not
    // share the window's settings.
    qputenv("HOME", dir.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", dir.filePath(QStringLiteral("config")).toLocal8Bit());
    int count = static_cast<int>(arguments.size());
    QApplication app(count, arguments.data());
    TestWindow test;
    return QTest::qExec(&test, count, arguments.data());
}

#include "tst_window.moc"
