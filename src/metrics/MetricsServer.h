#pragma once

#include <QHostAddress>
#include <QHttpServer>
#include <QObject>

class CQuorvaneDoc;

// Serves GET /metrics over HTTP on the event loop; every other path or
// method is answered 404. The document is read when a scrape arrives and
// never learns of it.
class MetricsServer : public QObject
{
    Q_OBJECT

public:
    explicit MetricsServer(const CQuorvaneDoc& document, QObject* parent = nullptr);

    // Listens on address:port (port 0: any free port); the port, or 0 with
    // nothing listening.
    quint16 listen(const QHostAddress& address, quint16 port);

private:
    const CQuorvaneDoc& m_document;
    QHttpServer m_server;
};
