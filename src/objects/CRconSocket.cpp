#include "objects/CRconSocket.h"

#include "core/Operator.h"
#include "objects/CCommonObject.h"
#include "objects/ChannelPoller.h"
#include "objects/DatagramBatch.h"
#include "objects/QueryChannel.h"

#include <QHostAddress>
#include <QHostInfo>
#include <QPointer>

#include <arpa/inet.h>
#include <cerrno>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

// True from a socket that could not be made (the process is out of
// descriptors) until one is made again: the operator hears of a shortage
// once, not once for each of thousands of objects.
bool g_creationFailing = false;

static_assert(CRconSocket::kMaxDatagram == ReceiveBatch::kMaxDatagram);

} // namespace

CRconSocket::CRconSocket(CCommonObject& owner, Operator& op) : m_owner(owner), m_operator(op) {}

CRconSocket::~CRconSocket()
{
    if (m_lookupId >= 0)
        QHostInfo::abortHostLookup(m_lookupId);
    if (m_resolved) {
        if (QueryChannel* queries = QueryChannel::existing())
            queries->forget(m_address, m_port, this);
    }
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
    m_resolved = true;
    CCommonObject::AddressChanged();
    if (QueryChannel* queries = QueryChannel::instance())
        queries->watch(m_address, m_port, this);
    // An object without a password may never send rcon: its socket waits
    // for the first datagram that needs it.
    if (!m_owner.m_strRconPassword.empty())
        openSocket();
}

void CRconSocket::openSocket()
{
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
    peer.sin_addr.s_addr = m_address;
    if (::connect(m_fd, reinterpret_cast<const sockaddr*>(&peer), sizeof peer) != 0) {
        closeSocket();
        m_connectFailed = true;
        m_operator.showMessage("Connect failed for " + m_target);
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
    if (!m_resolved || m_connectFailed)
        return;
    if (m_fd < 0) {
        // A socket that could not be made is tried again now, and the
        // datagram after this one goes out through it.
        const bool retrying = m_createFailed;
        openSocket();
        if (retrying || m_fd < 0)
            return;
    }
    // Queries made before this datagram leave before it.
    if (QueryChannel* queries = QueryChannel::existing())
        queries->sendQueued();
    // Best effort, like any datagram: a full buffer or the "port
    // unreachable" of a machine that is down loses this one, and the
    // machine's silence is what the owner's timeout sees.
    (void)::send(m_fd, datagram.data(), datagram.size(), MSG_DONTWAIT | MSG_NOSIGNAL);
}

void CRconSocket::SendQuery(std::string_view datagram)
{
    QueryChannel* queries = QueryChannel::instance();
    if (!queries || m_createFailed) {
        Send(datagram);
        return;
    }
    if (isConnected())
        queries->send(m_address, m_port, datagram);
}

void CRconSocket::deliverQueryReply(std::string_view datagram)
{
    const CCommonObject::UnwatchedScope unwatched;
    m_owner.OnReply(datagram);
}

bool CRconSocket::isConnected() const
{
    return m_resolved && !m_connectFailed && !m_createFailed;
}

quint16 CRconSocket::localPort() const
{
    return boundPort(m_fd);
}

void CRconSocket::onReadable()
{
    // Every datagram waiting, up to one batch, in one call: under a flood
    // the event loop (the one-second tick, painting) still gets its turn
    // between batches. A call that finds an error instead (the "port
    // unreachable" of a machine that was down) takes it off the socket.
    BorrowedBatch borrowed;
    ReceiveBatch& batch = *borrowed;
    const int received = batch.receive(m_fd, false);
    const QPointer<CRconSocket> alive(this);
    const CCommonObject::UnwatchedScope unwatched;
    for (int i = 0; i < received; ++i) {
        const std::string_view datagram = batch.reply(i);
        if (datagram.empty())
            continue;
        // The owner may reopen its channel while handling the reply.
        m_owner.OnReply(datagram);
        if (!alive)
            return;
    }
}
