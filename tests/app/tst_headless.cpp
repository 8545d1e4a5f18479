// Headless mode keeps only what something reads: a busy log stream is
// printed and counted, but no ring of events is filled for it; the
// window's Live page is what asks for the rings.
#include "app/HeadlessRunner.h"
#include "layout/CQuorvaneDoc.h"
#include "support/TestContext.h"

#include <QTest>
#include <QUdpSocket>

class TestHeadless : public QObject
{
    Q_OBJECT

private slots:
    void keepsNoEventStore()
    {
        TestContext ctx;
        CQuorvaneDoc document(ctx.context());
        CommandLine commandLine;
        commandLine.headless = true;
        commandLine.logListenAddress = "127.0.0.1";
        QUdpSocket probe;
        QVERIFY(probe.bind(QHostAddress::LocalHost, 0));
        commandLine.logListenPort = probe.localPort();
        probe.close();
        commandLine.objects.push_back({CommandLine::Kind::Server, "127.0.0.1", 27015, "", ""});
        HeadlessRunner runner(commandLine, document);
        runner.start();
        QVERIFY(document.m_feeds.isListening());

        const std::string name = "127.0.0.1:27015";
        document.m_feeds.setSources(
            {{LiveFeeds::sourceKey(QHostAddress(QHostAddress::LocalHost).toIPv4Address(), 27015), name}});
        int printed = 0;
        connect(&document.m_feeds, &LiveFeeds::eventReceived, this, [&printed] { ++printed; });
        for (int i = 0; i < 300; ++i)
            document.m_feeds.receive(
                "\xFF\xFF\xFF\xFFlog L 10/05/2024 - 14:22:01: \"bob<2><STEAM_0:1:2><CT>\" say \"" +
                    QByteArray::number(i) + "\"\n",
                QHostAddress::LocalHost, 27015);
        QCOMPARE(printed, 300);
        const ObjectFeed* feed = document.m_feeds.feed(name);
        QVERIFY(feed);
        QCOMPARE(feed->counts[static_cast<std::size_t>(LogEvent::Type::Say)], 300);
        QVERIFY(!document.m_feeds.keepsEvents());
        QVERIFY(feed->events.events().empty());
        runner.stopStreaming();
    }
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
