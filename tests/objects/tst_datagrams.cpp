#include "objects/OobDatagrams.h"
#include "objects/ScanNumber.h"

#include <QTest>

namespace {

QByteArray bytes(const std::string& text)
{
    return QByteArray(text.data(), static_cast<qsizetype>(text.size()));
}

} // namespace

class TestDatagrams : public QObject
{
    Q_OBJECT

private slots:
    // Exact bytes, the 00 counted; rcon fields are copied as they are.
    void exactBytes()
    {
        QCOMPARE(bytes(oob::detailsQuery()), QByteArray("\xFF\xFF\xFF\xFF" "details\0", 12));
        QCOMPARE(bytes(oob::challengeQuery()), QByteArray("\xFF\xFF\xFF\xFF" "challenge rcon\0", 19));
        QCOMPARE(bytes(oob::rconCommand(12345, "abc", "status")),
                 QByteArray("\xFF\xFF\xFF\xFF" "rcon 12345 \"abc\" status\0", 28));
        QCOMPARE(bytes(oob::rconCommand(0, "p\"w", "kick \"a b\"")),
                 QByteArray("\xFF\xFF\xFF\xFF" "rcon 0 \"p\"w\" kick \"a b\"\0", 28));
    }

    void challengeReply_data()
    {
        QTest::addColumn<QByteArray>("datagram");
        QTest::addColumn<bool>("hasNumber");
        QTest::addColumn<quint32>("challenge");
        const QByteArray head("\xFF\xFF\xFF\xFF" "challenge rcon ");
        QTest::addRow("five digits") << head + "12345\n" << true << quint32{12345};
        QTest::addRow("above int32 keeps its digits") << head + "3000000000\n" << true << quint32{3000000000u};
        QTest::addRow("largest") << head + "4294967295" << true << quint32{4294967295u};
        QTest::addRow("leading blanks skipped") << head + "  77 rest" << true << quint32{77};
        QTest::addRow("negative wraps") << head + "-1" << true << quint32{4294967295u};
        QTest::addRow("no digits") << head + "abc" << false << quint32{0};
        QTest::addRow("ends before the number") << QByteArray("\xFF\xFF\xFF\xFF" "challenge") << false
                                                << quint32{0};
    }

    void challengeReply()
    {
        QFETCH(QByteArray, datagram);
        QFETCH(bool, hasNumber);
        QFETCH(quint32, challenge);
        const auto parsed = oob::parseChallengeReply(std::string_view(datagram.constData(),
                                                                      static_cast<std::size_t>(datagram.size())));
        QCOMPARE(parsed.has_value(), hasNumber);
        if (hasNumber) {
            QCOMPARE(*parsed, challenge);
            // Sent back unsigned, with exactly the digits the machine sent.
            const std::string command = oob::rconCommand(*parsed, "x", "status");
            QVERIFY(command.find("rcon " + std::to_string(challenge) + " ") == 4);
        }
    }

    void scanIntStopsAtFirstOtherCharacter()
    {
        QCOMPARE(scanInt("27015abc"), std::optional<std::int32_t>(27015));
        QCOMPARE(scanInt("+5;"), std::optional<std::int32_t>(5));
        QCOMPARE(scanInt("-"), std::optional<std::int32_t>());
        QCOMPARE(scanIntLength("  42x"), std::size_t{4});
        QCOMPARE(scanIntLength("x42"), std::size_t{0});
    }
};

QTEST_APPLESS_MAIN(TestDatagrams)
#include "tst_datagrams.moc"
