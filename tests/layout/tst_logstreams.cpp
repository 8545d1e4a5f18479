// A server asked to stream its log here, on the injected clock: asked again
// whenever its rcon comes back (a restarted server forgets logaddress), and,
// silent for five minutes while it answers and holds players, asked once
// more and shown as "log stream lost" until lines come again.
#include "layout/CQuorvaneDoc.h"
#include "metrics/MetricsText.h"
#include "objects/CRconSocket.h"
#include "objects/OobDatagrams.h"
#include "support/LoopbackPeer.h"
#include "support/TestContext.h"

#include <QTest>
#include <algorithm>
#include <utility>

class TestLogStreams : public QObject
{
    Q_OBJECT

    TestContext env;
    std::unique_ptr<CQuorvaneDoc> doc;
    std::unique_ptr<LoopbackPeer> peer;
    CCommonObject* server = nullptr;
    std::string askStream;

    int asksDrained = 0;

    // Reads what the server was sent, before the peer's buffer overflows.
    void drainAsks()
    {
        const auto sent = peer->drain(*server);
        asksDrained +=
            static_cast<int>(std::count_if(sent.begin(), sent.end(), [this](const std::string& datagram) {
                return datagram.find(askStream) != std::string::npos;
            }));
    }

    // How many of the datagrams sent since the last call ask to stream here.
    int asksSent()
    {
        drainAsks();
        return std::exchange(asksDrained, 0);
    }

    // Seconds pass while the server answers every query.
    void answeringFor(int seconds)
    {
        for (int i = 0; i < seconds; ++i) {
            env.clock.advance(1);
            server->MarkReply();
            doc->TickSecond();
            if (i % 20 == 19)
                drainAsks();
        }
    }

    std::string streamLostMetric()
    {
        const QByteArray text = metricsText(*doc, env.clock.now());
        const QByteArray key =
            "quorvane_log_stream_lost{object=\"" + QByteArray::fromStdString(server->GetName()) + "\"} ";
        const qsizetype at = text.indexOf(key);
        return at < 0 ? std::string() : text.mid(at + key.size(), 1).toStdString();
    }

    bool consoleHas(const std::string& line) const
    {
        for (int i = 0; i < server->m_log.count(); ++i)
            if (server->m_log.line(i) == line)
                return true;
        return false;
    }

private slots:
    void init()
    {
        env.op = ScriptedOperator{};
        env.clock.set(3'000'000);
        asksDrained = 0;
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
        QString error;
        QVERIFY2(doc->m_feeds.listen(QHostAddress::LocalHost, 0, error), qPrintable(error));
        peer = std::make_unique<LoopbackPeer>();
        server = doc->AddServer("127.0.0.1", peer->port(), "pw", doc->m_groups[0].get());
        QVERIFY(server && server->channel());
        QTRY_VERIFY(server->channel()->isConnected());
        askStream = "logaddress_add 127.0.0.1 " + std::to_string(doc->m_feeds.listenPort());
        // Under rcon, then asked to stream.
        server->OnReply(oobReply("cchallenge rcon 5\n"));
        server->OnReply(oobReply("lok\n"));
        QCOMPARE(server->m_nStatus, CSStatus_CONTROL);
        std::string reason;
        QVERIFY2(doc->StreamLogs(*server, true, reason), reason.c_str());
        QCOMPARE(asksSent(), 1);
    }

    void cleanup()
    {
        doc.reset();
        peer.reset();
    }

    void askedAgainWhenRconComesBack()
    {
        answeringFor(6);
        QCOMPARE(asksSent(), 0);
        // A restart: the old challenge is refused, a new one is taken.
        server->OnReply(oobReply("9Bad challenge.\n"));
        server->OnReply(oobReply("cchallenge rcon 6\n"));
        server->OnReply(oobReply("lok\n"));
        doc->TickSecond();
        const auto sent = peer->drain(*server);
        QVERIFY(std::find(sent.begin(), sent.end(), oob::rconCommand(6, "pw", askStream)) != sent.end());
        // A time-out and back.
        env.clock.advance(11);
        doc->TickSecond();
        QCOMPARE(server->m_nStatus, CSStatus_TIMEOUT);
        server->OnReply(oobReply("cchallenge rcon 7\n"));
        server->OnReply(oobReply("lok\n"));
        doc->TickSecond();
        QCOMPARE(asksSent(), 1);
        // Asked to stop: never asked again.
        std::string reason;
        QVERIFY(doc->StreamLogs(*server, false, reason));
        server->OnReply(oobReply("9Bad challenge.\n"));
        server->OnReply(oobReply("cchallenge rcon 8\n"));
        server->OnReply(oobReply("lok\n"));
        answeringFor(2);
        QCOMPARE(asksSent(), 0);
        QCOMPARE(streamLostMetric(), std::string());
    }

    // Another layout streams nothing, even from a machine of the same
    // address.
    void newLayoutForgetsTheStreams()
    {
        doc->OnNewDocument();
        server = doc->AddServer("127.0.0.1", peer->port(), "pw", doc->m_groups[0].get());
        QVERIFY(server && server->channel());
        QTRY_VERIFY(server->channel()->isConnected());
        QVERIFY(!doc->StreamWanted(*server));
        server->OnReply(oobReply("cchallenge rcon 5\n"));
        server->OnReply(oobReply("lok\n"));
        server->m_nPlayers = 4;
        answeringFor(400);
        QCOMPARE(asksSent(), 0);
        QCOMPARE(streamLostMetric(), std::string());
    }

    void silenceWithPlayersIsALostStream()
    {
        // Without players, silence is no sign.
        answeringFor(400);
        QVERIFY(!doc->StreamLost(*server));
        QCOMPARE(asksSent(), 0);
        QCOMPARE(streamLostMetric(), std::string("0"));

        server->m_nPlayers = 4;
        answeringFor(299);
        QVERIFY(!doc->StreamLost(*server));
        answeringFor(1);
        QVERIFY(doc->StreamLost(*server));
        QCOMPARE(asksSent(), 1);
        QVERIFY(consoleHas("Quorvane : log stream lost"));
        QCOMPARE(streamLostMetric(), std::string("1"));
        // Asked once: still silent, not asked again.
        answeringFor(700);
        QCOMPARE(asksSent(), 0);
        QVERIFY(doc->StreamLost(*server));

        // A line comes: the stream is back.
        doc->m_feeds.receive(QByteArray("\xFF\xFF\xFF\xFFlog L 10/05/2024 - 14:22:01: Log file started\n"),
                             QHostAddress::LocalHost, peer->port());
        answeringFor(1);
        QVERIFY(!doc->StreamLost(*server));
        QVERIFY(consoleHas("Quorvane : log lines come again"));
        QCOMPARE(streamLostMetric(), std::string("0"));
    }
};

QTEST_GUILESS_MAIN(TestLogStreams)
#include "tst_logstreams.moc"
