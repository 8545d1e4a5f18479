#include "layout/CQuorvaneDoc.h"
#include "layout/CanvasLayout.h"
#include "layout/CanvasPainter.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "support/TestContext.h"

#include <QImage>
#include <QPainter>
#include <QTest>

class TestCanvasLayout : public QObject
{
    Q_OBJECT

    TestContext env;
    std::unique_ptr<CQuorvaneDoc> doc;

    template <class T> T* place(std::unique_ptr<T> object, CGroup* group)
    {
        object->m_pGroup = group;
        T* placed = object.get();
        doc->m_objects.push_back(std::move(object));
        return placed;
    }

private slots:
    void init()
    {
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
    }

    void groupsSideBySideWrapAtTheWidth()
    {
        CZone* zone = doc->m_zones[0].get();
        for (const char* name : {"B", "C"})
            doc->AddGroup(name, zone, 1);
        // The classic look: the level-1 groups one below the other, level 2 beside them.
        RecalcLayout(*doc);
        QCOMPARE(doc->m_groups[3]->m_rcArea, (Rect{30, 260, 130, 460}));
        QCOMPARE(doc->m_groups[4]->m_rcArea, (Rect{30, 470, 130, 670}));
        QCOMPARE(zone->m_rcArea.bottom, 685);

        // Side by side in level order ("Servers", "B", "C" of level 1, then
        // "HLTV Local" of level 2), a new row where one would pass 400.
        const QSize size = RecalcLayout(*doc, LayoutOptions{true, 400});
        QCOMPARE(doc->m_groups[0]->m_rcArea, (Rect{30, 50, 130, 250}));
        QCOMPARE(doc->m_groups[3]->m_rcArea, (Rect{140, 50, 240, 250}));
        QCOMPARE(doc->m_groups[4]->m_rcArea, (Rect{250, 50, 350, 250}));
        QCOMPARE(doc->m_groups[1]->m_rcArea, (Rect{30, 260, 130, 460}));
        QCOMPARE(zone->m_rcArea, (Rect{15, 15, 365, 475}));
        QCOMPARE(size.height(), 490);
        // Too narrow for two: one group a row, never none.
        RecalcLayout(*doc, LayoutOptions{true, 50});
        QCOMPARE(doc->m_groups[3]->m_rcArea, (Rect{30, 260, 130, 460}));
        // The other zones are placed as before, beside the widest.
        QCOMPARE(doc->m_zones[1]->m_rcArea.left, 160);
    }

    // The canvas fills each zone and group only where nothing later covers
    // it, and frames them with bands where it can: the pixels must be those
    // of painting every area whole, picked or not, at any zoom and ratio.
    void paintedAsEveryAreaWhole()
    {
        doc->AddGroup("A group with a long name that will not fit", doc->m_zones[0].get(), 2);
        RecalcLayout(*doc);
        doc->m_zones[1]->m_rcArea.left -= 20; // overlapping its neighbour
        const QRect page(0, 0, 900, 300);
        const auto render = [&](qreal ratio, qreal zoom, auto&& paint) {
            QImage image(page.size() * ratio, QImage::Format_RGB32);
            image.setDevicePixelRatio(ratio);
            image.fill(Qt::red);
            QPainter painter(&image);
            painter.translate(-3, -2);
            painter.scale(zoom, zoom);
            painter.setClipRect(page); // what a repaint of page is asked for
            paint(painter);
            return image;
        };
        const auto whole = [&](QPainter& painter) {
            painter.fillRect(page, Qt::white);
            painter.setPen(Qt::black);
            const auto draw = [&](const CZone& area) {
                &area == doc->m_pSelectedZone ? area.DrawHighlighted(painter) : area.Draw(painter);
            };
            for (const auto& zone : doc->m_zones)
                draw(*zone);
            for (const auto& group : doc->m_groups)
                draw(*group);
        };
        for (CZone* picked : {static_cast<CZone*>(nullptr), static_cast<CZone*>(doc->m_groups[1].get()),
                              doc->m_zones[0].get()}) {
            doc->m_pSelectedZone = picked;
            for (const qreal ratio : {1.0, 2.0})
                for (const qreal zoom : {1.0, 1.25})
                    QVERIFY2(render(ratio, zoom, [&](QPainter& painter) { PaintCanvas(painter, *doc, page); }) ==
                                 render(ratio, zoom, whole),
                             qPrintable(QStringLiteral("ratio %1, zoom %2").arg(ratio).arg(zoom)));
        }
    }

