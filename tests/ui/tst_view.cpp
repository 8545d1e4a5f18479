// The layout view and the main frame, driven with the mouse under the
// offscreen platform.
#include "layout/CQuorvaneDoc.h"
#include "layout/CommandIds.h"
#include "layout/LayoutFile.h"
#include "objects/CHLTV.h"
#include "support/LoopbackPeer.h"
#include "support/TestContext.h"
#include "ui/CMainFrame.h"
#include "ui/CQuorvaneView.h"
#include "ui/FindBar.h"
#include "ui/Notifier.h"
#include "ui/ObjectToolTip.h"

#include <QDir>
#include <QLineEdit>
#include <QStatusBar>
#include <QToolBar>
#include <QMenu>
#include <QPaintEvent>
#include <QPainter>
#include <QScrollBar>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>

// Counts the alerts instead of showing them.
class CountingNotifier : public Notifier
{
public:
    void notify(const QString& summary, const QString&) override { summaries << summary; }
    QStringList summaries;
};

class TestView : public QObject
{
    Q_OBJECT

    TestContext env;
    CountingNotifier notifier;
    QLineEdit* panelLine = nullptr;
    std::unique_ptr<CQuorvaneDoc> doc;
    std::unique_ptr<CMainFrame> frame;

    CQuorvaneView& view() { return *frame->view(); }

    void click(QPoint canvasPoint, Qt::MouseButton button = Qt::LeftButton)
    {
        QTest::mouseClick(view().viewport(), button, {}, view().toViewport(canvasPoint));
    }

    // A drag with the real mouse events: press, moves, release.
    void drag(QPoint from, QPoint to)
    {
        QWidget* surface = view().viewport();
        QTest::mousePress(surface, Qt::LeftButton, {}, view().toViewport(from));
        for (int step = 1; step <= 4; ++step) {
            const QPoint at = from + (to - from) * step / 4;
            QMouseEvent move(QEvent::MouseMove, view().toViewport(at),
                             surface->mapToGlobal(view().toViewport(at)), Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(surface, &move);
        }
        QTest::mouseRelease(surface, Qt::LeftButton, {}, view().toViewport(to));
    }

    // A game server that has answered, with a host name.
    CHLServer* answering(CGroup* group, int port, const char* hostname)
    {
        CHLServer* server = place(std::make_unique<CHLServer>(env.context()), group, port);
        server->m_nStatus = CSStatus_MONITORING;
        server->m_timeLastReply = env.clock.now();
        server->m_strHostname = hostname;
        return server;
    }

    void tickSeconds(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            env.clock.advance(1);
            doc->TickSecond();
        }
    }

    QRgb pixelAt(QPoint point)
    {
        QImage image(view().layoutSize(), QImage::Format_RGB32);
        QPainter painter(&image);
        view().RenderCanvas(painter, image.rect());
        painter.end();
        return image.pixel(point);
    }

    // Properties... answered with a server's address, port, group and password.
    void editProperties(std::uint32_t port, int groupIndex, const char* rconPassword = "")
    {
        ObjectDialogValues values;
        values.address = "127.0.0.1";
        values.port = port;
        values.groupIndex = groupIndex;
        values.rconPassword = rconPassword;
        env.op.objectAnswers = {values};
        doc->RunCommand(ID_OBJECT_PROPERTIES);
    }

    template <class T> T* place(std::unique_ptr<T> object, CGroup* group, int port)
    {
        object->m_strAddress = "127.0.0.1";
        object->m_nPort = port;
        object->m_pGroup = group;
        T* placed = object.get();
        doc->m_objects.push_back(std::move(object));
        doc->UpdateAllViews(CQuorvaneDoc::HintLayout);
        return placed;
    }

private slots:
    void initTestCase()
    {
        // Recent files go to a test location, not the operator's settings.
        QStandardPaths::setTestModeEnabled(true);
    }

    void init()
    {
        env.op = ScriptedOperator{};
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        auto* panel = new QWidget;
        panelLine = new QLineEdit(panel);
        frame = std::make_unique<CMainFrame>(*doc, panel);
        notifier.summaries.clear();
        frame->setNotifier(&notifier);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }

    void cleanup()
    {
        doc->SetModifiedFlag(false); // no question on close
        frame.reset();
        doc.reset();
    }

