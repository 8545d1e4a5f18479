// A window repaints only what draws differently since it last painted:
// after every kind of change, the screen painted that way must be the
// screen a full paint gives.
#include "layout/CQuorvaneDoc.h"
#include "layout/CanvasDamage.h"
#include "layout/CanvasLayout.h"
#include "layout/CanvasPainter.h"
#include "objects/CHLServer.h"
#include "objects/CHLTV.h"
#include "support/LoopbackPeer.h"
#include "support/TestContext.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <functional>

class TestCanvasDamage : public QObject
{
    Q_OBJECT

    TestContext env;
    std::unique_ptr<CQuorvaneDoc> doc;
    CanvasDamage damage;
    QImage screen;
    const QRect visible{0, 0, 700, 420};

    template <class T = CHLServer> T* server(CGroup* group, int port, const char* hostname, int players = 3)
    {
        auto object = std::make_unique<T>(env.context());
        object->m_strAddress = "127.0.0.1";
        object->m_nPort = port;
        object->m_pGroup = group;
        object->m_nStatus = CSStatus_MONITORING;
        object->m_timeLastReply = env.clock.now();
        object->m_strHostname = hostname;
        object->m_nPlayers = players;
        T* placed = object.get();
        doc->m_objects.push_back(std::move(object));
        return placed;
    }

    QImage fullPaint()
    {
        QImage image(visible.size(), QImage::Format_RGB32);
        image.fill(Qt::red);
        QPainter painter(&image);
        PaintCanvas(painter, *doc, visible);
        return image;
    }

    // As the window does: the layout, what changed, a paint clipped to it.
    QRegion refresh()
    {
        RecalcLayout(*doc);
        QRegion changed;
        for (const QRect& part : damage.Changed(*doc, visible, {}))
            changed += part.adjusted(-3, -3, 3, 3);
        QPainter painter(&screen);
        painter.setClipRegion(changed);
        PaintCanvas(painter, *doc, changed);
        painter.end();
        damage.Painted(*doc, changed, visible, {});
        return changed;
    }

private slots:
    void init()
    {
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        damage = CanvasDamage();
        screen = QImage(visible.size(), QImage::Format_RGB32);
        screen.fill(Qt::red);
    }

    void partialRepaintsShowWhatAFullPaintShows()
    {
        CGroup* servers = doc->m_groups[0].get();
        CHLServer* alpha = server(servers, 1, "Alpha");
        CHLServer* bravo = server(servers, 2, "Bravo");
        CHLServer* charlie = server(doc->m_groups[1].get(), 3, "Charlie");
        CHLTV* tv = server<CHLTV>(doc->m_groups[2].get(), 4, "", 0);
        tv->m_nStatus = CSStatus_CONTROL;
        const auto relayFrom = [&](int port) {
            tv->OnReply(
                oobReply("lConnected to Game Server 127.0.0.1:" + std::to_string(port) + ", Delay 30\n"));
            doc->RelinkAll();
        };
        relayFrom(1);
        QVERIFY(refresh().contains(visible)); // nothing painted yet
        QCOMPARE(screen, fullPaint());
        QCOMPARE(refresh(), QRegion()); // nothing changed

        const struct
        {
            const char* what;
            std::function<void()> change;
            const CCommonObject* onlyBox; // when only this box may be repainted
        } steps[] = {
            {"host name", [&] { bravo->m_strHostname = "Bravo, now a much longer name"; }, bravo},
            {"players", [&] { alpha->m_nPlayers = 12; }, alpha},
            {"down", [&] { charlie->m_nStatus = CSStatus_TIMEOUT; }, charlie},
            {"picked", [&] { doc->SetSelection(nullptr, bravo); }, nullptr},
            {"zone and another box picked", [&] { doc->SetSelection(doc->m_zones[0].get(), charlie); },
             nullptr},
            {"relay moved", [&] { relayFrom(3); }, nullptr},
            {"group colour", [&] { doc->m_groups[1]->m_crFill = 0x80FF80; }, nullptr},
            {"zone name", [&] { doc->m_zones[0]->m_strName = "Finals"; }, nullptr},
            {"back again", [&] { bravo->m_strHostname = "Bravo"; }, bravo},
        };
        for (const auto& step : steps) {
            step.change();
            const QRegion changed = refresh();
            QVERIFY2(!changed.isEmpty(), step.what);
            if (step.onlyBox)
                QVERIFY2(
                    step.onlyBox->m_rcBox.toQRect().adjusted(-8, -8, 8, 8).contains(changed.boundingRect()),
                    step.what);
            QVERIFY2(screen == fullPaint(), step.what);
            QVERIFY2(refresh().isEmpty(), step.what);
        }
    }

    // An object that comes moves the layout: everything is repainted; a
    // piece painted only in part is painted again.
    void layoutChangesAndPartialPaints()
    {
        CHLServer* alpha = server(doc->m_groups[0].get(), 1, "Alpha");
        refresh();
        server(doc->m_groups[0].get(), 2, "Bravo");
        QVERIFY(refresh().contains(visible));
        QCOMPARE(screen, fullPaint());

        alpha->m_strHostname = "Alpha two";
        const QRect box = alpha->m_rcBox.toQRect();
        // An exposure of half the box, as a window uncovered in part.
        RecalcLayout(*doc);
        const QRegion half(box.adjusted(0, 0, -box.width() / 2, 0));
        {
            QPainter painter(&screen);
            painter.setClipRegion(half);
            PaintCanvas(painter, *doc, half);
        }
        damage.Painted(*doc, half, visible, {});
        const QRegion changed = refresh();
        QVERIFY(changed.contains(box.adjusted(box.width() / 2, 0, 0, 0)));
        QCOMPARE(screen, fullPaint());
        // Beyond the window nothing is compared.
        alpha->m_strHostname = "Alpha three";
        QCOMPARE(damage.Changed(*doc, QRect(2000, 2000, 100, 100), {}), QRegion());
    }
};

QTEST_MAIN(TestCanvasDamage)
#include "tst_canvasdamage.moc"
