#include "core/TextCodec.h"

#include <QTest>

class TestTextCodec : public QObject
{
    Q_OBJECT

private slots:
    void decode_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("expected");
        QTest::addRow("ascii") << QByteArray("de_dust2") << QStringLiteral("de_dust2");
        QTest::addRow("utf-8 name") << QByteArray("J\xC3\xB6rg \xE2\x82\xAC") << QString::fromUtf8("Jörg €");
        QTest::addRow("cp1252 euro and e-acute") << QByteArray("\x80 caf\xE9") << QString::fromUtf8("€ café");
        QTest::addRow("cp1252 quotes") << QByteArray("\x93hi\x94") << QString::fromUtf8("“hi”");
        QTest::addRow("truncated utf-8 falls back") << QByteArray("ab\xC3") << QString::fromUtf8("abÃ");
        QTest::addRow("overlong encoding falls back") << QByteArray("\xC0\xAF") << QString::fromUtf8("À¯");
        QTest::addRow("surrogate falls back") << QByteArray("\xED\xA0\x80") << QString::fromUtf8("í\u00A0\u20AC");
    }

    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(decodeText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))), expected);
    }

    void typedTextIsStoredAsUtf8()
    {
        QCOMPARE(encodeTyped(QString::fromUtf8("Zoë")), std::string("Zo\xC3\xAB"));
    }
};

QTEST_APPLESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