    void clickPicksObjectsBeforeGroupsAlsoZoomedOutAndF6Switches()
    {
        CHLServer* server = place(std::make_unique<CHLServer>(env.context()), doc->m_groups[0].get(), 1);
        click({35, 150}); // the group's empty area, beside the server
        QCOMPARE(doc->m_pSelectedZone, doc->m_groups[0].get());
        QCOMPARE(doc->m_pSelectedObject, nullptr);
        click({100, 100}); // the server inside it
        QCOMPARE(doc->m_pSelectedObject, server);
        QCOMPARE(doc->m_pSelectedZone, nullptr);
        click({20, 260}); // the zone outside any group
        QCOMPARE(doc->m_pSelectedZone, doc->m_zones[0].get());
        click({600, 270}); // empty canvas
        QCOMPARE(doc->m_pSelectedZone, nullptr);
        QCOMPARE(doc->m_pSelectedObject, nullptr);

        // F6 goes to a panel without a focus proxy and back; zoomed out, a click still picks the box under it.
        view().setFocus();
        QTest::keyClick(&view(), Qt::Key_F6);
        QVERIFY(panelLine->hasFocus());
        QTest::keyClick(panelLine, Qt::Key_F6, Qt::ShiftModifier);
        QVERIFY(view().hasFocus());
        for (int i = 0; i < 10; ++i)
            QTest::keyClick(&view(), Qt::Key_Minus, Qt::ControlModifier);
        QCOMPARE(view().zoom(), CQuorvaneView::kMinZoom);
        click(server->m_rcBox.center());
        QCOMPARE(doc->m_pSelectedObject, server);
    }

    // Only a controlled proxy is dragged; dropped on a server it links to
    // it (undone as one step), dropped on empty canvas it changes nothing.
    void proxyMenuAndDragRules()
    {
        CHLServer* server = place(std::make_unique<CHLServer>(env.context()), doc->m_groups[0].get(), 1);
        CHLTV* proxy = place(std::make_unique<CHLTV>(env.context()), doc->m_groups[1].get(), 2);
        server->m_nStatus = CSStatus_CONTROL;
        proxy->m_nStatus = CSStatus_MONITORING;
        // Its menu is greyed until it is controlled; nothing picked, no menu.
        doc->SetSelection(nullptr, proxy);
        std::unique_ptr<QMenu> menu(view().ContextMenu(frame.get()));
        QVERIFY(menu);
        std::map<QString, bool> enabled;
        for (QAction* action : menu->actions())
            if (!action->isSeparator())
                enabled[action->text()] = action->isEnabled();
        for (const char* greyed : {"Server Password", "Spec Password", "Proxy Password", "Disconnect"})
            QVERIFY(!enabled.at(QLatin1String(greyed)));
        QVERIFY(enabled.at(QStringLiteral("Rcon Password")));
        doc->SetSelection(nullptr, nullptr);
        QVERIFY(!view().ContextMenu(frame.get()));

        QWidget* surface = view().viewport();
        for (CCommonObject* object : {static_cast<CCommonObject*>(server), static_cast<CCommonObject*>(proxy)}) {
            QTest::mousePress(surface, Qt::LeftButton, {}, view().toViewport(object->m_rcIcon.center()));
            QVERIFY(!view().isDragging());
            QTest::mouseRelease(surface, Qt::LeftButton, {}, view().toViewport(object->m_rcIcon.center()));
        }
        proxy->m_nStatus = CSStatus_CONTROL;
        proxy->m_strRconPassword = "pw";
        drag(proxy->m_rcIcon.center(), {600, 270});
        QVERIFY(!view().isDragging());
        QCOMPARE(proxy->m_pLinked, nullptr);
        drag(proxy->m_rcIcon.center(), server->m_rcIcon.center());
        QVERIFY(!view().isDragging());
        QCOMPARE(proxy->m_pLinked, server);
        doc->undoStack().undo();
        QCOMPARE(proxy->m_pLinked, nullptr);
        QVERIFY(env.op.messages.empty());
    }

