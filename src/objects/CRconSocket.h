#pragma once

#include <QObject>
#include <QPointer>
#include <string>
#include <string_view>

class CCommonObject;
class Operator;
class ChannelPoller;
class QHostInfo;

// The rcon channel: one connected UDP socket per monitored object. Every
// datagram that arrives (at most 2048 bytes, starting with four 0xFF bytes)
// is handed to the owner's OnReply on the UI thread, NUL-terminated.
//
// A park holds thousands of channels, so the socket is a plain descriptor
// in the channels' one epoll set: the datagrams waiting on it are taken in
// one system call per wake-up, and each query goes out in one.
class CRconSocket : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxDatagram = 2048;
    static constexpr int kMaxDatagramsPerWakeUp = 64;

    CRconSocket(CCommonObject& owner, Operator& op);
    ~CRconSocket() override;

    // Creates the socket and connects it to address:port. A host name is
    // looked up in the background. Failures are shown to the operator
    // ("Create failed", "Connect failed for %s:%d"); the channel then stays
    // and sends nowhere. When sockets cannot be made (no descriptor left),
    // the operator is told once, not once per channel, until a socket can
    // be made again.
    void Open(const std::string& address, int port);
    // Sends one datagram; does nothing until the socket is connected. A
    // channel whose socket could not be made tries again here, so that it
    // starts working once descriptors are free.
    void Send(std::string_view datagram);
    bool isConnected() const;
    quint16 localPort() const;
    // The machine's IPv4 address in host order once looked up, else 0.
    quint32 resolvedAddress() const;

private:
    friend class ChannelPoller;
    void onLookedUp(const QHostInfo& host);
    // Makes the socket and connects it to the IPv4 address (network order).
    void connectTo(quint32 address);
    void closeSocket();
    void onReadable();

    CCommonObject& m_owner;
    Operator& m_operator;
    int m_fd = -1;
    QPointer<ChannelPoller> m_poller; // goes with the application
    int m_lookupId = -1;
    quint32 m_address = 0; // network order, once known
    quint16 m_port = 0;
    std::string m_target;
    bool m_createFailed = false;
};
