// The layout view and the main frame, driven with the mouse under the
// offscreen platform.
#include "layout/CQuorvaneDoc.h"
#include "layout/CommandIds.h"
#include "layout/LayoutFile.h"
#include "objects/CHLTV.h"
#include "support/SimulatedPark.h"
#include "support/TestContext.h"
#include "ui/CMainFrame.h"
#include "ui/CQuorvaneView.h"

#include <QMenu>
#include <QPainter>
#include <QStandardPaths>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

class TestView : public QObject
{
    Q_OBJECT

    TestContext env;
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
            QMouseEvent move(QEvent::MouseMove, view().toViewport(at), surface->mapToGlobal(view().toViewport(at)),
                             Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
            QApplication::sendEvent(surface, &move);
        }
        QTest::mouseRelease(surface, Qt::LeftButton, {}, view().toViewport(to));
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
        frame = std::make_unique<CMainFrame>(*doc, new QWidget);
        frame->show();
        QVERIFY(QTest::qWaitForWindowExposed(frame.get()));
    }

    void cleanup()
    {
        doc->SetModifiedFlag(false); // no question on close
        frame.reset();
        doc.reset();
    }

    void defaultLayoutInTheWindow()
    {
        QCOMPARE(frame->windowTitle(), QStringLiteral("Untitled - Quorvane"));
        QCOMPARE(doc->m_zones[0]->m_rcArea, (Rect{15, 15, 305, 265}));
        QCOMPARE(doc->m_groups[1]->m_rcArea, (Rect{190, 50, 290, 250}));
        QCOMPARE(doc->m_zones[1]->m_rcArea, (Rect{320, 15, 450, 265}));
        QCOMPARE(view().layoutSize(), QSize(865, 280));
        QVERIFY(!frame->action(ID_LAYOUT_LOCK)->isEnabled());
    }

    void clickPicksObjectsBeforeGroups()
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
    }

    void noDragFromServersOrMonitoredProxies()
    {
        CHLServer* server = place(std::make_unique<CHLServer>(env.context()), doc->m_groups[0].get(), 1);
        CHLTV* proxy = place(std::make_unique<CHLTV>(env.context()), doc->m_groups[1].get(), 2);
        server->m_nStatus = CSStatus_CONTROL;
        proxy->m_nStatus = CSStatus_MONITORING;
        QWidget* surface = view().viewport();
        QTest::mousePress(surface, Qt::LeftButton, {}, view().toViewport({100, 100}));
        QVERIFY(!view().isDragging());
        QTest::mouseRelease(surface, Qt::LeftButton, {}, view().toViewport({100, 100}));
        QTest::mousePress(surface, Qt::LeftButton, {}, view().toViewport({250, 100}));
        QVERIFY(!view().isDragging());
        QTest::mouseRelease(surface, Qt::LeftButton, {}, view().toViewport({250, 100}));
    }

    void proxyMenuGreyedUntilControlled()
    {
        CHLTV* proxy = place(std::make_unique<CHLTV>(env.context()), doc->m_groups[1].get(), 2);
        doc->SetSelection(nullptr, proxy);
        std::unique_ptr<QMenu> menu(view().ContextMenu(frame.get()));
        QVERIFY(menu);
        std::map<QString, bool> enabled;
        for (QAction* action : menu->actions())
            if (!action->isSeparator())
                enabled[action->text()] = action->isEnabled();
        QCOMPARE(enabled.size(), std::size_t{9});
        for (const char* greyed : {"Server Password", "Spec Password", "Proxy Password", "Disconnect"})
            QVERIFY(!enabled.at(QLatin1String(greyed)));
        QVERIFY(enabled.at(QStringLiteral("Rcon Password")));
        QVERIFY(enabled.at(QStringLiteral("Properties")));

        doc->SetSelection(doc->m_zones[0].get(), nullptr);
        menu.reset(view().ContextMenu(frame.get()));
        QCOMPARE(menu->actions().first()->text(), QStringLiteral("D&elete"));
        doc->SetSelection(nullptr, nullptr);
        QVERIFY(!view().ContextMenu(frame.get()));
    }

    void dragConnectsAProxyToAServerOfThePark()
    {
        SimulatedPark park;
        QVERIFY2(park.start({QStringLiteral("--servers"), QStringLiteral("1"), QStringLiteral("--proxies"),
                             QStringLiteral("1"), QStringLiteral("--port"), QStringLiteral("0"),
                             QStringLiteral("--rcon"), QStringLiteral("pw"), QStringLiteral("--still")}),
                 qPrintable(park.errorString()));
        CCommonObject* server = doc->AddServer("127.0.0.1", park.serverPorts()[0], "pw", doc->m_groups[0].get());
        auto* proxy = static_cast<CHLTV*>(doc->AddProxy("127.0.0.1", park.proxyPorts()[0], doc->m_groups[1].get(),
                                                        "pw", "", "127.0.0.1", park.proxyPorts()[0], true, false));
        // The view's own clock drives the polls, in real time.
        QVERIFY(QTest::qWaitFor([&] { return proxy->CanDrag() && server->m_nStatus == CSStatus_CONTROL; }, 15000));

        drag(proxy->m_rcIcon.center(), server->m_rcIcon.center());
        QVERIFY(!view().isDragging());
        ParkProbe probe(park.proxyPorts()[0]);
        QVERIFY(probe.control("sim_history").value_or(QByteArray()).contains(
            QByteArray("connect 127.0.0.1:") + QByteArray::number(park.serverPorts()[0])));
        QVERIFY(QTest::qWaitFor([&] { return proxy->m_pLinked == server; }, 15000));

        // The link line is drawn: solid, between the two icons.
        QImage image(view().layoutSize(), QImage::Format_RGB32);
        QPainter painter(&image);
        view().RenderCanvas(painter, image.rect());
        painter.end();
        const QPoint middle = (proxy->m_rcIcon.center() + server->m_rcIcon.center()) / 2;
        QCOMPARE(image.pixel(middle.x(), middle.y()), qRgb(0, 0, 0));
    }

    void dragOverEmptyCanvasDropsNothing()
    {
        CHLTV* proxy = place(std::make_unique<CHLTV>(env.context()), doc->m_groups[1].get(), 2);
        proxy->m_nStatus = CSStatus_CONTROL;
        drag(proxy->m_rcIcon.center(), {600, 270});
        QVERIFY(!view().isDragging());
        QVERIFY(env.op.messages.empty());
        QCOMPARE(proxy->m_pLinked, nullptr);
    }

    void fileCommandsKeepTheTitleAndRecentFiles()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("cup.layout"));
        QVERIFY(frame->SaveLayout(path));
        QCOMPARE(frame->windowTitle(), QStringLiteral("cup.layout - Quorvane"));
        QVERIFY(frame->OpenLayout(path));
        QCOMPARE(frame->RecentFiles().value(0), QFileInfo(path).absoluteFilePath());
        QVERIFY(!frame->OpenLayout(dir.filePath(QStringLiteral("missing"))));
        QCOMPARE(env.op.messages, std::vector<std::string>{"Failed to open document."});
        QCOMPARE(frame->windowTitle(), QStringLiteral("cup.layout - Quorvane"));
    }
};

QTEST_MAIN(TestView)
#include "tst_view.moc"
