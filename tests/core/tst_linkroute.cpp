// Link lines between boxes: straight when the way is clear, else around the
// boxes in between.
#include "core/LinkRoute.h"

#include <QTest>

namespace {

// A column of boxes 120x78, 10 apart, as a group lays them out.
Rect boxAt(int left, int row)
{
    const int top = 70 + row * 88;
    return {left, top, left + 120, top + 78};
}

QPoint iconCenter(const Rect& box)
{
    return {(box.left + box.right) / 2, box.top + 24};
}

int crossed(const std::vector<QPoint>& path, const std::vector<Rect>& boxes, const Rect& from, const Rect& to)
{
    int count = 0;
    for (const Rect& box : boxes) {
        if (box == from || box == to)
            continue;
        for (std::size_t i = 1; i < path.size(); ++i) {
            if (segmentMeets(path[i - 1], path[i], box)) {
                ++count;
                break;
            }
        }
    }
    return count;
}

} // namespace

class TestLinkRoute : public QObject
{
    Q_OBJECT

private slots:
    void segmentMeetsBox_data()
    {
        QTest::addColumn<QPoint>("a");
        QTest::addColumn<QPoint>("b");
        QTest::addColumn<bool>("meets");
        // The box (10,10)-(20,20), right and bottom edges exclusive.
        QTest::addRow("through") << QPoint(0, 15) << QPoint(30, 15) << true;
        QTest::addRow("inside") << QPoint(12, 12) << QPoint(14, 14) << true;
        QTest::addRow("diagonal across a corner") << QPoint(5, 15) << QPoint(15, 5) << true;
        QTest::addRow("diagonal past a corner") << QPoint(0, 9) << QPoint(9, 0) << false;
        QTest::addRow("along the right edge, outside") << QPoint(20, 0) << QPoint(20, 30) << false;
        QTest::addRow("ends short") << QPoint(0, 15) << QPoint(9, 15) << false;
        QTest::addRow("a point beside") << QPoint(25, 15) << QPoint(25, 15) << false;
    }

    void segmentMeetsBox()
    {
        QFETCH(QPoint, a);
        QFETCH(QPoint, b);
        QFETCH(bool, meets);
        QCOMPARE(segmentMeets(a, b, Rect{10, 10, 20, 20}), meets);
        QCOMPARE(segmentMeets(b, a, Rect{10, 10, 20, 20}), meets);
    }

    // Nothing in the way: the straight line.
    void clearWayIsStraight()
    {
        const Rect from = boxAt(40, 1);
        const Rect to = boxAt(40, 0);
        const Rect aside = boxAt(300, 0);
        const auto path = routeLink(iconCenter(from), from, iconCenter(to), to, {from, to, aside});
        QCOMPARE(path, (std::vector<QPoint>{iconCenter(from), iconCenter(to)}));
    }

    // One column, the upstream three boxes up: along the column's edge, in
    // the group's margin, crossing none of the boxes in between.
    void columnIsPassedAlongItsEdge()
    {
        std::vector<Rect> boxes;
        for (int row = 0; row < 4; ++row)
            boxes.push_back(boxAt(40, row));
        const Rect& from = boxes[3];
        const Rect& to = boxes[0];
        const auto path = routeLink(iconCenter(from), from, iconCenter(to), to, boxes);
        QCOMPARE(crossed(path, boxes, from, to), 0);
        QCOMPARE(path.size(), std::size_t{4});
        QCOMPARE(path[1].x(), from.right + 5); // within the group's 10-pixel margin
        QCOMPARE(path.front(), iconCenter(from));
        QCOMPARE(path.back(), iconCenter(to));
    }

    // Across two columns with boxes on the straight way: a bent path that
    // crosses none of them.
    void boxesAcrossColumnsAreAvoided()
    {
        std::vector<Rect> boxes;
        for (int row = 0; row < 3; ++row) {
            boxes.push_back(boxAt(40, row));
            boxes.push_back(boxAt(230, row));
        }
        const Rect& from = boxes[5]; // right column, bottom
        const Rect& to = boxes[0];   // left column, top
        QVERIFY(crossed({iconCenter(from), iconCenter(to)}, boxes, from, to) > 0);
        const auto path = routeLink(iconCenter(from), from, iconCenter(to), to, boxes);
        QCOMPARE(crossed(path, boxes, from, to), 0);
    }
};

QTEST_APPLESS_MAIN(TestLinkRoute)
#include "tst_linkroute.moc"
