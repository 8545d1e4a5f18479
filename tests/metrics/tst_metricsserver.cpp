// The metrics endpoint against its clients, in process on 127.0.0.x: what
// a well-behaved scraper gets, how each breach is answered, and that
// hostile clients (an endless header, a body, unread pipelined requests,
// idle connections, a slow sender) neither take memory nor delay a scrape.
#include "layout/CQuorvaneDoc.h"
#include "metrics/MetricsServer.h"
#include "support/TestContext.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTcpSocket>
#include <QTest>
#include <QTimer>
#include <memory>
#include <vector>

namespace {

qint64 residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').front().toLongLong();
    return -1;
}

// A client socket from 127.0.0.FROM, connected to the endpoint.
std::unique_ptr<QTcpSocket> connectFrom(int from, quint16 port)
{
    auto socket = std::make_unique<QTcpSocket>();
    socket->bind(QHostAddress(QStringLiteral("127.0.0.%1").arg(from)), 0);
    socket->connectToHost(QHostAddress::LocalHost, port);
    return socket;
}

// Sends request on a new connection from 127.0.0.FROM and takes what comes
// back until the server closes or waitMs pass. The server runs on this
// thread, so the wait runs the event loop.
QByteArray exchange(quint16 port, const QByteArray& request, int from = 1, int waitMs = 3000,
                    bool* closed = nullptr)
{
    auto socket = connectFrom(from, port);
    socket->write(request);
    QByteArray received;
    QElapsedTimer clock;
    clock.start();
    while (socket->state() != QAbstractSocket::UnconnectedState && clock.elapsed() < waitMs) {
        QTest::qWait(10);
        received += socket->readAll();
    }
    if (closed)
        *closed = socket->state() == QAbstractSocket::UnconnectedState;
    return received + socket->readAll();
}

// Writes head, then filler for ever (up to limit bytes), never more than
// a chunk ahead of what the kernel took. Its answer is not looked at: a
// server closing on unread bytes resets the connection, which may lose it.
class Flooder : public QObject
{
public:
    Flooder(int from, quint16 port, QByteArray head, qint64 limit)
        : m_socket(connectFrom(from, port)), m_limit(limit)
    {
        m_socket->write(head);
        connect(m_socket.get(), &QTcpSocket::bytesWritten, this, &Flooder::more);
        connect(m_socket.get(), &QTcpSocket::connected, this, &Flooder::more);
    }
    bool closed() const { return m_socket->state() == QAbstractSocket::UnconnectedState; }
    qint64 sent = 0;

private:
    void more()
    {
        static const QByteArray filler(64 * 1024, 'a');
        while (sent < m_limit && m_socket->state() == QAbstractSocket::ConnectedState &&
               m_socket->bytesToWrite() < filler.size()) {
            m_socket->write(filler);
            sent += filler.size();
        }
    }
    std::unique_ptr<QTcpSocket> m_socket;
    qint64 m_limit;
};

} // namespace

class TestMetricsServer : public QObject
{
    Q_OBJECT

private:
    TestContext ctx;
    std::unique_ptr<CQuorvaneDoc> document;

    std::unique_ptr<MetricsServer> start(const HttpLimits& limits, quint16& port)
    {
        auto server = std::make_unique<MetricsServer>(*document, limits);
        port = server->listen(QHostAddress::LocalHost, 0);
        return server;
    }

private slots:
    void init() { document = std::make_unique<CQuorvaneDoc>(ctx.context()); }
    void cleanup() { document.reset(); }

