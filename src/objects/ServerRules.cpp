#include "objects/ServerRules.h"

#include "objects/DatagramReader.h"
#include "objects/OobDatagrams.h"

namespace replies {

std::optional<Rules> parseRules(std::string_view datagram)
{
    if (datagram.size() < 5 || !oob::hasOobPrefix(datagram) || datagram[4] != 'E')
        return std::nullopt;
    Rules rules;
    DatagramReader reader(datagram, 5);
    const auto low = reader.byte();
    const auto high = reader.byte();
    if (!low || !high)
        return rules;
    rules.announced = *low | (*high << 8);
    const auto wanted = static_cast<std::size_t>(rules.announced);
    while (rules.entries.size() < wanted && rules.entries.size() < Rules::kMaxRules && !reader.exhausted()) {
        auto name = reader.string();
        if (!name || reader.exhausted())
            break;
        auto value = reader.string();
        if (!value)
            break;
        rules.entries.emplace_back(std::move(*name), std::move(*value));
    }
    rules.complete = rules.entries.size() == wanted;
    return rules;
}

} // namespace replies

namespace oob {

bool hasSplitPrefix(std::string_view datagram)
{
    return datagram.substr(0, 4) == std::string_view("\xFE\xFF\xFF\xFF", 4);
}

} // namespace oob

std::optional<std::string> SplitReplies::add(std::string_view datagram, std::int64_t now)
{
    if (datagram.size() <= kHeader || !oob::hasSplitPrefix(datagram))
        return std::nullopt;
    DatagramReader reader(datagram, 4);
    const std::uint32_t id = *reader.uint32();
    const std::uint8_t info = *reader.byte();
    const int total = info & 0x0F;
    const int number = info >> 4;
    if (total == 0 || number >= total)
        return std::nullopt;
    if (!m_id || *m_id != id || m_total != total || now - m_started > kMaxAgeSeconds) {
        m_id = id;
        m_total = total;
        m_started = now;
        m_parts.assign(static_cast<std::size_t>(total), std::nullopt);
    }
    m_parts[static_cast<std::size_t>(number)] = std::string(datagram.substr(kHeader));
    std::string whole;
    for (const auto& part : m_parts) {
        if (!part)
            return std::nullopt;
        whole += *part;
    }
    m_id.reset();
    m_parts.clear();
    if (!oob::hasOobPrefix(whole))
        return std::nullopt;
    return whole;
}
