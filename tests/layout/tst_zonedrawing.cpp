#include "layout/CGroup.h"

#include <QImage>
#include <QPainter>
#include <QTest>

class TestZoneDrawing : public QObject
{
    Q_OBJECT

    static QImage render(const CZone& zone)
    {
        QImage image(220, 140, QImage::Format_RGB32);
        image.fill(Qt::red);
        QPainter painter(&image);
        zone.Draw(painter);
        return image;
    }

private slots:
    void longNameStaysOnOneLineInside()
    {
        CZone zone;
        zone.m_rcArea = {20, 20, 80, 120};
        zone.m_strName = "A zone name far wider than its area";
        const QImage image = render(zone);
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