    // Machines that stop answering are counted in the title and the status
    // bar, and make one alert per burst.
    void silentMachinesAreLoud()
    {
        CHLServer* first = answering(doc->m_groups[0].get(), 1, "Cup #1");
        CHLServer* second = answering(doc->m_groups[0].get(), 2, "Cup #2");
        answering(doc->m_groups[1].get(), 3, "Spare")->m_timeLastReply = 0; // never answered
        doc->TickSecond();
        QVERIFY(!frame->windowTitle().contains(QStringLiteral("down")));

        env.clock.advance(11);
        doc->TickSecond();
        QVERIFY(first->IsDown() && second->IsDown());
        QVERIFY(frame->windowTitle().endsWith(QStringLiteral(" \u2014 2 down")));
        QCOMPARE(frame->downButton()->text(), QStringLiteral("2 down"));
        QVERIFY(notifier.summaries.isEmpty()); // the burst is still open

        tickSeconds(6);
        QCOMPARE(notifier.summaries, QStringList{"2 machines down"});

        second->m_timeLastReply = env.clock.now();
        second->m_nStatus = CSStatus_MONITORING;
        doc->TickSecond();
        QVERIFY(frame->windowTitle().endsWith(QStringLiteral(" \u2014 1 down")));
        frame->downButton()->click(); // only what is down
        QCOMPARE(view().matches(), std::vector<CCommonObject*>{first});
        tickSeconds(6);
        QCOMPARE(notifier.summaries, (QStringList{"2 machines down", "1 machine back"}));
    }

    // Delete asks first; undo brings back the object, its links and its
    // channel; redo deletes it again.
    void undoOfADeleteRestoresTheObject()
    {
        CCommonObject* server = doc->AddServer("127.0.0.1", 27015, "", doc->m_groups[0].get());
        auto* proxy = static_cast<CHLTV*>(doc->AddProxy("127.0.0.1", 27020, doc->m_groups[1].get(), "", "",
                                                        "127.0.0.1", 27020, true, false));
        proxy->m_strLinkedAddress = "127.0.0.1:27015";
        proxy->m_pLinked = server;
        doc->SetSelection(nullptr, server);
        view().setFocus();

        env.op.yesNoAnswers = {false, true};
        QTest::keyClick(&view(), Qt::Key_Delete);
        QCOMPARE(doc->m_objects.size(), std::size_t{2});
        QTest::keyClick(&view(), Qt::Key_Delete);
        QCOMPARE(env.op.questions.back(), std::string("Delete the game server 127.0.0.1:27015?"));
        QCOMPARE(doc->m_objects.size(), std::size_t{1});
        QCOMPARE(proxy->m_pLinked, nullptr);
        QVERIFY(proxy->m_strLinkedAddress.empty());

        frame->action(57643)->trigger(); // Undo
        QCOMPARE(doc->m_objects.front().get(), server);
        QCOMPARE(proxy->m_pLinked, server);
        QCOMPARE(proxy->m_strLinkedAddress, std::string("127.0.0.1:27015"));
        QVERIFY(server->channel());
        QCOMPARE(doc->m_pSelectedObject, server);
        frame->action(57644)->trigger(); // Redo
        QCOMPARE(doc->m_objects.size(), std::size_t{1});
        // A group goes with its count named.
        doc->SetSelection(doc->m_groups[2].get(), nullptr);
        env.op.yesNoAnswers = {true};
        doc->RunCommand(ID_ZONE_DELETE);
        QCOMPARE(env.op.questions.back(), std::string("Delete the group \"HLTV Internet\" with 0 objects?"));
        QCOMPARE(doc->m_groups.size(), std::size_t{2});
    }

    // A refused port applies none of the properties and leaves nothing to
    // undo; every change made undoes.
    void undoOfMovesAndProperties()
    {
        CCommonObject* a = answering(doc->m_groups[0].get(), 1, "A");
        CCommonObject* b = answering(doc->m_groups[0].get(), 2, "B");
        doc->SetSelection(nullptr, b);
        doc->RunCommand(ID_OBJECT_MOVEUP);
        editProperties(1, 1, "secret"); // a's port
        QCOMPARE(env.op.messages.size(), std::size_t{1});
        QCOMPARE(b->GetName(), std::string("127.0.0.1:2"));
        QCOMPARE(b->m_pGroup, doc->m_groups[0].get());
        QVERIFY(b->m_strRconPassword.empty());
        QCOMPARE(doc->undoStack().count(), 1);
        editProperties(3, 1, "secret");
        QCOMPARE(b->GetName(), std::string("127.0.0.1:3"));
        QCOMPARE(b->m_strRconPassword, std::string("secret"));
        doc->undoStack().undo();
        QVERIFY(b->m_strRconPassword.empty());
        QCOMPARE(b->GetName(), std::string("127.0.0.1:2"));
        doc->undoStack().undo();
        QCOMPARE(doc->m_objects.front().get(), a);
    }

