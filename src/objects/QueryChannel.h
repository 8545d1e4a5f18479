#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <memory>
#include <string_view>
#include <unordered_map>
#include <vector>

#include <netinet/in.h>

class CRconSocket;
class QSocketNotifier;

// The queries of every object (details, players, info, a hub manager's
// info) go out through one unbound-peer socket of the application, and
// their replies come back through it. What the objects ask in one tick
// leaves in batches of one system call each (sendmmsg) once the tick is
// over, and the replies are taken many to a call (recvmmsg), each handed
// to the channel whose machine's address and port sent it. A datagram from
// any other address is dropped. After each wake-up for replies the channel
// waits a few milliseconds before the next, so that replies are taken many
// at a time rather than one per wake-up.
//
// Rcon stays on each object's own connected socket: its replies (a refused
// password, a ban) belong to the object that sent the command, not to
// every object watching the same machine. A channel about to send rcon
// first sends the queries still waiting here, so that every machine sees
// the datagrams in the order they were made.
class QueryChannel : public QObject
{
    Q_OBJECT

public:
    // Queries are short; a longer datagram goes out at once, unbatched.
    static constexpr std::size_t kMaxQuery = 96;
    static constexpr int kBatch = 64;

    // The channel of the application (made on first use); nullptr when its
    // socket cannot be made.
    static QueryChannel* instance();
    // The channel if it was made, without making it (for closing down).
    static QueryChannel* existing();

    ~QueryChannel() override;

    // address is IPv4 in network order, port in host order.
    void watch(quint32 address, quint16 port, CRconSocket* channel);
    void forget(quint32 address, quint16 port, CRconSocket* channel);

    // Queues one query to address:port; it leaves when the event loop next
    // runs, or before any rcon datagram (sendQueued).
    void send(quint32 address, quint16 port, std::string_view datagram);
    // Sends what is queued, and nothing else.
    void sendQueued();

    quint16 localPort() const;
    // Replies from addresses no channel watches.
    quint64 strangers() const { return m_strangers; }

private:
    QueryChannel(int fd, QObject* parent);
    // The queued sends, a batch at a time, with the replies that arrived
    // meanwhile taken between batches: a burst of replies to thousands of
    // queries then never has to fit the socket's buffer at once.
    void flush();
    // Takes waiting replies, at most `batches` calls' worth; false when
    // this channel went away while a reply was handled.
    bool receive(int batches);
    // One batch of the queue; how many were taken off it.
    int sendBatch();
    void dispatch(quint64 key, std::string_view datagram);

    struct Query
    {
        sockaddr_in to;
        std::uint8_t length;
        char bytes[kMaxQuery];
    };

    int m_fd;
    std::unique_ptr<QSocketNotifier> m_notifier;
    QTimer m_gather; // wakes the notifier again after a pause
    std::unordered_multimap<quint64, QPointer<CRconSocket>> m_channels;
    std::vector<Query> m_queue;
    std::size_t m_sent = 0; // the queue's first m_sent entries are gone
    bool m_flushPosted = false;
    quint64 m_strangers = 0;
};
