#pragma once

#include <QByteArray>
#include <optional>

// The head of one HTTP/1.x request (request line and headers), as far as a
// read-only endpoint needs it.
struct HttpRequestHead
{
    QByteArray method;
    // The path, without a query.
    QByteArray path;
    // HTTP/1.1 keeps the connection unless told "Connection: close";
    // HTTP/1.0 closes it unless told "Connection: keep-alive".
    bool keepAlive = false;
    // A Content-Length above 0 or any Transfer-Encoding.
    bool hasBody = false;
};

// Where the head ends in buffer (the offset after its blank line), or -1
// while it is incomplete. Bare line feeds are taken as line ends.
qsizetype httpHeadEnd(const QByteArray& buffer);

// Parses a complete head; nullopt when it is no HTTP/1.x request.
std::optional<HttpRequestHead> parseHttpRequestHead(const QByteArray& head);
