#include "Wire.h"

#include <cstring>

namespace wire {

bool hasOobPrefix(const QByteArray& datagram)
{
    return datagram.startsWith(kPrefix);
}

Writer::Writer(char type) : m_bytes(kPrefix)
{
    m_bytes.append(type);
}

Writer& Writer::byte(quint8 value)
{
    m_bytes.append(static_cast<char>(value));
    return *this;
}

Writer& Writer::text(const QByteArray& value)
{
    const qsizetype end = value.indexOf('\0');
    m_bytes.append(end < 0 ? value : value.left(end));
    m_bytes.append('\0');
    return *this;
}

Writer& Writer::raw(const QByteArray& bytes)
{
    m_bytes.append(bytes);
    return *this;
}

Writer& Writer::int16(qint16 value)
{
    const auto bits = static_cast<quint16>(value);
    byte(static_cast<quint8>(bits & 0xFF));
    return byte(static_cast<quint8>(bits >> 8));
}

Writer& Writer::int32(qint32 value)
{
    return uint32(static_cast<quint32>(value));
}

Writer& Writer::uint32(quint32 value)
{
    for (int shift = 0; shift < 32; shift += 8)
        byte(static_cast<quint8>((value >> shift) & 0xFF));
    return *this;
}

Writer& Writer::float32(float value)
{
    static_assert(sizeof(float) == sizeof(quint32));
    quint32 bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return uint32(bits);
}

Reader::Reader(const QByteArray& datagram, qsizetype position) : m_data(datagram), m_position(position)
{
    if (m_position > m_data.size())
        m_position = m_data.size();
}

std::optional<quint8> Reader::byte()
{
    if (remaining() < 1)
        return std::nullopt;
    return static_cast<quint8>(m_data[m_position++]);
}

std::optional<quint32> Reader::uint32()
{
    if (remaining() < 4)
        return std::nullopt;
    quint32 value = 0;
    for (int i = 0; i < 4; ++i)
        value |= static_cast<quint32>(static_cast<quint8>(m_data[m_position + i])) << (8 * i);
    m_position += 4;
    return value;
}

std::optional<QByteArray> Reader::text()
{
    const qsizetype end = m_data.indexOf('\0', m_position);
    if (end < 0)
        return std::nullopt;
    QByteArray value = m_data.mid(m_position, end - m_position);
    m_position = end + 1;
    return value;
}

} // namespace wire
