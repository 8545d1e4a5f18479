#include "objects/CRconSocket.h"

#include "core/Operator.h"
#include "objects/CCommonObject.h"
#include "objects/OobDatagrams.h"

#include <QPointer>

namespace {

// True from a socket that could not be made (the process is out of
// descriptors) until one is made again: the operator hears of a shortage
// once, not once for each of thousands of objects.
bool g_creationFailing = false;

} // namespace

CRconSocket::CRconSocket(CCommonObject& owner, Operator& op) : m_owner(owner), m_operator(op)
{
    connect(&m_socket, &QUdpSocket::readyRead, this, &CRconSocket::onReadyRead);
    connect(&m_socket, &QUdpSocket::connected, this, &CRconSocket::onConnected);
    connect(&m_socket, &QUdpSocket::errorOccurred, this, &CRconSocket::onError);
}

CRconSocket::~CRconSocket()
{
    // Closing must not report anything back to the owner being destroyed.
    m_socket.disconnect(this);
}

void CRconSocket::Open(const std::string& address, int port)
{
    m_target = address + ":" + std::to_string(port);
    if (port < 0 || port > 65535) {
        m_operator.showMessage("Connect failed for " + m_target);
        return;
    }
    m_address = address;
    m_port = static_cast<quint16>(port);
    connectSocket();
}

void CRconSocket::connectSocket()
{
    m_connecting = true;
    m_createFailed = false;
    m_socket.connectToHost(QString::fromStdString(m_address), m_port, QIODevice::ReadWrite,
                           QAbstractSocket::IPv4Protocol);
}

void CRconSocket::Send(std::string_view datagram)
{
    if (!isConnected()) {
        if (m_createFailed && !m_connecting)
            connectSocket();
        return;
    }
    m_socket.write(datagram.data(), static_cast<qint64>(datagram.size()));
}

bool CRconSocket::isConnected() const
{
    return m_socket.state() == QAbstractSocket::ConnectedState;
}

quint16 CRconSocket::localPort() const
{
    return m_socket.localPort();
}

void CRconSocket::onConnected()
{
    m_connecting = false;
    g_creationFailing = false;
}

void CRconSocket::onError(QAbstractSocket::SocketError error)
{
    // Errors after the connection (an ICMP "port unreachable" from a machine
    // that is down) are handled in-band by the owner's timeout.
    if (!m_connecting)
        return;
    m_connecting = false;
    if (error == QAbstractSocket::SocketResourceError ||
        error == QAbstractSocket::UnsupportedSocketOperationError) {
        m_createFailed = true;
        m_owner.m_log.Add("Quorvane : Create failed, no socket could be made (too many open files?)");
        if (!g_creationFailing)
            m_operator.showMessage("Create failed");
        g_creationFailing = true;
    } else
        m_operator.showMessage("Connect failed for " + m_target);
}

void CRconSocket::onReadyRead()
{
    // The socket is readable: the first read needs no look ahead. A read
    // that finds no datagram has taken off a pending error (the "port
    // unreachable" of a machine that is down); left there, it would keep
    // the socket from ever reporting a reply again.
    // Further datagrams are read in a bounded batch per wake-up: under a
    // flood the event loop (the one-second tick, painting) still gets its
    // turn, and the rest waits for the next wake-up.
    for (int batch = 0; batch < kMaxDatagramsPerWakeUp; ++batch) {
        if (batch > 0 && !m_socket.hasPendingDatagrams())
            break;
        // One byte more than the largest reply: a datagram that fills it is
        // too long and is dropped whole rather than passed on truncated.
        const qint64 received = m_socket.readDatagram(m_buffer.data(), kMaxDatagram + 1);
        if (received < 0)
            break;
        if (received > kMaxDatagram)
            continue;
        m_buffer[static_cast<std::size_t>(received)] = '\0';
        const std::string_view datagram(m_buffer.data(), static_cast<std::size_t>(received));
        if (!oob::hasOobPrefix(datagram))
            continue;
        // The owner may reopen its channel while handling the reply.
        const QPointer<CRconSocket> alive(this);
        m_owner.OnReply(datagram);
        if (!alive)
            return;
    }
}