    // Undo and Redo never put an object onto an address another object has
    // taken since: the step is refused with a message and the stack stays
    // where it was, ready once the address is free again.
    void undoOntoATakenAddressIsRefused()
    {
        QAction* undo = frame->action(57643);
        QAction* redo = frame->action(57644);
        CCommonObject* deleted = doc->AddServer("127.0.0.1", 27015, "", doc->m_groups[0].get());
        doc->SetSelection(nullptr, deleted);
        env.op.yesNoAnswers = {true};
        doc->DeletePicked();
        CCommonObject* newcomer = doc->AddServer("127.0.0.1", 27015, "", doc->m_groups[2].get());
        undo->trigger();
        QCOMPARE(env.op.messages, std::vector<std::string>{
                                      "Cannot undo \"Delete 127.0.0.1:27015\": another object has taken "
                                      "127.0.0.1:27015 since.\nGroup : HLTV Internet\nZone : Internet"});
        QCOMPARE(doc->m_objects.size(), std::size_t{1});
        QCOMPARE(doc->undoStack().index(), 1);
        doc->undoStack().undo(); // straight to the stack: still no second object
        QCOMPARE(doc->m_objects.size(), std::size_t{1});
        doc->undoStack().redo();
        doc->SetSelection(nullptr, newcomer);
        doc->OnDeleteObject(); // the address is free again
        undo->trigger();
        QCOMPARE(doc->m_objects.size(), std::size_t{1});
        QCOMPARE(doc->m_objects.front().get(), deleted);

        // Properties: undo back to an address taken since, redo onto one.
        env.op.messages.clear();
        doc->SetSelection(nullptr, deleted);
        editProperties(27016, 0);
        QCOMPARE(deleted->GetName(), std::string("127.0.0.1:27016"));
        CCommonObject* other = doc->AddServer("127.0.0.1", 27015, "", doc->m_groups[0].get());
        const int index = doc->undoStack().index();
        undo->trigger();
        QCOMPARE(env.op.messages.size(), std::size_t{1});
        QVERIFY(env.op.messages.back().rfind("Cannot undo \"Properties of 127.0.0.1:27015\"", 0) == 0);
        QCOMPARE(deleted->GetName(), std::string("127.0.0.1:27016"));
        QCOMPARE(doc->undoStack().index(), index);
        doc->SetSelection(nullptr, other);
        doc->OnDeleteObject();
        undo->trigger();
        QCOMPARE(deleted->GetName(), std::string("127.0.0.1:27015"));
        doc->AddServer("127.0.0.1", 27016, "", doc->m_groups[0].get());
        redo->trigger();
        QCOMPARE(env.op.messages.size(), std::size_t{2});
        QVERIFY(env.op.messages.back().rfind("Cannot redo ", 0) == 0);
        QCOMPARE(deleted->GetName(), std::string("127.0.0.1:27015"));
        QCOMPARE(doc->undoStack().index(), index - 1);
    }

    // Ctrl+F filters by host name, map, address or player; Enter walks the
    // matches; Esc ends the search.
    void findWalksTheMatches()
    {
        CHLServer* cup1 = answering(doc->m_groups[0].get(), 1, "Cup One");
        answering(doc->m_groups[0].get(), 2, "Training");
        CHLServer* cup2 = answering(doc->m_groups[1].get(), 3, "Other");
        cup2->m_nPlayers = 1;
        cup2->m_strPlayers[0] = "[CUP]Ace";
        QTest::keyClick(frame.get(), Qt::Key_F, Qt::ControlModifier);
        QLineEdit* line = frame->findBar()->line();
        QVERIFY(frame->findBar()->isVisible());
        QVERIFY(line->hasFocus());
        QTest::keyClicks(line, QStringLiteral("cup"));
        QCOMPARE(view().matches(), (std::vector<CCommonObject*>{cup1, cup2}));
        QCOMPARE(pixelAt(QPoint(cup1->m_rcBox.left + 1, cup1->m_rcBox.top + 30)), qRgb(255, 140, 0)); // marked
        for (CHLServer* next : {cup1, cup2, cup1}) {
            QTest::keyClick(line, Qt::Key_Return);
            QCOMPARE(doc->m_pSelectedObject, next);
        }
        QTest::keyClick(line, Qt::Key_Escape);
        QVERIFY(!frame->findBar()->isVisible());
        QVERIFY(!view().isFiltering());
    }

