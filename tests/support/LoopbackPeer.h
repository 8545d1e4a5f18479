#pragma once

#include <QUdpSocket>
#include <string>
#include <string_view>
#include <vector>

class CCommonObject;

// A UDP peer on 127.0.0.1 that stands for the machine an object talks to:
// point the object at port(), open its channel, and drain() returns every
// datagram the object has sent since the last drain, in order.
class LoopbackPeer
{
public:
    LoopbackPeer();

    quint16 port() const { return m_socket.localPort(); }

    // Points object at this peer, opens its channel and waits (bounded)
    // until it is connected. False when it does not connect.
    bool attach(CCommonObject& object);

    // Sends a marker through the object's channel and reads everything up to
    // it: loopback keeps order, so nothing sent before is missed.
    std::vector<std::string> drain(CCommonObject& object);

private:
    QUdpSocket m_socket;
};

// A datagram as the object's OnReply receives it: four 0xFF bytes, then body.
std::string oobReply(std::string_view body);
