#pragma once

#include <QObject>
#include <QPointer>
#include <string>
#include <string_view>

class CCommonObject;
class Operator;
class ChannelPoller;
class QHostInfo;

// The object's channel to its machine: the application's query channel
// (QueryChannel) for the queries, and a connected UDP socket of its own for
// rcon, made when the object first needs one. Every datagram that arrives
// (at most 2048 bytes, starting with four 0xFF bytes) is handed to the
// owner's OnReply on the UI thread, NUL-terminated.
//
// A park holds thousands of channels, so the rcon socket is a plain
// descriptor in the channels' one epoll set: the datagrams waiting on it
// are taken in one system call per wake-up.
class CRconSocket : public QObject
{
    Q_OBJECT

public:
    static constexpr int kMaxDatagram = 2048;

    CRconSocket(CCommonObject& owner, Operator& op);
    ~CRconSocket() override;

    // Aims the channel at address:port, and makes the rcon socket when the
    // owner has a password. A host name is looked up in the background. Failures are shown to the operator
    // ("Create failed", "Connect failed for %s:%d"); the channel then stays
    // and sends nowhere. When sockets cannot be made (no descriptor left),
    // the operator is told once, not once per channel, until a socket can
    // be made again.
    void Open(const std::string& address, int port);
    // Sends one datagram through the rcon socket (made now if it was not
    // needed before); does nothing until the address is known. A channel
    // whose socket could not be made tries again here, so that it starts
    // working once descriptors are free.
    void Send(std::string_view datagram);
    // Sends a query (details, players, info): batched with every other
    // object's through the application's query channel, its reply handed
    // to OnReply like any other. Like Send, nothing until connected.
    void SendQuery(std::string_view datagram);
    // The address is known and the channel can send.
    bool isConnected() const;
    // The rcon socket's port; 0 while it has none.
    quint16 localPort() const;
    // The machine's IPv4 address in host order once looked up, else 0.
    quint32 resolvedAddress() const;

private:
    friend class ChannelPoller;
    friend class QueryChannel;
    void deliverQueryReply(std::string_view datagram);
    void onLookedUp(const QHostInfo& host);
    // Takes the machine's IPv4 address (network order): queries can go,
    // and the rcon socket is made now when the owner has a password.
    void connectTo(quint32 address);
    // Makes the rcon socket and connects it to the machine.
    void openSocket();
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
    bool m_resolved = false;
    bool m_createFailed = false;
    bool m_connectFailed = false;
};