    void defaultLayoutAndObjectsInAColumn()
    {
        QCOMPARE(RecalcLayout(*doc), QSize(865, 280)); // levels 3 and 4 are empty: 200 each
        QCOMPARE(doc->m_zones[0]->m_rcArea, (Rect{15, 15, 305, 265}));
        QCOMPARE(doc->m_groups[0]->m_rcArea, (Rect{30, 50, 130, 250}));
        QCOMPARE(doc->m_groups[1]->m_rcArea, (Rect{190, 50, 290, 250}));
        QCOMPARE(doc->m_zones[1]->m_rcArea, (Rect{320, 15, 450, 265}));
        QCOMPARE(doc->m_groups[2]->m_rcArea, (Rect{335, 50, 435, 250}));

        // Objects in a column.
        auto* server = place(std::make_unique<CHLServer>(env.context()), doc->m_groups[0].get());
        auto* second = place(std::make_unique<CHLServer>(env.context()), doc->m_groups[0].get());
        RecalcLayout(*doc);
        QCOMPARE(server->m_rcBox, (Rect{40, 70, 160, 148}));
        QCOMPARE(server->m_rcIcon, (Rect{76, 70, 124, 118}));
        QCOMPARE(second->m_rcBox, (Rect{40, 158, 160, 236}));
        QCOMPARE(doc->m_groups[0]->m_rcArea, (Rect{30, 50, 170, 246}));
        // The next column of the zone moves right with the wider group.
        QCOMPARE(doc->m_groups[1]->m_rcArea.left, 230);
    }

    void emptyZonesAndOtherLevels()
    {
        doc->DeleteContents();
        CZone* third = doc->AddZone("Third", 3);
        CZone* fifth = doc->AddZone("Fifth", 5);
        CZone* none = doc->AddZone("None", 0);
        const QSize size = RecalcLayout(*doc);
        // Levels 1 and 2 are empty: 200 each; then the level-3 zone.
        QCOMPARE(third->m_rcArea, (Rect{415, 15, 715, 215}));
        // Level 4 empty; then level 5, then level 0 after it.
        QCOMPARE(fifth->m_rcArea, (Rect{930, 15, 1230, 215}));
        QCOMPARE(none->m_rcArea, (Rect{1245, 15, 1545, 215}));
        QCOMPARE(size, QSize(1560, 230));

        CGroup* high = doc->AddGroup("High", third, 5);
        CGroup* low = doc->AddGroup("Low", third, 1);
        RecalcLayout(*doc);
        QCOMPARE(low->m_rcArea, (Rect{430, 50, 530, 250}));
        QCOMPARE(high->m_rcArea, (Rect{590, 50, 690, 250}));
    }

    void hubManagerBoxGrowsWithItsHubs()
    {
        auto* manager = place(std::make_unique<CGTV>(env.context()), doc->m_groups[2].get());
        manager->m_nHubs = 2;
        RecalcLayout(*doc);
        QCOMPARE(manager->m_rcBox, (Rect{345, 70, 465, 233}));
        // Rows are placed with the box, before any painting.
        QCOMPARE(manager->m_hubs[1].m_rcRow, (Rect{348, 163, 462, 203}));
    }
};

QTEST_MAIN(TestCanvasLayout)
#include "tst_canvaslayout.moc"
