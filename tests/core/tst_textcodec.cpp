#include "core/HtmlEscape.h"
#include "core/TerminalText.h"
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
        QTest::addRow("truncated utf-8 falls back") << QByteArray("ab\xC3") << QString::fromUtf8("abÃ");
        QTest::addRow("overlong encoding falls back") << QByteArray("\xC0\xAF") << QString::fromUtf8("À¯");
        QTest::addRow("surrogate falls back")
            << QByteArray("\xED\xA0\x80") << QString::fromUtf8("í\u00A0\u20AC");
    }

    void decode()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, expected);
        QCOMPARE(decodeText(std::string_view(bytes.constData(), static_cast<std::size_t>(bytes.size()))),
                 expected);
    }

    // Where remote text leaves the program: as HTML on the status page and
    // on a terminal in headless mode.
    void escaping_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("terminal");
        QTest::addColumn<QByteArray>("html");
        QTest::addRow("plain") << QStringLiteral("Cup #1") << QStringLiteral("Cup #1")
                               << QByteArray("Cup #1");
        QTest::addRow("escape sequence")
            << QStringLiteral("\x1B[2J\x1B]0;owned\x07") << QStringLiteral("\\x1b[2J\\x1b]0;owned\\x07")
            << QByteArray("\x1B[2J\x1B]0;owned\x07");
        QTest::addRow("forged line") << QStringLiteral("x\"\n127.0.0.1:1 server Timeout \"")
                                     << QStringLiteral("x\\\"\\x0a127.0.0.1:1 server Timeout \\\"")
                                     << QByteArray("x&quot;\n127.0.0.1:1 server Timeout &quot;");
        QTest::addRow("C1 control and backslash") << QString(QChar(0x9B)) + QStringLiteral("\\")
                                                  << QStringLiteral("\\x9b\\\\") << QByteArray("\xC2\x9B\\");
        QTest::addRow("markup") << QStringLiteral("<script>a('&')</script>")
                                << QStringLiteral("<script>a('&')</script>")
                                << QByteArray("&lt;script&gt;a(&#39;&amp;&#39;)&lt;/script&gt;");
    }

    void escaping()
    {
        QFETCH(QString, text);
        QTEST(escapeForTerminal(text, true), "terminal");
        QTEST(QByteArray::fromStdString(escapeHtml(text.toStdString())), "html");
    }
};

QTEST_APPLESS_MAIN(TestTextCodec)
#include "tst_textcodec.moc"
