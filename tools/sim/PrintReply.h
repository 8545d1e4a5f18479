#pragma once

#include <QByteArray>
#include <QList>

// Print replies carry a command's output: FF FF FF FF, a head, the text, 00.
// Half-Life machines put the type byte 'l' before the text; hub managers the
// word "print" and a line feed.
namespace print {

inline const QByteArray kHalfLifeHead("l");
inline const QByteArray kHubHead("print\n");

// Largest print datagram sent, prefix and terminator included.
inline constexpr qsizetype kMaxDatagram = 1400;
// Output beyond this is dropped, so one command never floods its asker.
inline constexpr qsizetype kMaxOutput = 32 * 1024;

// Cuts the output into print datagrams. Cuts fall after a line feed, so each
// datagram holds whole lines; only a single line longer than a datagram is cut
// inside. Empty output gives no datagram.
QList<QByteArray> datagrams(const QByteArray& output, const QByteArray& head = kHalfLifeHead,
                            qsizetype maxDatagram = kMaxDatagram);

} // namespace print
