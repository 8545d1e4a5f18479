#include "objects/CClanDetector.h"

#include <QTest>

Q_DECLARE_METATYPE(std::vector<std::string>)

class TestClanDetector : public QObject
{
    Q_OBJECT

    // The parameters a game server sets before every run.
    static CClanDetector serverDetector()
    {
        CClanDetector detector;
        detector.m_nMinShare = 25;
        detector.m_nMaxShare = 100;
        detector.m_nMinMembers = 3;
        detector.m_nMinPlayers = 5;
        return detector;
    }

private slots:
    // "stale": nothing is detected and the previous result stays.
    void detect_data()
    {
        QTest::addColumn<std::vector<std::string>>("names");
        QTest::addColumn<QByteArray>("expected");
        QTest::addRow("fewer than five players")
            << std::vector<std::string>{"[A]a", "[A]b", "[A]c", "[A]d"} << QByteArray("stale");

        QTest::addRow("one tag, 3 of 5") << std::vector<std::string>{"[ABC]bob", "[ABC]john", "[ABC]mike", "qwe", "xyz"}
                                         << QByteArray("[ABC]");
        QTest::addRow("two tags in sorted order")
            << std::vector<std::string>{"=X=a", "=X=b", "=X=c", "-Y-a", "-Y-b", "-Y-c", "zed"}
            << QByteArray("-Y-, =X=");
        QTest::addRow("20 percent is too few")
            << std::vector<std::string>{"ABone", "ABtwo", "ABthree", "c1", "d2", "e3", "f4", "g5", "h6", "i7",
                                        "j8", "k9", "l0", "m1", "n2"}
            << QByteArray();
        QTest::addRow("longest accepted prefix wins")
            << std::vector<std::string>{"Alpha", "Alpha2", "Alpha3", "Bravo", "Charlie"} << QByteArray("Alpha");
        QTest::addRow("case matters") << std::vector<std::string>{"abc1", "ABC2", "abc3", "xx", "yy"} << QByteArray();
        QTest::addRow("prefix cut at twelve characters")
            << std::vector<std::string>{"LongClanName_1", "LongClanName_2", "LongClanName_3", "a", "b"}
            << QByteArray("LongClanName");
        // Tags are tried down to two characters, never one.
        QTest::addRow("two-character tag")
            << std::vector<std::string>{"ABx", "ABy", "ABz", "q", "r"} << QByteArray("AB");
        QTest::addRow("one character is no tag")
            << std::vector<std::string>{"Ax", "Ay", "Az", "q", "r"} << QByteArray();
        QTest::addRow("all names identical") << std::vector<std::string>(5, "Same") << QByteArray("Same");
        // Thirteen two-byte characters in common: the tag is twelve whole
        // characters, never a cut sequence.
        std::string accents;
        for (int i = 0; i < 13; ++i)
            accents += "\xC3\xA9";
        QTest::addRow("utf-8 prefix keeps whole characters")
            << std::vector<std::string>{accents + "a", accents + "b", accents + "c", "x", "y"}
            << QByteArray::fromStdString(accents.substr(0, 24));
    }

    void detect()
    {
        QFETCH(std::vector<std::string>, names);
        QFETCH(QByteArray, expected);
        CClanDetector detector = serverDetector();
        std::mutex lock;
        std::string result = "stale";
        QCOMPARE(detector.Detect(names, lock, result), expected != "stale");
        QCOMPARE(QByteArray::fromStdString(result), expected);
        QVERIFY(lock.try_lock()); // released afterwards
        lock.unlock();
    }
};

QTEST_APPLESS_MAIN(TestClanDetector)
#include "tst_clandetector.moc"
