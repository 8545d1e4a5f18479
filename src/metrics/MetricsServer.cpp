#include "metrics/MetricsServer.h"

#include "core/Clock.h"
#include "layout/CQuorvaneDoc.h"
#include "metrics/MetricsText.h"

#include <QHttpServerRequest>
#include <QHttpServerResponder>
#include <QHttpServerResponse>

MetricsServer::MetricsServer(const CQuorvaneDoc& document, QObject* parent)
    : QObject(parent), m_document(document)
{
    m_server.route(QStringLiteral("/metrics"), QHttpServerRequest::Method::Get, [this] {
        QHttpServerResponse response("text/plain; version=0.0.4; charset=utf-8",
                                     metricsText(m_document, m_document.context().clock->now()));
        return response;
    });
    m_server.setMissingHandler([](const QHttpServerRequest&, QHttpServerResponder&& responder) {
        responder.write(QHttpServerResponder::StatusCode::NotFound);
    });
}

quint16 MetricsServer::listen(const QHostAddress& address, quint16 port)
{
    return m_server.listen(address, port);
}
