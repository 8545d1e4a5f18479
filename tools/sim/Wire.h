#pragma once

#include <QByteArray>

#include <optional>

// Byte-level reading and writing of out-of-band datagrams (four 0xFF bytes,
// then the payload). Numbers on the wire are little endian.
namespace wire {

inline const QByteArray kPrefix("\xFF\xFF\xFF\xFF", 4);

bool hasOobPrefix(const QByteArray& datagram);

// Appends fields to one reply datagram; starts with the prefix and the type byte.
class Writer
{
public:
    explicit Writer(char type);

    Writer& byte(quint8 value);
    // The text up to its first 00 byte, then one 00: a string field never
    // carries an embedded terminator.
    Writer& text(const QByteArray& value);
    Writer& raw(const QByteArray& bytes);
    Writer& int16(qint16 value);
    Writer& int32(qint32 value);
    Writer& uint32(quint32 value);
    Writer& float32(float value);

    const QByteArray& bytes() const { return m_bytes; }

private:
    QByteArray m_bytes;
};

// Reads fields from a datagram and never past its end: a field that does not
// fit in what is left comes back empty and leaves the position unchanged.
class Reader
{
public:
    Reader(const QByteArray& datagram, qsizetype position);

    std::optional<quint8> byte();
    std::optional<quint32> uint32();
    // Up to the next 00 byte (excluded); empty when no 00 byte follows.
    std::optional<QByteArray> text();
    qsizetype remaining() const { return m_data.size() - m_position; }

private:
    const QByteArray& m_data;
    qsizetype m_position;
};

} // namespace wire
