#pragma once

#include <QByteArray>
#include <QList>

// Print replies carry a command's output: FF FF FF FF 'l' text 00.
namespace print {

// Largest print datagram sent, prefix and terminator included.
inline constexpr qsizetype kMaxDatagram = 1400;
// Output beyond this is dropped, so one command never floods its asker.
inline constexpr qsizetype kMaxOutput = 32 * 1024;

// Cuts the output into print datagrams. Cuts fall after a line feed, so each
// datagram holds whole lines; only a single line longer than a datagram is cut
// inside. Empty output gives no datagram.
QList<QByteArray> datagrams(const QByteArray& output, qsizetype maxDatagram = kMaxDatagram);

} // namespace print
