#include "PrintReply.h"

#include "Wire.h"

#include <algorithm>

namespace print {

namespace {

QByteArray printDatagram(const QByteArray& head, const QByteArray& text)
{
    // a text never carries a terminator of its own
    const qsizetype end = text.indexOf('\0');
    return wire::kPrefix + head + (end < 0 ? text : text.left(end)) + '\0';
}

} // namespace

QList<QByteArray> datagrams(const QByteArray& output, const QByteArray& head, qsizetype maxDatagram)
{
    // prefix, head and terminating 00
    const qsizetype room = std::max<qsizetype>(1, maxDatagram - wire::kPrefix.size() - head.size() - 1);
    const QByteArray text = output.left(kMaxOutput);

    QList<QByteArray> result;
    QByteArray chunk;
    qsizetype position = 0;
    while (position < text.size()) {
        const qsizetype feed = text.indexOf('\n', position);
        const qsizetype lineEnd = feed < 0 ? text.size() : feed + 1;
        QByteArray line = text.mid(position, lineEnd - position);
        position = lineEnd;

        if (chunk.size() + line.size() > room && !chunk.isEmpty()) {
            result.append(printDatagram(head, chunk));
            chunk.clear();
        }
        while (line.size() > room) {
            result.append(printDatagram(head, line.left(room)));
            line.remove(0, room);
        }
        chunk.append(line);
    }
    if (!chunk.isEmpty())
        result.append(printDatagram(head, chunk));
    return result;
}

} // namespace print
