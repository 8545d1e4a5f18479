// Headless mode keeps only what something reads: a busy log stream is
// printed and counted, but no ring of events is filled for it; the
// window's Live page is what asks for the rings. A suspension of rcon and
// its end are each one line on standard error.
#include "app/HeadlessRunner.h"
#include "layout/CQuorvaneDoc.h"
#include "objects/CRconSocket.h"
#include "objects/OobDatagrams.h"
#include "objects/RconNotices.h"
#include "support/LoopbackPeer.h"
#include "support/TestContext.h"

#include <QScopeGuard>
#include <QTest>
#include <QUdpSocket>
#include <algorithm>
#include <iostream>
#include <sstream>

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

    void banAndItsEndAreOneLineEach()
    {
        TestContext ctx;
        ctx.clock.set(2'000'000);
        CQuorvaneDoc document(ctx.context());
        LoopbackPeer peer;
        CommandLine commandLine;
        commandLine.headless = true;
        commandLine.objects.push_back({CommandLine::Kind::Server, "127.0.0.1", peer.port(), "pw", ""});
        std::ostringstream errors;
        std::streambuf* const standardError = std::cerr.rdbuf(errors.rdbuf());
        const auto restore = qScopeGuard([standardError] { std::cerr.rdbuf(standardError); });
        HeadlessRunner runner(commandLine, document);
        runner.start();
        QCOMPARE(document.m_objects.size(), std::size_t{1});
        CCommonObject& server = *document.m_objects.front();
        QTRY_VERIFY(server.channel() && server.channel()->isConnected());
        server.OnReply(oobReply("cchallenge rcon 5\n"));
        server.OnReply(oobReply("lYou have been banned from this server.\n"));
        const std::string name = server.GetName() + ": ";
        for (int second = 0; second < 599; ++second) {
            ctx.clock.advance(1);
            server.MarkReply();
            runner.tick();
            if (second % 20 == 19)
                peer.drain(server); // before the peer's buffer overflows
        }
        QCOMPARE(QByteArray::fromStdString(errors.str()),
                 QByteArray::fromStdString("quorvane: " + name + notices::kBanned + "\n"));
        errors.str({});
        // The probe ten minutes on is given its challenge: rcon resumes.
        ctx.clock.advance(1);
        server.MarkReply();
        runner.tick();
        const auto sent = peer.drain(server);
        QVERIFY(std::find(sent.begin(), sent.end(), oob::challengeQuery()) != sent.end());
        server.OnReply(oobReply("cchallenge rcon 6\n"));
        for (int second = 0; second < 3; ++second)
            runner.tick();
        QCOMPARE(QByteArray::fromStdString(errors.str()),
                 QByteArray::fromStdString("quorvane: " + name + notices::kBanLifted + "\n"));
        QVERIFY(!server.RconSuspended());
    }
};

QTEST_GUILESS_MAIN(TestHeadless)
#include "tst_headless.moc"
