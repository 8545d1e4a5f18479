#pragma once

#include <QObject>
#include <QUdpSocket>
#include <array>
#include <string>
#include <string_view>

class CCommonObject;
class Operator;

// The rcon channel: one connected UDP socket per monitored object. Every
// datagram that arrives (at most 2048 bytes, starting with four 0xFF bytes)
// is handed to the owner's OnReply on the UI thread, NUL-terminated.
class CRconSocket : public QObject
{
    Q_OBJECT

public:
    static constexpr qint64 kMaxDatagram = 2048;
    static constexpr int kMaxDatagramsPerWakeUp = 64;

    CRconSocket(CCommonObject& owner, Operator& op);
    ~CRconSocket() override;

    // Creates the socket and connects it to address:port. A host name is
    // looked up in the background. Failures are shown to the operator
    // ("Create failed", "Connect failed for %s:%d"); the channel then stays
    // and sends nowhere.
    void Open(const std::string& address, int port);

    // Sends one datagram; does nothing until the socket is connected.
    void Send(std::string_view datagram);

    bool isConnected() const;
    quint16 localPort() const;

private:
    void onReadyRead();
    void onConnected();
    void onError(QAbstractSocket::SocketError error);
    void connectSocket();

    CCommonObject& m_owner;
    Operator& m_operator;
    QUdpSocket m_socket;
    std::string m_address;
    quint16 m_port = 0;
    std::string m_target;
    bool m_connecting = false;
    bool m_createFailed = false;
    std::array<char, kMaxDatagram + 1> m_buffer{};
};
