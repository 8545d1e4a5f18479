#pragma once

#include "metrics/HttpLimits.h"
#include "metrics/HttpRequestHead.h"

#include <QByteArray>
#include <QObject>
#include <QTimer>
#include <functional>

class QTcpSocket;

struct HttpAnswer
{
    int status = 200;
    QByteArray contentType;
    QByteArray body;
};

// One client of a read-only HTTP/1.1 endpoint. At most the head limit is
// buffered; no request is read while an answer is still being taken (so a
// client that pipelines without reading is held back by TCP itself); the
// answer is handed to the socket a chunk at a time from a shared body.
// A breach gets a short error answer and the connection closed.
class HttpConnection : public QObject
{
    Q_OBJECT

public:
    using Handler = std::function<HttpAnswer(const HttpRequestHead&)>;

    // Takes ownership of socket.
    HttpConnection(QTcpSocket* socket, const HttpLimits& limits, Handler handler, QObject* parent = nullptr);

signals:
    // The connection is closed; it deletes itself later.
    void finished(HttpConnection* connection);

private:
    void readRequests();
    void send(const HttpAnswer& answer, bool keepAlive);
    void writeMore();
    void refuse(int status);
    void timedOut();
    void finish();

    QTcpSocket* m_socket;
    HttpLimits m_limits;
    Handler m_handler;
    QTimer m_deadline;
    QByteArray m_buffer;
    // The answer being taken: its body (shared with the page) and how much
    // of it was handed to the socket.
    QByteArray m_body;
    qsizetype m_written = 0;
    bool m_inFlight = false;
    bool m_closing = false;
    bool m_finished = false;
};

// The reason phrase of the statuses this endpoint sends.
QByteArray httpReason(int status);