    void servesOneSnapshotPerSecond()
    {
        quint16 port = 0;
        const auto server = start({}, port);
        QVERIFY(port != 0);
        const QByteArray get = "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        // Keep-alive: two requests, two answers on one connection.
        const QByteArray both = exchange(port, get + get, 1, 600);
        QCOMPARE(both.count("HTTP/1.1 200 OK\r\n"), 2);
        QVERIFY(both.contains("Content-Type: text/plain; version=0.0.4; charset=utf-8\r\n"));
        QVERIFY(both.contains("quorvane_log_datagrams_dropped_total{reason=\"stranger\"} 0"));

        // The document changes within the second: the page does not.
        document->m_feeds.receive("\xFF\xFF\xFF\xFFlog L 10/05/2024 - 14:22:01: x\n", QHostAddress::LocalHost,
                                  9);
        QVERIFY(exchange(port, get, 1, 400).contains("{reason=\"stranger\"} 0"));
        ctx.clock.advance(1);
        QVERIFY(exchange(port, get, 1, 400).contains("{reason=\"stranger\"} 1"));

        QVERIFY(exchange(port, "GET /metrics?x=1 HTTP/1.1\r\n\r\n", 1, 400).startsWith("HTTP/1.1 200 "));
        QVERIFY(exchange(port, "POST /metrics HTTP/1.1\r\n\r\n", 1, 400).startsWith("HTTP/1.1 404 "));
        QVERIFY(exchange(port, "GET / HTTP/1.1\r\n\r\n", 1, 400).startsWith("HTTP/1.1 404 "));
        QVERIFY(exchange(port, "GET /metrics/x HTTP/1.1\r\n\r\n", 1, 400).startsWith("HTTP/1.1 404 "));
        // Asked to close, or HTTP/1.0: answered, then closed.
        for (const char* closing :
             {"GET /metrics HTTP/1.1\r\nConnection: close\r\n\r\n", "GET /metrics HTTP/1.0\r\n\r\n"}) {
            bool closed = false;
            QVERIFY(exchange(port, closing, 1, 3000, &closed).contains("Connection: close\r\n"));
            QVERIFY2(closed, closing);
        }
    }

    void breachesAreAnsweredAndClosed_data()
    {
        QTest::addColumn<QByteArray>("request");
        QTest::addColumn<QByteArray>("status");
        QTest::addRow("head over 8 KB")
            << "GET /metrics HTTP/1.1\r\nX: " + QByteArray(9000, 'a') << QByteArray("431");
        QTest::addRow("GET with a body")
            << QByteArray("GET /metrics HTTP/1.1\r\nContent-Length: 5\r\n\r\nhello") << QByteArray("413");
        QTest::addRow("chunked body")
            << QByteArray("GET /metrics HTTP/1.1\r\nTransfer-Encoding: chunked\r\n\r\n") << QByteArray("413");
        QTest::addRow("not HTTP") << QByteArray("\x16\x03\x01\x02\x05\r\n\r\n") << QByteArray("400");
        QTest::addRow("bad length") << QByteArray("GET /metrics HTTP/1.1\r\nContent-Length: -1\r\n\r\n")
                                    << QByteArray("400");
    }

    void breachesAreAnsweredAndClosed()
    {
        QFETCH(QByteArray, request);
        QFETCH(QByteArray, status);
        quint16 port = 0;
        const auto server = start({}, port);
        const QByteArray answer = exchange(port, request);
        QVERIFY2(answer.startsWith("HTTP/1.1 " + status + ' '), answer.left(60).constData());
        QVERIFY(answer.contains("Connection: close\r\n"));
        QTRY_COMPARE(server->connectionCount(), 0);
    }

    void capsConnections()
    {
        HttpLimits limits;
        limits.maxConnections = 10;
        limits.maxPerPeer = 3;
        quint16 port = 0;
        const auto server = start(limits, port);
        std::vector<std::unique_ptr<QTcpSocket>> held;
        for (int i = 0; i < 4; ++i)
            held.push_back(connectFrom(2, port));
        // The fourth from one address is turned away.
        QTRY_VERIFY(held.back()->state() == QAbstractSocket::UnconnectedState);
        QVERIFY(held.back()->readAll().startsWith("HTTP/1.1 503 "));
        for (int from = 3; from <= 5; ++from)
            for (int i = 0; i < 3; ++i)
                held.push_back(connectFrom(from, port));
        QTRY_COMPARE(server->connectionCount(), 10);
        QVERIFY(exchange(port, "GET /metrics HTTP/1.1\r\n\r\n", 6).startsWith("HTTP/1.1 503 "));
        held.clear();
        QTRY_COMPARE(server->connectionCount(), 0);
        QVERIFY(exchange(port, "GET /metrics HTTP/1.1\r\n\r\n", 6, 400).startsWith("HTTP/1.1 200 "));
    }

