#include "objects/CCommonObject.h"
#include "objects/CRconSocket.h"
#include "objects/OobDatagrams.h"
#include "objects/QueryChannel.h"
#include "support/TestContext.h"

#include <QTest>
#include <QNetworkDatagram>
#include <QUdpSocket>
#include <algorithm>
#include <sys/resource.h>

namespace {

// An object that keeps every datagram its channel hands up, with the byte
// that follows it (which must be the terminating NUL).
class ReplyRecorder : public CCommonObject
{
public:
    // With a password, as the objects that use rcon: the socket is made
    // when the channel opens.
    explicit ReplyRecorder(const CoreContext& context) : CCommonObject(context) { m_strRconPassword = "secret"; }
    using CCommonObject::SendDatagram;
    using CCommonObject::SendQuery;

    void OnReply(std::string_view datagram) override
    {
        replies.emplace_back(datagram);
        terminators.push_back(datagram.data()[datagram.size()]);
    }

    std::vector<std::string> replies;
    std::vector<char> terminators;
};

QByteArray oobPayload(qsizetype size, char fill)
{
    QByteArray payload(size, fill);
    payload.replace(0, 4, QByteArray(4, '\xFF'));
    return payload;
}

} // namespace

class TestRconSocket : public QObject
{
    Q_OBJECT

    TestContext env;
    QUdpSocket peer; // the machine at the other end
    std::unique_ptr<ReplyRecorder> object;

    void sendToObject(const QByteArray& datagram)
    {
        const qint64 sent =
            peer.writeDatagram(datagram, QHostAddress::LocalHost, object->channel()->localPort());
        QCOMPARE(sent, datagram.size());
    }

    // Sends a marker and waits for it: everything sent before it has been
    // read by then (loopback keeps order).
    void flushWithMarker()
    {
        const QByteArray marker("\xFF\xFF\xFF\xFFmarker");
        sendToObject(marker);
        QTRY_VERIFY_WITH_TIMEOUT(!object->replies.empty() && object->replies.back() == marker.toStdString(),
                                 5000);
    }

    // An object pointed at a machine, its channel opening.
    std::unique_ptr<ReplyRecorder> recorder(const std::string& address, int port)
    {
        auto made = std::make_unique<ReplyRecorder>(env.context());
        made->m_strAddress = address;
        made->m_nPort = port;
        made->OpenChannel();
        return made;
    }

    int drainPeer()
    {
        int count = 0;
        while (peer.hasPendingDatagrams()) {
            peer.receiveDatagram();
            ++count;
        }
        return count;
    }

private slots:
    void init()
    {
        env.op = ScriptedOperator{};
        QVERIFY(peer.bind(QHostAddress::LocalHost, 0));
        object = recorder("127.0.0.1", peer.localPort());
        QTRY_VERIFY_WITH_TIMEOUT(object->channel()->isConnected(), 5000);
    }

    void cleanup()
    {
        object.reset();
        peer.close();
    }

    // Up to the largest datagram, whole and followed by a 00 byte; larger
    // ones, and those without the four 0xFF bytes (or the FE FF FF FF of a
    // part of a long reply), never reach the object.
    void onlyWholeOutOfBandDatagramsArrive()
    {
        const QByteArray full = oobPayload(CRconSocket::kMaxDatagram, 'a');
        for (const QByteArray& dropped :
             {oobPayload(CRconSocket::kMaxDatagram + 1, 'b'), QByteArray("\xFF", 1),
              QByteArray("\xFF\xFF\xFF", 3), QByteArray("\xFE\xFF\xFF", 3),
              QByteArray("\xFD\xFF\xFF\xFF" "details", 11), QByteArray()})
            sendToObject(dropped);
        const QByteArray part("\xFE\xFF\xFF\xFF\x01\x00\x00\x00\x02" "E", 10);
        sendToObject(part);
        sendToObject(full);
        sendToObject(QByteArray("\xFF\xFF\xFF\xFF", 4)); // the prefix alone is a datagram
        flushWithMarker();
        QCOMPARE(object->replies.size(), std::size_t{4});
        QCOMPARE(QByteArray::fromStdString(object->replies[0]), part);
        QCOMPARE(QByteArray::fromStdString(object->replies[1]), full);
        QCOMPARE(object->terminators[1], '\0');
        QCOMPARE(object->replies[2], std::string(4, '\xFF'));
        QVERIFY(env.op.messages.empty());
    }

