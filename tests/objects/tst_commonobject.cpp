#include "layout/CGroup.h"
#include "objects/CCommonObject.h"
#include "objects/IconLibrary.h"
#include "support/TestContext.h"

#include <QImage>
#include <QPainter>
#include <QTest>
#include <set>

namespace {

QImage canvas(int width, int height, QColor background = Qt::white)
{
    QImage image(width, height, QImage::Format_RGB32);
    image.fill(background);
    return image;
}

bool isDark(QRgb pixel)
{
    return qRed(pixel) < 100 && qGreen(pixel) < 100 && qBlue(pixel) < 100;
}

} // namespace

class TestCommonObject : public QObject
{
    Q_OBJECT

    TestContext env;

    std::unique_ptr<CCommonObject> makeObject(const std::string& address, int port)
    {
        auto object = std::make_unique<CCommonObject>(env.context());
        object->m_strAddress = address;
        object->m_nPort = port;
        return object;
    }

private slots:
    void init() { env.op = ScriptedOperator{}; }

    void consoleLogKeepsTheLastFifty()
    {
        CConsoleLog log;
        for (int i = 1; i <= 120; ++i) {
            log.Add("line " + std::to_string(i));
            if (i == 51) {
                QCOMPARE(log.line(0), std::string("line 2"));
                QCOMPARE(log.line(49), std::string("line 51"));
            }
        }
        QCOMPARE(log.count(), 50);
        QCOMPARE(log.line(0), std::string("line 71"));
        QCOMPARE(log.line(49), std::string("line 120"));
        log.Clear();
        QCOMPARE(log.count(), 0);
    }

    void nameIsTheKey()
    {
        const auto object = makeObject("10.0.0.5", 27015);
        QCOMPARE(object->GetName(), std::string("10.0.0.5:27015"));
        QVERIFY(object->IsNamed("10.0.0.5:27015"));
        QVERIFY(!object->IsNamed("10.0.0.5:27016"));
        QVERIFY(!object->IsNamed("10.0.0.5:27015 "));

        const auto named = makeObject("Game.Example", -1);
        QCOMPARE(named->GetName(), std::string("Game.Example:-1"));
        QVERIFY(!named->IsNamed("game.example:-1"));
    }

    void startsTimedOutWithASpreadPhase()
    {
        std::set<int> phases;
        for (int i = 0; i < 200; ++i) {
            const auto object = makeObject("127.0.0.1", 1);
            QVERIFY(object->m_nPhase >= 0 && object->m_nPhase <= 4);
            phases.insert(object->m_nPhase);
            QCOMPARE(object->m_nStatus, CSStatus_TIMEOUT);
            QCOMPARE(object->m_timeLastReply, std::int64_t{0});
            QVERIFY(object->channel() == nullptr);
        }
        QCOMPARE(phases.size(), std::size_t{5});
    }

    void baseDropOnNamesTheTarget()
    {
        const auto dragged = makeObject("10.0.0.1", 27020);
        const auto target = makeObject("10.0.0.5", 27015);
        QVERIFY(!dragged->CanDrag());
        dragged->DropOn(target.get());
        dragged->DropOn(nullptr);
        QCOMPARE(env.op.messages, std::vector<std::string>{"Drop on 10.0.0.5:27015"});
    }

    void everyIconIsShipped()
    {
        const std::vector<std::pair<int, int>> icons{{130, 48}, {153, 48}, {154, 48}, {160, 48}, {161, 48},
                                                     {142, 16}, {143, 16}, {144, 16}, {145, 16}, {151, 9},
                                                     {155, 9},  {157, 32}};
        for (const auto& [id, size] : icons) {
            const QImage& image = iconImage(id);
            QVERIFY2(!image.isNull(), qPrintable(QString::number(id)));
            QCOMPARE(image.size(), QSize(size, size));
            QVERIFY(image.hasAlphaChannel());
        }
        QVERIFY(iconImage(999).isNull());
    }

    // The icon is centred at the top of the box and the label, cut to the
    // box's width, on its bottom line: no ink outside the box.
    void drawPlacesIconAndLabel()
    {
        auto object = makeObject("a-very-long-host-name.example.org", 27015);
        object->m_rcBox = {50, 10, 170, 88};
        QImage image = canvas(220, 120);
        QPainter painter(&image);
        object->Draw(painter);
        painter.end();
        QCOMPARE(object->m_rcIcon, (Rect{86, 10, 134, 58}));
        bool iconPainted = false;
        bool labelPainted = false;
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool inside = x >= 50 && x < 170 && y >= 10 && y < 88;
                QVERIFY2(inside || !isDark(image.pixel(x, y)), qPrintable(QStringLiteral("ink at %1,%2").arg(x).arg(y)));
                iconPainted = iconPainted || (x >= 86 && x < 134 && y < 58 && image.pixel(x, y) != qRgb(255, 255, 255));
                labelPainted = labelPainted || (inside && y >= 70 && isDark(image.pixel(x, y)));
            }
        }
        QVERIFY(iconPainted);
        QVERIFY(labelPainted);
    }

    void linkStyles()
    {
        auto thickness = [](bool dashed) {
            QImage image = canvas(100, 40);
            QPainter painter(&image);
            CCommonObject::DrawLink(painter, {10, 20}, {90, 20}, dashed);
            painter.end();
            int dark = 0;
            for (int y = 0; y < 40; ++y)
                dark += isDark(image.pixel(12, y)) ? 1 : 0;
            int gaps = 0;
            for (int x = 10; x < 90; ++x)
                gaps += isDark(image.pixel(x, 20)) ? 0 : 1;
            return std::pair{dark, gaps};
        };
        const auto [solidThickness, solidGaps] = thickness(false);
        QCOMPARE(solidThickness, 4);
        QCOMPARE(solidGaps, 0);
        const auto [dashedThickness, dashedGaps] = thickness(true);
        QCOMPARE(dashedThickness, 1);
        QVERIFY(dashedGaps > 0);
    }
};

QTEST_MAIN(TestCommonObject)
#include "tst_commonobject.moc"
