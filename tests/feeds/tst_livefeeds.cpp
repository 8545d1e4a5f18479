// The log port on 127.0.0.1: datagrams from the objects' addresses are
// filed, strangers are dropped and counted, a flood neither grows memory
// nor keeps timers from running; the per-minute history ring.
#include "feeds/LiveFeeds.h"
#include "feeds/LogStream.h"
#include "support/TestBytes.h"

#include <QTest>
#include <QTimer>
#include <QUdpSocket>
#include <algorithm>

namespace {

using Samples = std::vector<std::optional<int>>;

// The newest n samples, oldest first.
Samples tail(const Samples& samples, std::size_t n)
{
    return Samples(samples.end() - static_cast<std::ptrdiff_t>(n), samples.end());
}

} // namespace

class TestLiveFeeds : public QObject
{
    Q_OBJECT

private:
    LiveFeeds feeds;
    QUdpSocket park; // the machine that streams its log
    QUdpSocket stranger;
    const std::string name = "127.0.0.1:27015";

    void sendFrom(QUdpSocket& socket, const QByteArray& datagram)
    {
        socket.writeDatagram(datagram, QHostAddress::LocalHost, feeds.listenPort());
    }

    // Files the datagrams from 127.0.0.1:port under objectName, and only those.
    void fileFrom(quint16 port, const std::string& objectName)
    {
        feeds.setSources(
            {{LiveFeeds::sourceKey(QHostAddress(QHostAddress::LocalHost).toIPv4Address(), port), objectName}});
    }

private slots:
    void initTestCase()
    {
        QString error;
        QVERIFY2(feeds.listen(QHostAddress::LocalHost, 0, error), qPrintable(error));
        feeds.keepEvents(true);
        QVERIFY(park.bind(QHostAddress::LocalHost, 0));
        QVERIFY(stranger.bind(QHostAddress::LocalHost, 0));
        fileFrom(park.localPort(), name);
    }

    void strangersAreDropped()
    {
        std::vector<std::string> names;
        const auto connection = connect(&feeds, &LiveFeeds::eventReceived, this,
                                        [&names](const std::string& object) { names.push_back(object); });
        sendFrom(stranger, logDatagram("\"evil<1><STEAM_0:0:1><CT>\" say \"spoofed\""));
        sendFrom(park, "\xFF\xFF\xFF\xFFlnot a log line");
        sendFrom(park, logDatagram("\"bob<2><STEAM_0:1:2><CT>\" say \"real\""));
        QTRY_COMPARE(names.size(), std::size_t{1});
        disconnect(connection);
        QCOMPARE(names.front(), name);
        QTRY_COMPARE(feeds.droppedStrangers(), 1);
        QCOMPARE(feeds.droppedMalformed(), 1);
        const ObjectFeed* feed = feeds.feed(name);
        QVERIFY(feed);
        QCOMPARE(feed->events.events().back().text, std::string("real"));
        QCOMPARE(feed->counts[static_cast<std::size_t>(LogEvent::Type::Say)], 1);
    }

    // A datagram longer than the read buffer is cut by it: dropped whole,
    // however well its start reads, and so is a line without its end.
    void cutDatagramsAreDropped()
    {
        int received = 0;
        const auto connection = connect(&feeds, &LiveFeeds::eventReceived, this, [&received] { ++received; });
        const std::int64_t before = feeds.droppedMalformed();
        sendFrom(park, logDatagram("\"bob<2><STEAM_0:1:2><CT>\" say \"" + QByteArray(3000, 'x') + '"'));
        sendFrom(park, logDatagram("\"bob<2><STEAM_0:1:2><CT>\" say \"no end\"").chopped(2));
        sendFrom(park, logDatagram("\"bob<2><STEAM_0:1:2><CT>\" say \"whole\""));
        QTRY_COMPARE(received, 1);
        QTRY_COMPARE(feeds.droppedMalformed(), before + 2);
        disconnect(connection);
        QCOMPARE(feeds.feed(name)->events.events().back().text, std::string("whole"));
    }

    // With a secret set, only the "S<secret>L" form carrying it is filed.
    void secretIsRequired()
    {
        const std::string secretName = "127.0.0.1:1";
        fileFrom(1, secretName);
        feeds.setSecret(secretName, "4711");
        const QByteArray body = " 10/05/2024 - 14:22:01: \"bob<2><STEAM_0:1:2><CT>\" say \"x\"\n";
        for (const QByteArray& head : {QByteArray("S4711L"), QByteArray("S4712L"), QByteArray("log L"),
                                       QByteArray("RL"), QByteArray("S4711L")})
            feeds.receive(QByteArray("\xFF\xFF\xFF\xFF") + head + body, QHostAddress::LocalHost, 1);
        QCOMPARE(feeds.feed(secretName)->events.events().size(), std::size_t{2});
        QCOMPARE(feeds.droppedBadSecret(), 3);
        feeds.forget(secretName);
        fileFrom(park.localPort(), name);
    }

    // The commands a server is sent, from the address that routes to it.
    void streamCommands()
    {
        const quint32 loopback = QHostAddress(QHostAddress::LocalHost).toIPv4Address();
        QCOMPARE(localAddressToward(loopback),
                 std::optional<QHostAddress>(QHostAddress(QHostAddress::LocalHost)));
        using Commands = std::optional<std::vector<std::string>>;
        QCOMPARE(logStreamCommands(true, QHostAddress(QStringLiteral("127.0.0.2")), 27500),
                 Commands({"logaddress_add 127.0.0.2 27500", "log on"}));
        QCOMPARE(logStreamCommands(false, QHostAddress(QStringLiteral("127.0.0.2")), 27500),
                 Commands({"logaddress_del 127.0.0.2 27500"}));
        QCOMPARE(logStreamCommands(true, QHostAddress(QStringLiteral("::1")), 27500), Commands());
    }