    // The viewport's pixels, inside the canvas and beyond it, are those of
    // filling it all with the background and painting the canvas over it.
    void viewportPaintsEveryPixelOnce_data()
    {
        QTest::addColumn<double>("zoom");
        QTest::newRow("1") << 1.0;
        QTest::newRow("1.25") << 1.25;
        QTest::newRow("0.5") << 0.5;
    }
    void viewportPaintsEveryPixelOnce()
    {
        QFETCH(double, zoom);
        answering(doc->m_groups[0].get(), 1, "Shown");
        frame->resize(1200, 900);
        view().setZoom(zoom);
        QTest::qWait(20);
        QVERIFY(view().layoutSize().width() * zoom < view().viewport()->width()); // room beyond it
        const QImage shot = view().viewport()->grab().toImage().convertToFormat(QImage::Format_RGB32);
        QImage expected(shot.size(), QImage::Format_RGB32);
        expected.setDevicePixelRatio(shot.devicePixelRatio());
        expected.fill(Qt::white);
        QPainter painter(&expected);
        painter.translate(-view().horizontalScrollBar()->value(), -view().verticalScrollBar()->value());
        painter.scale(zoom, zoom);
        view().RenderCanvas(painter, QRect(QPoint(0, 0), view().layoutSize()));
        painter.end();
        QCOMPARE(shot, expected);
    }

    // A tick repaints the boxes that changed, not the window; a pick of a
    // box repaints the whole view (its frames are the view's own).
    void tickRepaintsWhatChanged()
    {
        CHLServer* alpha = answering(doc->m_groups[0].get(), 1, "Alpha");
        answering(doc->m_groups[0].get(), 2, "Bravo");
        QTest::qWait(20);
        struct PaintSpy : QObject
        {
            QRegion painted;
            bool eventFilter(QObject*, QEvent* event) override
            {
                if (event->type() == QEvent::Paint)
                    painted += static_cast<QPaintEvent*>(event)->region();
                return false;
            }
        } spy;
        view().viewport()->installEventFilter(&spy);
        const auto paintedAfter = [&](auto&& change) {
            spy.painted = QRegion();
            change();
            doc->UpdateAllViews(CQuorvaneDoc::HintTick);
            QTest::qWait(30);
            return spy.painted;
        };
        QCOMPARE(paintedAfter([] {}), QRegion());
        const QRegion renamed = paintedAfter([&] { alpha->m_strHostname = "Alpha, renamed"; });
        const QRect box(view().toViewport(QPoint(alpha->m_rcBox.left, alpha->m_rcBox.top)),
                        view().toViewport(QPoint(alpha->m_rcBox.right, alpha->m_rcBox.bottom)));
        QVERIFY(!renamed.isEmpty());
        QVERIFY2(box.adjusted(-8, -8, 8, 8).contains(renamed.boundingRect()),
                 qPrintable(QString::number(renamed.boundingRect().width())));
        const QRegion picked = paintedAfter([&] { doc->parkConsole().picks.Toggle(alpha); });
        QVERIFY(picked.contains(view().viewport()->rect()));
    }

    // Hub managers are added from the Objects menu and the tool bar.
    void addHubManagerIsACommand()
    {
        QAction* add = frame->action(ID_OBJECTS_ADDHUBMANAGER);
        QVERIFY(add && frame->findChild<QToolBar*>(QStringLiteral("toolbar"))->actions().contains(add));
        ObjectDialogValues answer;
        answer.address = "127.0.0.9";
        answer.port = 27100;
        answer.groupIndex = 0;
        env.op.objectAnswers.push_back(answer);
        add->trigger();
        QVERIFY(doc->m_objects.size() == 1 && doc->m_objects.back()->IsHubManager());
    }

