// The canvas's single lines: laid out once and drawn again from the cache,
// they must land on the very pixels that Qt's own text drawing gives.
#include "core/LineCache.h"
#include "core/Painting.h"

#include <QFontMetrics>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

using Draw = std::function<void(QPainter&, const Rect&, const QString&, Qt::Alignment)>;

QImage render(const Draw& draw, const QString& text, const Rect& box, Qt::Alignment alignment, int cell,
              qreal ratio, qreal zoom)
{
    QImage image(QSize(260, 60) * ratio, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(ratio);
    image.fill(Qt::white);
    QPainter painter(&image);
    painter.translate(-7, 3); // a scrolled view
    painter.scale(zoom, zoom);
    painter.setFont(canvasFont(cell));
    painter.setPen(Qt::black);
    draw(painter, box, text, alignment);
    return image;
}

void qtDrawText(QPainter& painter, const Rect& box, const QString& text, Qt::Alignment alignment)
{
    const QString shown = QFontMetrics(painter.font()).elidedText(text, Qt::ElideRight, std::max(0, box.width()));
    painter.drawText(box.toQRect(), static_cast<int>(alignment) | Qt::TextSingleLine, shown);
}

} // namespace

class TestPainting : public QObject
{
    Q_OBJECT

private slots:
    void linesDrawAsQtDrawsThem_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("alignment");
        QTest::addColumn<int>("cell");
        const int bottomCentre = Qt::AlignHCenter | Qt::AlignBottom;
        QTest::addRow("name under the icon") << "127.0.0.1:27015" << 120 << 78 << bottomCentre << 13;
        QTest::addRow("hostname cut") << "Cup #1 | final | de_dust2 | 32 slots | www.example.org" << 120 << 15
                                      << bottomCentre << 12;
        QTest::addRow("zone title") << "Zone 1" << 240 << 50 << int(Qt::AlignHCenter | Qt::AlignTop) << 13;
        QTest::addRow("left, centred") << "Stage 2: 10" << 110 << 15 << int(Qt::AlignLeft | Qt::AlignVCenter) << 12;
        QTest::addRow("right") << "87/128" << 90 << 15 << int(Qt::AlignRight | Qt::AlignVCenter) << 12;
        QTest::addRow("taller than its row") << "Дмитрий Zoë Łukasz" << 120 << 8 << bottomCentre << 13;
        QTest::addRow("wider than an ellipsis") << "abcdef" << 4 << 15 << bottomCentre << 12;
        QTest::addRow("empty") << QString() << 120 << 15 << bottomCentre << 12;
    }

    void linesDrawAsQtDrawsThem()
    {
        QFETCH(QString, text);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, alignment);
        QFETCH(int, cell);
        const Rect box{20, 10, 20 + width, 10 + height};
        const auto align = static_cast<Qt::Alignment>(alignment);
        for (const qreal ratio : {1.0, 2.0}) {
            for (const qreal zoom : {1.0, 1.25}) {
                const QImage expected = render(qtDrawText, text, box, align, cell, ratio, zoom);
                // Twice: laid out, then from the cache.
                for (int round = 0; round < 2; ++round) {
                    const QImage drawn = render(drawSingleLine, text, box, align, cell, ratio, zoom);
                    QVERIFY2(drawn == expected,
                             qPrintable(QStringLiteral("ratio %1, zoom %2, round %3").arg(ratio).arg(zoom).arg(round)));
                }
            }
        }
    }

    // A line that changes (a new hostname) is laid out again, never drawn
    // from what the box showed before; the cache keeps no more than its bound.
    void cacheFollowsTextAndStaysBounded()
    {
        LineCache cache(3);
        const QFont font = canvasFont(12);
        QCOMPARE(cache.get(font, QStringLiteral("de_dust2"), 120).shown, QStringLiteral("de_dust2"));
        QCOMPARE(cache.get(font, QStringLiteral("de_inferno"), 120).shown, QStringLiteral("de_inferno"));
        const QString elided = cache.get(font, QStringLiteral("de_inferno"), 30).shown;
        QVERIFY(elided.endsWith(QChar(0x2026)));
        QVERIFY(elided.size() < 10);
        QCOMPARE(cache.get(canvasFont(20), QStringLiteral("de_dust2"), 120).shown, QStringLiteral("de_dust2"));
        QCOMPARE(cache.size(), 3);
        for (int i = 0; i < 50; ++i)
            QCOMPARE(cache.get(font, QString::number(i), 120).shown, QString::number(i));
        QCOMPARE(cache.size(), 3);
        QCOMPARE(cache.get(font, QStringLiteral("de_dust2"), 120).shown, QStringLiteral("de_dust2"));
    }
};

QTEST_MAIN(TestPainting)
#include "tst_painting.moc"