    void floodIsBounded()
    {
        constexpr int kSent = 1000;
        int received = 0;
        int receivedWhenTimerRan = -1;
        connect(&feeds, &LiveFeeds::eventReceived, this, [&received] { ++received; });
        for (int i = 0; i < kSent; ++i)
            sendFrom(park, logDatagram("\"bob<2><STEAM_0:1:2><CT>\" say \"" + QByteArray(260, 'x') +
                                       QByteArray::number(i) + '"'));
        // Due before the event loop reads anything: it must run after the
        // first batch, not after the whole flood.
        QTimer::singleShot(0, this, [&] { receivedWhenTimerRan = received; });
        QTRY_VERIFY(receivedWhenTimerRan >= 0);
        // The kernel's buffer may drop part of the burst; a full ring is what counts.
        QTRY_VERIFY_WITH_TIMEOUT(received >= static_cast<int>(EventRing::kDefaultCapacity), 10000);
        QVERIFY2(receivedWhenTimerRan <= LiveFeeds::kBatch,
                 qPrintable(QString::number(receivedWhenTimerRan)));
        const ObjectFeed* feed = feeds.feed(name);
        QCOMPARE(feed->events.events().size(), feed->events.capacity());
        // Long fields are cut, and the newest event is kept.
        QCOMPARE(feed->events.events().back().text.size(), EventRing::kMaxField);
    }

    void history()
    {
        PlayerHistory history;
        const std::int64_t day = 86'400;
        const std::int64_t start = 1000 * day; // a minute boundary
        history.record(start, 5);
        history.record(start + 30, 7); // same minute: replaced
        history.record(start + 60, 8);
        history.record(start + 10 * 60, 12); // minutes 2..9 without samples
        history.record(start + 5 * 60, 99);  // back in time: ignored
        auto last = history.lastDay(start + 10 * 60);
        QCOMPARE(last.size(), std::size_t{PlayerHistory::kMinutes});
        QCOMPARE(tail(last, 12), (Samples{{}, 7, 8, {}, {}, {}, {}, {}, {}, {}, {}, 12}));
        // A day later the old samples have left the window.
        last = history.lastDay(start + day + 60);
        QCOMPARE(last.front(), std::nullopt);
        QCOMPARE(last[last.size() - 1 - (day / 60 + 1 - 10)], std::optional<int>(12));
        // After more than a day away, nothing old shows through the ring.
        history.record(start + 3 * day, 1);
        last = history.lastDay(start + 3 * day);
        QCOMPARE(std::count_if(last.begin(), last.end(), [](auto v) { return v.has_value(); }), 1);
        QCOMPARE(history.latest(), std::optional<int>(1));
        // Counts above a byte keep the samples taken before them.
        history.record(start + 3 * day + 60, 254);
        history.record(start + 3 * day + 120, 70000);
        QCOMPARE(tail(history.lastDay(start + 3 * day + 120), 3), (Samples{1, 254, 65534}));
    }

    void weekAndWhatTheLedgerKept()
    {
        const std::int64_t day = 86'400;
        const std::int64_t start = 1000 * day; // a ten-minute boundary
        PlayerHistory history;
        // Live minutes: the week keeps each span's peak, not its last minute.
        history.record(start + 2 * day, 4);
        history.record(start + 2 * day + 60, 9);
        history.record(start + 2 * day + 120, 2);
        history.record(start + 2 * day + 600, 1);
        // Read back late: a span from before, minutes of this span and of the one before.
        PlayerHistory::Backfill kept;
        kept.spans = {{start, 30}, {start - 7 * day, 99}}; // the second is older than the week
        kept.minutes = {{start + 2 * day + 60, 5}, {start + 2 * day - 60, 7}, {start + 2 * day + 600, 8}};
        history.fill(kept);
        const std::int64_t now = start + 2 * day + 600;
        auto week = history.lastWeek(now);
        QCOMPARE(week.size(), std::size_t{PlayerHistory::kSpans});
        QCOMPARE(tail(week, 3), (Samples{7, 9, 8}));
        QCOMPARE(week[week.size() - 1 - 2 * 144 - 1], std::optional<int>(30));
        QCOMPARE(std::count_if(week.begin(), week.end(), [](auto v) { return v.has_value(); }), 4);
        // In the day, a live minute keeps its larger count and an empty one takes the ledger's.
        QCOMPARE(tail(history.lastDay(now), 12), (Samples{7, 4, 9, 2, {}, {}, {}, {}, {}, {}, {}, 8}));
        // A ledger read into an empty history sets it going; live minutes follow on.
        PlayerHistory fresh;
        fresh.fill(kept);
        fresh.record(now + 60, 3);
        QCOMPARE(tail(fresh.lastDay(now + 60), 2), (Samples{8, 3}));
        QCOMPARE(fresh.lastWeek(now + 60).back(), std::optional<int>(8));
    }
};

QTEST_GUILESS_MAIN(TestLiveFeeds)
#include "tst_livefeeds.moc"
