#pragma once

#include "metrics/HttpLimits.h"

#include <QByteArray>
#include <QHash>
#include <QHostAddress>
#include <QObject>
#include <QTcpServer>
#include <cstdint>

class CQuorvaneDoc;
class HttpConnection;
struct HttpAnswer;
struct HttpRequestHead;

// Serves GET /metrics over HTTP/1.1 on the event loop; every other path or
// method is answered 404. Anyone who reaches the port is held to limits
// (HttpLimits): a connection over the caps is answered 503 and closed.
// The page is built from the document at most once per second of its
// clock and every scrape of that second gets the same snapshot; the
// document never learns of it.
class MetricsServer : public QObject
{
    Q_OBJECT

public:
    explicit MetricsServer(const CQuorvaneDoc& document, QObject* parent = nullptr);
    MetricsServer(const CQuorvaneDoc& document, const HttpLimits& limits, QObject* parent = nullptr);
    ~MetricsServer() override;

    // Listens on address:port (port 0: any free port); the port, or 0 with
    // nothing listening.
    quint16 listen(const QHostAddress& address, quint16 port);

    // Connections open now.
    int connectionCount() const { return m_connections; }

private:
    void acceptConnections();
    void refuse(QTcpSocket* socket);
    void release(const QString& peer);
    HttpAnswer answer(const HttpRequestHead& request);

    const CQuorvaneDoc& m_document;
    HttpLimits m_limits;
    QTcpServer m_server;
    int m_connections = 0;
    QHash<QString, int> m_perPeer;
    QByteArray m_page;
    std::int64_t m_pageSecond = 0;
    bool m_pageBuilt = false;
};