    void hostileClientsNeitherTakeMemoryNorDelayScrapes()
    {
        HttpLimits limits;
        limits.requestTimeoutMs = 1500;
        quint16 port = 0;
        const auto server = start(limits, port);
        QVERIFY(port != 0);
        QTest::qWait(50);
        const qint64 baseline = residentKiB();
        QVERIFY(baseline > 0);
        constexpr qint64 kFlood = 256LL * 1024 * 1024;

        Flooder endlessHeader(2, port, "GET /metrics HTTP/1.1\r\nX-Endless: ", kFlood);
        Flooder body(3, port, "GET /metrics HTTP/1.1\r\nContent-Length: 268435456\r\n\r\n", kFlood);
        auto pipelined = connectFrom(4, port);
        pipelined->setReadBufferSize(1); // never reads its answers
        QByteArray requests;
        for (int i = 0; i < 1000; ++i)
            requests += "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n";
        pipelined->write(requests);
        std::vector<std::unique_ptr<QTcpSocket>> idle;
        for (int i = 0; i < 200; ++i)
            idle.push_back(connectFrom(5 + i % 5, port));
        auto slowloris = connectFrom(10, port);
        const QByteArray slowHead =
            "GET /metrics HTTP/1.1\r\nHost: 127.0.0.1\r\nX-Slow: aaaaaaaaaaaaaaaaaaaaaaaaaaaaaa";
        qsizetype slowSent = 0;
        QTimer drip;
        connect(&drip, &QTimer::timeout, [&] {
            if (slowSent < slowHead.size() && slowloris->state() == QAbstractSocket::ConnectedState)
                slowloris->write(slowHead.mid(slowSent++, 1));
        });
        drip.start(50);

        // Scrapes on a fresh connection each time: every one answered whole
        // and closed within a second.
        int scraped = 0;
        int failed = 0;
        qint64 peak = baseline;
        const auto allClosed = [&] {
            for (const auto& socket : idle)
                if (socket->state() != QAbstractSocket::UnconnectedState)
                    return false;
            // The pipelining client reads nothing, so it cannot see its
            // end: the server's count tells.
            return endlessHeader.closed() && body.closed() && server->connectionCount() == 0 &&
                   slowloris->state() == QAbstractSocket::UnconnectedState;
        };
        QElapsedTimer clock;
        clock.start();
        while (clock.elapsed() < 8000 && !(allClosed() && clock.elapsed() > 2000)) {
            bool closed = false;
            const QByteArray answer =
                exchange(port, "GET /metrics HTTP/1.1\r\nConnection: close\r\n\r\n", 1, 1000, &closed);
            const bool good = closed && answer.startsWith("HTTP/1.1 200 ") && answer.contains("quorvane_");
            (good ? scraped : failed) += 1;
            QTest::qWait(20);
            peak = std::max(peak, residentKiB());
        }
        QVERIFY2(allClosed(), "a hostile connection is still open");
        QVERIFY2(peak - baseline < 64 * 1024,
                 qPrintable(QStringLiteral("grew by %1 KiB").arg(peak - baseline)));
        QVERIFY(endlessHeader.sent < 16LL * 1024 * 1024);
        QVERIFY(body.sent < 16LL * 1024 * 1024);
        QVERIFY(slowloris->readAll().startsWith("HTTP/1.1 408 "));
        QVERIFY2(scraped >= 5, qPrintable(QString::number(scraped)));
        QCOMPARE(failed, 0);
        pipelined->setReadBufferSize(0);
        pipelined->readAll();
        QTRY_COMPARE(pipelined->state(), QAbstractSocket::UnconnectedState);
    }
};

QTEST_GUILESS_MAIN(TestMetricsServer)
#include "tst_metricsserver.moc"
