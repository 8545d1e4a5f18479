#include "layout/CGroup.h"
#include "objects/CCommonObject.h"
#include "objects/IconLibrary.h"
#include "support/TestContext.h"

#include <QImage>
#include <QTest>
#include <set>

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
        for (int i = 1; i <= 120; ++i)
            log.Add("line " + std::to_string(i));
        QCOMPARE(log.count(), 50);
        QCOMPARE(log.line(0), std::string("line 71"));
        QCOMPARE(log.line(49), std::string("line 120"));
        log.Clear();
        QCOMPARE(log.count(), 0);
    }

    void startsTimedOutWithASpreadPhase()
    {
        std::set<int> phases;
        for (int i = 0; i < 200; ++i) {
            const auto object = makeObject("127.0.0.1", 1);
            QVERIFY(object->m_nPhase >= 0 && object->m_nPhase <= 4);
            phases.insert(object->m_nPhase);
            QCOMPARE(object->m_nStatus, CSStatus_TIMEOUT);
        }
        QCOMPARE(phases.size(), std::size_t{5});
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
};

QTEST_MAIN(TestCommonObject)
#include "tst_commonobject.moc"
