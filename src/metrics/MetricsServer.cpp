#include "metrics/MetricsServer.h"

#include "core/Clock.h"
#include "layout/CQuorvaneDoc.h"
#include "metrics/HttpConnection.h"
#include "metrics/MetricsText.h"

#include <QTcpSocket>
#include <QTimer>

MetricsServer::MetricsServer(const CQuorvaneDoc& document, QObject* parent)
    : MetricsServer(document, HttpLimits{}, parent)
{
}

MetricsServer::MetricsServer(const CQuorvaneDoc& document, const HttpLimits& limits, QObject* parent)
    : QObject(parent), m_document(document), m_limits(limits)
{
    connect(&m_server, &QTcpServer::newConnection, this, &MetricsServer::acceptConnections);
    // Room for a burst of connects: those over the caps are turned away at
    // once, but a connect the kernel drops is retried only a second later.
    m_server.setListenBacklogSize(256);
}

MetricsServer::~MetricsServer()
{
    // The connections go first: they call back into this server.
    for (HttpConnection* connection : findChildren<HttpConnection*>(Qt::FindDirectChildrenOnly)) {
        disconnect(connection, nullptr, this, nullptr);
        delete connection;
    }
}

quint16 MetricsServer::listen(const QHostAddress& address, quint16 port)
{
    return m_server.listen(address, port) ? m_server.serverPort() : 0;
}

void MetricsServer::acceptConnections()
{
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        const QString peer = socket->peerAddress().toString();
        int& fromPeer = m_perPeer[peer];
        if (m_connections >= m_limits.maxConnections || fromPeer >= m_limits.maxPerPeer) {
            if (fromPeer == 0)
                m_perPeer.remove(peer);
            refuse(socket);
            continue;
        }
        ++fromPeer;
        ++m_connections;
        auto* connection = new HttpConnection(
            socket, m_limits, [this](const HttpRequestHead& request) { return answer(request); }, this);
        connect(connection, &HttpConnection::finished, this, [this, peer] { release(peer); });
    }
}

void MetricsServer::refuse(QTcpSocket* socket)
{
    // Answered without reading: the answer fits the kernel's buffer, so the
    // socket is closed at once; one that lingers is cut off.
    socket->setParent(this);
    socket->write("HTTP/1.1 503 Service Unavailable\r\nContent-Length: 20\r\nConnection: close\r\n\r\n"
                  "too many connections");
    socket->disconnectFromHost();
    if (socket->state() == QAbstractSocket::UnconnectedState) {
        socket->deleteLater();
        return;
    }
    connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
    QTimer::singleShot(m_limits.requestTimeoutMs, socket, [socket] {
        socket->abort();
        socket->deleteLater();
    });
}

void MetricsServer::release(const QString& peer)
{
    --m_connections;
    const auto it = m_perPeer.find(peer);
    if (it != m_perPeer.end() && --it.value() <= 0)
        m_perPeer.erase(it);
}

HttpAnswer MetricsServer::answer(const HttpRequestHead& request)
{
    if (request.method != "GET" || request.path != "/metrics")
        return {404, "text/plain; charset=utf-8", "not found\n"};
    const std::int64_t now = m_document.context().clock->now();
    if (!m_pageBuilt || now != m_pageSecond) {
        m_page = metricsText(m_document, now);
        m_pageSecond = now;
        m_pageBuilt = true;
    }
    return {200, "text/plain; version=0.0.4; charset=utf-8", m_page};
}
