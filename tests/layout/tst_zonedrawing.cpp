#include "layout/CGroup.h"

#include <QImage>
#include <QPainter>
#include <QTest>

namespace {

// Dark pixels in column x between rows fromY and toY.
int frameWidthAt(const QImage& image, int x, int fromY, int toY)
{
    int width = 0;
    for (int y = fromY; y < toY; ++y)
        width += qGray(image.pixel(x, y)) < 60 ? 1 : 0;
    return width;
}

} // namespace

class TestZoneDrawing : public QObject
{
    Q_OBJECT

    static QImage render(const CZone& zone, bool highlighted)
    {
        QImage image(220, 140, QImage::Format_RGB32);
        image.fill(Qt::red);
        QPainter painter(&image);
        highlighted ? zone.DrawHighlighted(painter) : zone.Draw(painter);
        return image;
    }

private slots:
    void thinAndThickFrames()
    {
        CGroup group; // a picked group gets the thick frame too
        group.m_rcArea = {20, 20, 200, 120};
        const QImage plain = render(group, false);
        const QImage thick = render(group, true);
        QCOMPARE(frameWidthAt(plain, 100, 100, 140), 1);
        QCOMPARE(frameWidthAt(plain, 100, 119, 120), 1); // on the last row of the area
        QVERIFY(frameWidthAt(thick, 100, 100, 140) >= 4);
        QCOMPARE(plain.pixel(100, 100), qRgb(255, 255, 255));
        QCOMPARE(plain.pixel(100, 130), qRgb(255, 0, 0));
    }

    void longNameStaysOnOneLineInside()
    {
        CZone zone;
        zone.m_rcArea = {20, 20, 80, 120};
        zone.m_strName = "A zone name far wider than its area";
        const QImage image = render(zone, false);
        // Ink only inside the area, and only on the first text line.
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.width(); ++x)
                if (x < 20 || x >= 80 || y < 20 || y >= 120)
                    QCOMPARE(image.pixel(x, y), qRgb(255, 0, 0));
        for (int y = 45; y < 118; ++y)
            for (int x = 22; x < 78; ++x)
                QCOMPARE(image.pixel(x, y), qRgb(255, 255, 190));
    }
};

QTEST_MAIN(TestZoneDrawing)
#include "tst_zonedrawing.moc"
