#include "objects/DemoNames.h"
#include "objects/Gauges.h"

#include <QTest>

class TestGauges : public QObject
{
    Q_OBJECT

private slots:
    void gauges()
    {
        QCOMPARE(playerGaugeFill(48, 7), 24);
        QCOMPARE(playerGaugeFill(48, 13), 44);
        QCOMPARE(playerGaugeFill(48, 20), 48);
        QCOMPARE(ratioGaugeFill(48, 12, 64), 9);
        QCOMPARE(ratioGaugeFill(48, 5, 0), 0);
        QCOMPARE(ratioGaugeFill(48, 80, 64), 48); // more clients than slots stays inside
        QCOMPARE(ratioGaugeFill(48, -3, 64), 0);
        QCOMPARE(ratioGaugeFill(48, 2147483647, 1), 48);
        QCOMPARE(rateGaugeFill(48, -1.0f), 0);
        QCOMPARE(rateGaugeFill(48, 1.0f), 0);
        QCOMPARE(rateGaugeFill(48, 150.0f), 32);
        QCOMPARE(rateGaugeFill(48, 1500.0f), 48);
        QCOMPARE(rateGaugeFill(48, 1e9f), 48);
        QCOMPARE(rateGaugeFill(48, std::numeric_limits<float>::quiet_NaN()), 0);
    }

    void demoNameCleaning()
    {
        std::string name = "2003-06-14_21h05_de_dust2_Team A.x_B/C:D{}@[]!+=()é";
        SanitizeDemoName(name);
        QCOMPARE(name, std::string("2003-06-14_21h05_de_dust2_TeamAx_BCD{}@[]!+=()"));
        std::string nothing = " .:/\\\"'";
        SanitizeDemoName(nothing);
        QCOMPARE(nothing, std::string());
    }

    void demoTimeStampIsLocalTime()
    {
        qputenv("TZ", "UTC");
        tzset();
        QCOMPARE(demoTimeStamp(1055624700), std::string("2003-06-14_21h05"));
        qputenv("TZ", "Europe/Paris");
        tzset();
        QCOMPARE(demoTimeStamp(1055624700), std::string("2003-06-14_23h05"));
    }
};

QTEST_APPLESS_MAIN(TestGauges)
#include "tst_gauges.moc"
