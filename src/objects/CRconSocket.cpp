#include "objects/CRconSocket.h"

#include "core/Operator.h"
#include "objects/CCommonObject.h"
#include "objects/ChannelPoller.h"
#include "objects/OobDatagrams.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>
#include <vector>

namespace {

// True from a socket that could not be made (the process is out of
// descriptors) until one is made again: the operator hears of a shortage
// once, not once for each of thousands of objects.
bool g_creationFailing = false;

// Room for one wake-up's datagrams, each one byte longer than the largest
// reply so that a longer datagram shows as too long. Channels share these
// (they all run on one thread); a reply handled inside another's handling
// (a modal message runs the event loop) takes a second one.
struct ReceiveBatch
{
    static constexpr int kSlot = CRconSocket::kMaxDatagram + 1;
    char bytes[CRconSocket::kMaxDatagramsPerWakeUp][kSlot + 1]; // + the NUL after each
    iovec parts[CRconSocket::kMaxDatagramsPerWakeUp];
    mmsghdr headers[CRconSocket::kMaxDatagramsPerWakeUp];
};

std::vector<std::unique_ptr<ReceiveBatch>>& spareBatches()
{
    static std::vector<std::unique_ptr<ReceiveBatch>> spares;
    return spares;
}

class BorrowedBatch
{
public:
    BorrowedBatch()
    {
        auto& spares = spareBatches();
        if (spares.empty()) {
            m_batch = std::make_unique<ReceiveBatch>();
        } else {
            m_batch = std::move(spares.back());
            spares.pop_back();
        }
    }
    ~BorrowedBatch() { spareBatches().push_back(std::move(m_batch)); }
    BorrowedBatch(const BorrowedBatch&) = delete;
    BorrowedBatch& operator=(const BorrowedBatch&) = delete;
    ReceiveBatch& operator*() { return *m_batch; }

private:
    std::unique_ptr<ReceiveBatch> m_batch;
};

} // namespace

CRconSocket::CRconSocket(CCommonObject& owner, Operator& op) : m_owner(owner), m_operator(op) {}

CRconSocket::~CRconSocket()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    closeSocket();
}

void CRconSocket::Open(const std::string& address, int port)
{
    m_target = address + ":" + std::to_string(port);
    if (port < 0 || port > 65535) {
        m_operator.showMessage("Connect failed for " + m_target);
        return;
    }
    m_port = static_cast<quint16>(port);
    in_addr literal{};
    if (inet_pton(AF_INET, address.c_str(), &literal) == 1) {
        connectTo(literal.s_addr);
        return;
    }
    // A host name: looked up without blocking the event loop.
    m_lookupId = QHostInfo::lookupHost(QString::fromStdString(address), this, &CRconSocket::onLookedUp);
}

void CRconSocket::onLookedUp(const QHostInfo& host)
{
    m_lookupId = -1;
    for (const QHostAddress& found : host.addresses()) {
        if (found.protocol() == QAbstractSocket::IPv4Protocol) {
            connectTo(htonl(found.toIPv4Address()));
            return;
        }
    }
    m_operator.showMessage("Connect failed for " + m_target);
}

quint32 CRconSocket::resolvedAddress() const
{
    return ntohl(m_address);
}

void CRconSocket::connectTo(quint32 address)
{
    m_address = address;
    CCommonObject::AddressChanged();
    m_createFailed = false;
    m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    m_poller = ChannelPoller::instance();
    if (m_fd >= 0 && (!m_poller || !m_poller->watch(m_fd, this))) {
        ::close(m_fd);
        m_fd = -1;
    }
    if (m_fd < 0) {
        m_createFailed = true;
        m_owner.m_log.Add("Quorvane : Create failed, no socket could be made (too many open files?)");
        if (!g_creationFailing)
            m_operator.showMessage("Create failed");
        g_creationFailing = true;
        return;
    }
    g_creationFailing = false;
    sockaddr_in peer{};
    peer.sin_family = AF_INET;
    peer.sin_port = htons(m_port);
    peer.sin_addr.s_addr = address;
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        closeSocket();
        m_operator.showMessage("Connect failed for " + m_target);
        return;
    }
}

void CRconSocket::closeSocket()
{
    if (m_fd < 0)
        return;
    if (m_poller)
        m_poller->forget(m_fd);
    ::close(m_fd);
    m_fd = -1;
}

void CRconSocket::Send(std::string_view datagram)
{
    if (m_fd < 0) {
        if (m_createFailed)
            connectTo(m_address);
        return;
    }
    // Best effort, like any datagram: a full buffer or the "port
    // unreachable" of a machine that is down loses this one, and the
    // machine's silence is what the owner's timeout sees.
    (void)::send(m_fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

bool CRconSocket::isConnected() const
{
    return m_fd >= 0;
}

quint16 CRconSocket::localPort() const
{
    sockaddr_in local{};
    socklen_t length = sizeof local;
    if (m_fd < 0 || ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&local), &length) != 0)
        return 0;
    return ntohs(local.sin_port);
}

void CRconSocket::onReadable()
{
    // Every datagram waiting, up to one batch, in one call: under a flood
    // the event loop (the one-second tick, painting) still gets its turn
    // between batches. A call that finds an error instead (the "port
    // unreachable" of a machine that was down) takes it off the socket.
    BorrowedBatch borrowed;
    ReceiveBatch& batch = *borrowed;
    for (int i = 0; i < kMaxDatagramsPerWakeUp; ++i) {
        batch.parts[i] = iovec{batch.bytes[i], ReceiveBatch::kSlot};
        batch.headers[i] = mmsghdr{};
        batch.headers[i].msg_hdr.msg_iov = &batch.parts[i];
        batch.headers[i].msg_hdr.msg_iovlen = 1;
    }
    const int received = ::recvmmsg(m_fd, batch.headers, kMaxDatagramsPerWakeUp, MSG_DONTWAIT, nullptr);
    const QPointer<CRconSocket> alive(this);
    for (int i = 0; i < received; ++i) {
        const auto length = static_cast<std::size_t>(batch.headers[i].msg_len);
        // Too long for a reply: dropped whole rather than passed on cut.
        if (length > static_cast<std::size_t>(kMaxDatagram) || (batch.headers[i].msg_hdr.msg_flags & MSG_TRUNC))
            continue;
        batch.bytes[i][length] = '\0';
        const std::string_view datagram(batch.bytes[i], length);
        if (!oob::hasOobPrefix(datagram))
            continue;
        // The owner may reopen its channel while handling the reply.
        m_owner.OnReply(datagram);
        if (!alive)
            return;
    }
}
