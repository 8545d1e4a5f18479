#include "PrintReply.h"

#include "Wire.h"

#include <algorithm>

namespace print {

namespace {

QByteArray printDatagram(const QByteArray& text)
{
    return wire::Writer('l').text(text).bytes();
}

} // namespace

QList<QByteArray> datagrams(const QByteArray& output, qsizetype maxDatagram)
{
    // prefix, type byte and terminating 00
    const qsizetype room = std::max<qsizetype>(1, maxDatagram - wire::kPrefix.size() - 2);
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
            result.append(printDatagram(chunk));
            chunk.clear();
        }
        while (line.size() > room) {
            result.append(printDatagram(line.left(room)));
            line.remove(0, room);
        }
        chunk.append(line);
    }
    if (!chunk.isEmpty())
        result.append(printDatagram(chunk));
    return result;
}

} // namespace print