    // In a one-column group the line of a proxy to the first server goes
    // along the column's edge, not across the server in between; the tool
    // tip names the upstream and how long it has been relayed, and shows
    // machine-sent names as text, never as markup.
    void linksGoAroundTheBoxesBetween()
    {
        CHLServer* upstream = answering(doc->m_groups[0].get(), 1, "Upstream");
        CHLServer* between = answering(doc->m_groups[0].get(), 2, "Between");
        CHLTV* proxy = place(std::make_unique<CHLTV>(env.context()), doc->m_groups[0].get(), 3);
        proxy->m_nStatus = CSStatus_CONTROL;
        proxy->OnReply(oobReply("lConnected to Game Server 127.0.0.1:1, Delay 30\n"));
        doc->RelinkAll();
        QCOMPARE(proxy->m_pLinked, static_cast<CCommonObject*>(upstream));
        doc->UpdateAllViews(CQuorvaneDoc::HintLayout);
        const Rect& box = between->m_rcBox;
        // Between the icon and the label of the server in between: its fill.
        for (int y = box.top + 50; y < box.top + 58; ++y)
            QVERIFY2(qGray(pixelAt({box.center().x(), y})) > 100, qPrintable(QString::number(y)));
        // Beside the column, the line.
        QCOMPARE(qGray(pixelAt({box.right + 5, box.center().y()})), 0);

        env.clock.advance(300);
        const QString tip = objectToolTip(*proxy, env.clock.now());
        QVERIFY2(tip.contains(QStringLiteral("Relays: 127.0.0.1:1 (Upstream)")), qPrintable(tip));
        QVERIFY2(tip.contains(QStringLiteral("Relaying for: 5 min")), qPrintable(tip));
        between->m_strHostname = "<b>Boss</b> & co";
        between->m_strMap = "<img src=x>";
        const QString marked = objectToolTip(*between, env.clock.now());
        QVERIFY(marked.contains(QStringLiteral("&lt;b&gt;Boss&lt;/b&gt; &amp; co")) && marked.contains(QStringLiteral("&lt;img")));
    }

    // AutoWeb trouble that repeats at every tick, and a demo that could not
    // be collected, are told in the status bar and make one notification
    // each, never a box; a proxy's tip names its last demo as text.
    void backgroundTroubleDoesNotInterrupt()
    {
        QTemporaryDir empty; // no template there
        const QString previous = QDir::currentPath();
        QDir::setCurrent(empty.path());
        doc->m_moduleAutoWeb.m_bEnabled = 1;
        for (int i = 0; i < 3; ++i) {
            doc->TickAutoWeb();
            tickSeconds(30);
        }
        QDir::setCurrent(previous);
        QVERIFY(env.op.messages.empty());
        QCOMPARE(notifier.summaries, QStringList{QStringLiteral("AutoWeb cannot publish the page")});
        QVERIFY2(frame->statusBar()->currentMessage().startsWith(
                     QStringLiteral("AutoWeb: Unable to open template file web_template.html")),
                 qPrintable(frame->statusBar()->currentMessage()));
        QVERIFY(frame->statusBar()->currentMessage().endsWith(QStringLiteral("(no good upload yet)")));

        doc->demoNotice(QStringLiteral("Demo cup.dem of proxy 127.0.0.1:27020 not collected: refused"), true);
        doc->demoNotice(QStringLiteral("Demo collected: a.dem (1.2 MB, from proxy 127.0.0.1:27020)"), false);
        QVERIFY(env.op.messages.empty());
        QCOMPARE(notifier.summaries, (QStringList{"AutoWeb cannot publish the page", "A demo was not collected"}));
        QVERIFY(frame->statusBar()->currentMessage().startsWith(QStringLiteral("Demo collected: a.dem")));

        CHLTV proxy(doc->context());
        const QString tip = objectToolTip(proxy, env.clock.now(), "20261207_2100_<b>x</b>.dem (1.2 MB, 21:40)");
        QVERIFY2(tip.contains(QStringLiteral("Last demo: 20261207_2100_&lt;b&gt;x&lt;/b&gt;.dem (1.2 MB, 21:40)")),
                 qPrintable(tip));
        QVERIFY(!objectToolTip(proxy, env.clock.now()).contains(QStringLiteral("Last demo")));
    }

    void fileCommandsKeepTheTitleAndRecentFiles()
    {
        QCOMPARE(frame->windowTitle(), QStringLiteral("Untitled[*] - Quorvane"));
        QVERIFY(frame->isWindowModified()); // a new layout is unsaved
        QCOMPARE(view().layoutSize(), QSize(865, 280));
        QVERIFY(!frame->action(ID_LAYOUT_LOCK)->isEnabled());
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cup.layout"));
        QVERIFY(frame->SaveLayout(path));
        QCOMPARE(frame->windowTitle(), QStringLiteral("cup.layout[*] - Quorvane"));
        QVERIFY(!frame->isWindowModified());
        QVERIFY(frame->OpenLayout(path));
        QCOMPARE(frame->RecentFiles().value(0), QFileInfo(path).absoluteFilePath());
        QVERIFY(!frame->OpenLayout(dir.filePath(QStringLiteral("missing"))));
        QCOMPARE(frame->windowTitle(), QStringLiteral("cup.layout[*] - Quorvane"));
    }
};

QTEST_MAIN(TestView)
#include "tst_view.moc"
