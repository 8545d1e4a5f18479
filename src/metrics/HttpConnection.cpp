#include "metrics/HttpConnection.h"

#include <QTcpSocket>

QByteArray httpReason(int status)
{
    switch (status) {
    case 200:
        return "OK";
    case 400:
        return "Bad Request";
    case 404:
        return "Not Found";
    case 408:
        return "Request Timeout";
    case 413:
        return "Content Too Large";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

HttpConnection::HttpConnection(QTcpSocket* socket, const HttpLimits& limits, Handler handler, QObject* parent)
    : QObject(parent), m_socket(socket), m_limits(limits), m_handler(std::move(handler))
{
    m_socket->setParent(this);
    // Qt reads no further from the kernel than this, so an unread answer
    // or an oversized head backs up in TCP, not here.
    m_socket->setReadBufferSize(static_cast<qint64>(m_limits.maxHeadBytes));
    m_deadline.setSingleShot(true);
    connect(&m_deadline, &QTimer::timeout, this, &HttpConnection::timedOut);
    connect(m_socket, &QTcpSocket::readyRead, this, &HttpConnection::readRequests);
    connect(m_socket, &QTcpSocket::bytesWritten, this, &HttpConnection::writeMore);
    connect(m_socket, &QTcpSocket::disconnected, this, &HttpConnection::finish);
    connect(m_socket, &QTcpSocket::errorOccurred, this, &HttpConnection::finish);
    m_deadline.start(m_limits.requestTimeoutMs);
    readRequests();
}

void HttpConnection::readRequests()
{
    while (!m_inFlight && !m_closing && !m_finished) {
        const qsizetype room = static_cast<qsizetype>(m_limits.maxHeadBytes) + 1 - m_buffer.size();
        if (room > 0)
            m_buffer += m_socket->read(room);
        const qsizetype end = httpHeadEnd(m_buffer);
        if (end < 0 || end > static_cast<qsizetype>(m_limits.maxHeadBytes)) {
            if (m_buffer.size() > static_cast<qsizetype>(m_limits.maxHeadBytes))
                refuse(431);
            return;
        }
        const auto request = parseHttpRequestHead(m_buffer.left(end));
        m_buffer.remove(0, end);
        if (!request) {
            refuse(400);
            return;
        }
        // A body is never read: what follows could not be told from the
        // next request.
        if (request->hasBody) {
            refuse(413);
            return;
        }
        send(m_handler(*request), request->keepAlive);
    }
}

void HttpConnection::send(const HttpAnswer& answer, bool keepAlive)
{
    QByteArray head =
        "HTTP/1.1 " + QByteArray::number(answer.status) + ' ' + httpReason(answer.status) + "\r\n";
    if (!answer.contentType.isEmpty())
        head += "Content-Type: " + answer.contentType + "\r\n";
    head += "Content-Length: " + QByteArray::number(answer.body.size()) + "\r\n";
    head += keepAlive ? "Connection: keep-alive\r\n\r\n" : "Connection: close\r\n\r\n";
    m_inFlight = true;
    m_closing = !keepAlive;
    m_body = answer.body;
    m_written = 0;
    m_socket->write(head);
    writeMore();
}

void HttpConnection::writeMore()
{
    if (!m_inFlight || m_finished)
        return;
    const auto chunk = static_cast<qint64>(m_limits.writeChunkBytes);
    while (m_written < m_body.size() && m_socket->bytesToWrite() < chunk) {
        const qsizetype piece = std::min<qsizetype>(chunk, m_body.size() - m_written);
        m_socket->write(m_body.constData() + m_written, piece);
        m_written += piece;
    }
    if (m_written < m_body.size() || m_socket->bytesToWrite() > 0)
        return;
    // The whole answer is with the kernel.
    m_inFlight = false;
    m_body.clear();
    if (m_closing) {
        m_socket->disconnectFromHost();
        return;
    }
    m_deadline.start(m_limits.requestTimeoutMs);
    // Requests that came while the answer was taken.
    readRequests();
}

void HttpConnection::refuse(int status)
{
    m_buffer.clear();
    const QByteArray reason = httpReason(status);
    send({status, "text/plain; charset=utf-8", reason + '\n'}, false);
}

void HttpConnection::timedOut()
{
    // Part of a request came but not the whole of it in time: say so. An
    // idle client or one that does not take its answer is just closed.
    if (!m_inFlight && !m_closing && !m_buffer.isEmpty()) {
        refuse(408);
        m_deadline.start(m_limits.requestTimeoutMs);
        return;
    }
    m_socket->abort();
    finish();
}

void HttpConnection::finish()
{
    if (m_finished)
        return;
    m_finished = true;
    m_deadline.stop();
    if (m_socket->state() != QAbstractSocket::UnconnectedState)
        m_socket->abort();
    emit finished(this);
    deleteLater();
}
