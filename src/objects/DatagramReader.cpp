#include "objects/DatagramReader.h"

#include <algorithm>

DatagramReader::DatagramReader(std::string_view bytes, std::size_t offset)
    : m_bytes(bytes), m_position(std::min(offset, bytes.size()))
{
}

std::optional<std::uint8_t> DatagramReader::byte()
{
    if (remaining() < 1)
        return std::nullopt;
    return static_cast<std::uint8_t>(m_bytes[m_position++]);
}

std::optional<std::string> DatagramReader::string()
{
    if (exhausted())
        return std::nullopt;
    const std::size_t end = m_bytes.find('\0', m_position);
    if (end == std::string_view::npos) {
        std::string text(m_bytes.substr(m_position));
        m_position = m_bytes.size();
        return text;
    }
    std::string text(m_bytes.substr(m_position, end - m_position));
    m_position = end + 1;
    return text;
}

std::optional<std::uint32_t> DatagramReader::uint32()
{
    if (remaining() < 4) {
        m_position = m_bytes.size();
        return std::nullopt;
    }
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = (value << 8) | static_cast<std::uint8_t>(m_bytes[m_position + static_cast<std::size_t>(i)]);
    m_position += 4;
    return value;
}

std::optional<std::int32_t> DatagramReader::int32()
{
    const auto value = uint32();
    if (!value)
        return std::nullopt;
    return static_cast<std::int32_t>(*value);
}

bool DatagramReader::skip(std::size_t count)
{
    if (remaining() < count) {
        m_position = m_bytes.size();
        return false;
    }
    m_position += count;
    return true;
}
