#include "support/LoopbackPeer.h"

#include "objects/CCommonObject.h"
#include "objects/CRconSocket.h"

#include <QDeadlineTimer>
#include <QTest>

namespace {

const std::string kMarker = "\xFF\xFF\xFF\xFF" "quorvane-test-marker";

} // namespace

LoopbackPeer::LoopbackPeer()
{
    m_socket.bind(QHostAddress::LocalHost, 0);
}

bool LoopbackPeer::attach(CCommonObject& object)
{
    object.m_strAddress = "127.0.0.1";
    object.m_nPort = port();
    object.OpenChannel();
    return QTest::qWaitFor([&object] { return object.channel()->isConnected(); }, 5000);
}

std::vector<std::string> LoopbackPeer::drain(CCommonObject& object)
{
    std::vector<std::string> received;
    if (!object.channel())
        return received;
    object.channel()->Send(kMarker);
    QDeadlineTimer deadline(5000);
    while (!deadline.hasExpired()) {
        if (!m_socket.hasPendingDatagrams()) {
            m_socket.waitForReadyRead(50);
            continue;
        }
        std::string datagram(static_cast<std::size_t>(std::max<qint64>(m_socket.pendingDatagramSize(), 0)), '\0');
        m_socket.readDatagram(datagram.data(), static_cast<qint64>(datagram.size()));
        if (datagram == kMarker)
            return received;
        received.push_back(std::move(datagram));
    }
    received.emplace_back("<no marker within 5 s>");
    return received;
}

std::string oobReply(std::string_view body)
{
    std::string datagram(4, '\xFF');
    datagram.append(body);
    return datagram;
}
