#include "objects/QueryChannel.h"

#include "objects/CCommonObject.h"
#include "objects/CRconSocket.h"
#include "objects/DatagramBatch.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <algorithm>
#include <array>
#include <cstring>
#include <sys/socket.h>
#include <unistd.h>

namespace {

QueryChannel* g_channel = nullptr;

// Replies taken per wake-up of the event loop, in calls of a batch each:
// under a flood the tick and painting still get their turn.
constexpr int kReceiveCallsPerWakeUp = 8;
// Asked of the kernel for the socket's buffer (it grants at most its
// rmem_max): room for the replies of a tick's worth of queries.
constexpr int kReceiveBuffer = 4 * 1024 * 1024;
// After a wake-up for replies, the socket is left alone this long, so that
// the replies of a tick's queries (which arrive over some milliseconds) are
// taken a few calls at a time, not one wake-up each. A poll cycle is six
// seconds: a reply read 10 ms later changes nothing an operator sees.
constexpr int kGatherMs = 10;

quint64 keyOf(quint32 address, quint16 port)
{
    return (static_cast<quint64>(address) << 16) | port;
}

} // namespace

QueryChannel* QueryChannel::instance()
{
    if (!g_channel) {
        const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0)
            return nullptr;
        (void)::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &kReceiveBuffer, sizeof kReceiveBuffer);
        g_channel = new QueryChannel(fd, QCoreApplication::instance());
    }
    return g_channel;
}

QueryChannel::QueryChannel(int fd, QObject* parent)
    : QObject(parent), m_fd(fd), m_notifier(std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read))
{
    m_gather.setSingleShot(true);
    m_gather.setInterval(kGatherMs);
    m_gather.setTimerType(Qt::PreciseTimer);
    connect(&m_gather, &QTimer::timeout, this, [this] { m_notifier->setEnabled(true); });
    connect(m_notifier.get(), &QSocketNotifier::activated, this, [this] {
        if (!receive(kReceiveCallsPerWakeUp))
            return;
        m_notifier->setEnabled(false);
        m_gather.start();
    });
}

QueryChannel::~QueryChannel()
{
    m_notifier.reset();
    ::close(m_fd);
    if (g_channel == this)
        g_channel = nullptr;
}

void QueryChannel::watch(quint32 address, quint16 port, CRconSocket* channel)
{
    m_channels.emplace(keyOf(address, port), channel);
}

QueryChannel* QueryChannel::existing()
{
    return g_channel;
}

void QueryChannel::forget(quint32 address, quint16 port, CRconSocket* channel)
{
    // Entries of channels already gone go with it.
    auto [it, last] = m_channels.equal_range(keyOf(address, port));
    while (it != last)
        it = (it->second == channel || !it->second) ? m_channels.erase(it) : std::next(it);
}

quint16 QueryChannel::localPort() const
{
    return boundPort(m_fd);
}

void QueryChannel::send(quint32 address, quint16 port, std::string_view datagram)
{
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    to.sin_addr.s_addr = address;
    if (datagram.size() > kMaxQuery) {
        sendQueued();
        (void)::sendto(m_fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL,
                       reinterpret_cast<const sockaddr*>(&to), sizeof to);
        return;
    }
    Query& query = m_queue.emplace_back();
    query.to = to;
    query.length = static_cast<std::uint8_t>(datagram.size());
    std::memcpy(query.bytes, datagram.data(), datagram.size());
    if (!m_flushPosted) {
        m_flushPosted = true;
        QMetaObject::invokeMethod(this, &QueryChannel::flush, Qt::QueuedConnection);
    }
}

int QueryChannel::sendBatch()
{
    std::array<iovec, kBatch> parts;
    std::array<mmsghdr, kBatch> headers;
    const int count = static_cast<int>(std::min<std::size_t>(m_queue.size() - m_sent, kBatch));
    for (int i = 0; i < count; ++i) {
        Query& query = m_queue[m_sent + static_cast<std::size_t>(i)];
        parts[i] = iovec{query.bytes, query.length};
        headers[i] = mmsghdr{};
        headers[i].msg_hdr.msg_name = &query.to;
        headers[i].msg_hdr.msg_namelen = sizeof query.to;
        headers[i].msg_hdr.msg_iov = &parts[i];
        headers[i].msg_hdr.msg_iovlen = 1;
    }
    // Best effort, like any datagram: one the kernel refuses (a full
    // buffer) is lost, and the machine's silence is what its owner's
    // timeout sees.
    const int sent = ::sendmmsg(m_fd, headers.data(), static_cast<unsigned>(count), MSG_DONTWAIT | MSG_NOSIGNAL);
    const int taken = sent < count ? std::max(sent, 0) + 1 : count;
    m_sent += static_cast<std::size_t>(taken);
    if (m_sent == m_queue.size()) {
        m_queue.clear();
        m_sent = 0;
    }
    return taken;
}

void QueryChannel::sendQueued()
{
    while (m_sent < m_queue.size())
        sendBatch();
}

void QueryChannel::flush()
{
    m_flushPosted = false;
    while (m_sent < m_queue.size()) {
        sendBatch();
        if (!receive(1))
            return;
    }
}

bool QueryChannel::receive(int batches)
{
    const QPointer<QueryChannel> alive(this);
    for (int call = 0; call < batches; ++call) {
        BorrowedBatch borrowed;
        ReceiveBatch& batch = *borrowed;
        const int received = batch.receive(m_fd, true);
        for (int i = 0; i < received; ++i) {
            const std::string_view datagram = batch.reply(i);
            if (datagram.empty() || batch.headers[i].msg_hdr.msg_namelen != sizeof(sockaddr_in))
                continue;
            const sockaddr_in& from = batch.sources[i];
            dispatch(keyOf(from.sin_addr.s_addr, ntohs(from.sin_port)), datagram);
            if (!alive)
                return false;
        }
        if (received < ReceiveBatch::kDatagrams)
            break;
    }
    return true;
}

void QueryChannel::dispatch(quint64 key, std::string_view datagram)
{
    auto [first, last] = m_channels.equal_range(key);
    if (first == last) {
        ++m_strangers;
        return;
    }
    // One object per machine is the rule; the same machine twice in a
    // layout gets the reply twice. A handler may close other channels, so
    // the list is taken first and each is checked before it is called.
    if (std::next(first) == last) {
        if (CRconSocket* channel = first->second)
            channel->deliverQueryReply(datagram);
        return;
    }
    std::vector<QPointer<CRconSocket>> channels;
    for (auto it = first; it != last; ++it)
        channels.push_back(it->second);
    for (const auto& channel : channels) {
        if (channel)
            channel->deliverQueryReply(datagram);
    }
}