    void hostNameIsLookedUpInTheBackgroundAndFailuresReported()
    {
        const auto named = recorder("localhost", peer.localPort());
        QVERIFY(!named->channel()->isConnected()); // the look-up has not blocked
        QTRY_VERIFY_WITH_TIMEOUT(named->channel()->isConnected(), 5000);
        named->SendDatagram(oob::detailsQuery());
        QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingDatagrams(), 5000);
        QVERIFY(env.op.messages.empty());

        // Failures are reported.
        const auto badPort = recorder("127.0.0.1", 70000);
        QCOMPARE(env.op.messages, std::vector<std::string>{"Connect failed for 127.0.0.1:70000"});

        const auto noName = recorder("", 27015);
        QTRY_COMPARE_WITH_TIMEOUT(env.op.messages.size(), std::size_t{2}, 5000);
        QCOMPARE(env.op.messages[1], std::string("Connect failed for :27015"));
        // The channel stays in place and sends nowhere.
        QVERIFY(noName->channel());
        noName->SendDatagram(oob::detailsQuery());
    }

    void descriptorShortageIsReportedOnceAndChannelsRecover()
    {
        // With no descriptor left, no socket can be made: the operator hears
        // of it once, not once per object, and each object's log says it.
        rlimit saved{};
        QCOMPARE(getrlimit(RLIMIT_NOFILE, &saved), 0);
        rlimit none = saved;
        none.rlim_cur = 0;
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &none), 0);
        std::vector<std::unique_ptr<ReplyRecorder>> starved;
        for (int i = 0; i < 20; ++i)
            starved.push_back(recorder("127.0.0.1", peer.localPort()));
        QCOMPARE(setrlimit(RLIMIT_NOFILE, &saved), 0);
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(starved.begin(), starved.end(),
                                             [](const auto& o) { return o->m_log.count() == 1; }),
                                 5000);
        QCOMPARE(env.op.messages, std::vector<std::string>{"Create failed"});
        for (const auto& o : starved) {
            QVERIFY(o->channel());
            QVERIFY(!o->channel()->isConnected());
        }

        // Descriptors are free again: the next datagram each object sends
        // makes its socket, and the one after it goes out.
        for (const auto& o : starved)
            o->SendDatagram(oob::detailsQuery());
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(starved.begin(), starved.end(),
                                             [](const auto& o) { return o->channel()->isConnected(); }),
                                 5000);
        for (const auto& o : starved)
            o->SendDatagram(oob::detailsQuery());
        int received = 0;
        QTRY_VERIFY_WITH_TIMEOUT((received += drainPeer()) == 20, 5000);
        QCOMPARE(env.op.messages.size(), std::size_t{1});
    }

    void queriesShareOneChannel()
    {
        // A query made before an rcon datagram reaches the machine first,
        // from the application's query port, and the reply to it comes back
        // to the object; the same bytes from another address do not. Both
        // leave with their exact bytes.
        const std::string rcon = oob::rconCommand(4000000000u, "abc", "status");
        object->SendQuery(oob::detailsQuery());
        object->SendDatagram(rcon);
        QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingDatagrams(), 5000);
        const QNetworkDatagram query = peer.receiveDatagram();
        QCOMPARE(query.data().toStdString(), oob::detailsQuery());
        QCOMPARE(query.senderPort(), QueryChannel::instance()->localPort());
        QTRY_VERIFY_WITH_TIMEOUT(peer.hasPendingDatagrams(), 5000);
        QCOMPARE(peer.receiveDatagram().data().toStdString(), rcon);

        QUdpSocket stranger;
        QVERIFY(stranger.bind(QHostAddress::LocalHost, 0));
        const quint64 strangersBefore = QueryChannel::instance()->strangers();
        stranger.writeDatagram(QByteArray("\xFF\xFF\xFF\xFFmstranger", 13), QHostAddress::LocalHost, query.senderPort());
        QTRY_COMPARE_WITH_TIMEOUT(QueryChannel::instance()->strangers(), strangersBefore + 1, 5000);
        peer.writeDatagram(QByteArray("\xFF\xFF\xFF\xFFmreply", 10), QHostAddress::LocalHost, query.senderPort());
        QTRY_COMPARE_WITH_TIMEOUT(object->replies.size(), std::size_t{1}, 5000);
        QCOMPARE(object->replies[0], std::string("\xFF\xFF\xFF\xFFmreply", 10));
    }
};

QTEST_GUILESS_MAIN(TestRconSocket)
#include "tst_rconsocket.moc"
