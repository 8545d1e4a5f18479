#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Reads fields one after another from a received datagram and never past
// its end: a read that does not fit returns nullopt and leaves the reader
// exhausted, so every later read fails too.
class DatagramReader
{
public:
    explicit DatagramReader(std::string_view bytes, std::size_t offset = 0);

    std::optional<std::uint8_t> byte();
    // A string ended by a 00 byte. A string that runs to the end of the
    // datagram without its 00 is taken as it stands (the receive buffer ends
    // it there); nothing can be read after it.
    std::optional<std::string> string();
    std::optional<std::int32_t> int32();
    std::optional<std::uint32_t> uint32();
    bool skip(std::size_t count);

    std::size_t remaining() const { return m_bytes.size() - m_position; }
    bool exhausted() const { return m_position >= m_bytes.size(); }

private:
    std::string_view m_bytes;
    std::size_t m_position;
};
