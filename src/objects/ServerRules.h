#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

// The rules reply of a game server (FF FF FF FF 'E', a 16-bit count, then
// that many name and value strings), the answer to "rules" and to 'V'.
namespace replies {

struct Rules
{
    static constexpr std::size_t kMaxRules = 4096;
    // In the order the server gave them, bytes as sent.
    std::vector<std::pair<std::string, std::string>> entries;
    // The count the reply announced.
    int announced = 0;
    // Every announced pair was read (false: the reply was cut short or
    // held more than kMaxRules).
    bool complete = false;
};

// Nothing when the datagram is not a rules reply.
std::optional<Rules> parseRules(std::string_view datagram);

} // namespace replies

// Replies too long for one datagram come in parts: FE FF FF FF, a 32-bit
// reply id, a byte whose high nibble numbers the part and whose low nibble
// counts them, then the part's bytes. One reply is gathered at a time; a
// part of another id starts afresh, and parts older than kMaxAgeSeconds
// are dropped.
class SplitReplies
{
public:
    static constexpr std::size_t kHeader = 9;
    static constexpr std::int64_t kMaxAgeSeconds = 5;

    // The whole reply (starting with FF FF FF FF) once its last part
    // arrived; nothing before, or when the parts do not make one.
    std::optional<std::string> add(std::string_view datagram, std::int64_t now);

private:
    std::optional<std::uint32_t> m_id;
    int m_total = 0;
    std::int64_t m_started = 0;
    std::vector<std::optional<std::string>> m_parts;
};

namespace oob {
// True when the datagram starts with FE FF FF FF (a part of a long reply).
bool hasSplitPrefix(std::string_view datagram);
} // namespace oob
