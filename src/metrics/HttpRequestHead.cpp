#include "metrics/HttpRequestHead.h"

#include <QList>

namespace {

bool isToken(const QByteArray& text)
{
    if (text.isEmpty())
        return false;
    for (const char c : text) {
        if (c <= ' ' || c >= 127 || c == ':' || c == '"' || c == '(' || c == ')')
            return false;
    }
    return true;
}

bool hasToken(const QByteArray& list, const QByteArray& token)
{
    for (const QByteArray& item : list.split(','))
        if (item.trimmed().compare(token, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

} // namespace

qsizetype httpHeadEnd(const QByteArray& buffer)
{
    for (qsizetype i = buffer.indexOf('\n'); i >= 0; i = buffer.indexOf('\n', i + 1)) {
        if (i + 1 < buffer.size() && buffer[i + 1] == '\n')
            return i + 2;
        if (i + 2 < buffer.size() && buffer[i + 1] == '\r' && buffer[i + 2] == '\n')
            return i + 3;
    }
    return -1;
}

std::optional<HttpRequestHead> parseHttpRequestHead(const QByteArray& head)
{
    QList<QByteArray> lines = head.split('\n');
    for (QByteArray& line : lines)
        if (line.endsWith('\r'))
            line.chop(1);
    // Empty lines before the request line are allowed.
    qsizetype first = 0;
    while (first < lines.size() && lines[first].isEmpty())
        ++first;
    if (first == lines.size())
        return std::nullopt;

    const QList<QByteArray> parts = lines[first].split(' ');
    if (parts.size() != 3 || !isToken(parts[0]) || !parts[1].startsWith('/'))
        return std::nullopt;
    const QByteArray& version = parts[2];
    if (version != "HTTP/1.1" && version != "HTTP/1.0")
        return std::nullopt;

    HttpRequestHead request;
    request.method = parts[0];
    const qsizetype query = parts[1].indexOf('?');
    request.path = query < 0 ? parts[1] : parts[1].left(query);
    bool close = false;
    bool keepAlive = false;
    for (qsizetype i = first + 1; i < lines.size(); ++i) {
        const QByteArray& line = lines[i];
        if (line.isEmpty())
            break;
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0 || !isToken(line.left(colon)))
            return std::nullopt;
        const QByteArray name = line.left(colon).toLower();
        const QByteArray value = line.mid(colon + 1).trimmed();
        if (name == "connection") {
            close = close || hasToken(value, "close");
            keepAlive = keepAlive || hasToken(value, "keep-alive");
        } else if (name == "content-length") {
            bool ok = false;
            const qlonglong length = value.toLongLong(&ok);
            if (!ok || length < 0)
                return std::nullopt;
            request.hasBody = request.hasBody || length > 0;
        } else if (name == "transfer-encoding") {
            request.hasBody = true;
        }
    }
    request.keepAlive = !close && (version == "HTTP/1.1" || keepAlive);
    return request;
}
