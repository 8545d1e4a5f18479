#include "objects/OobDatagrams.h"

#include "objects/ScanNumber.h"

namespace oob {

namespace {

std::string query(std::string_view body)
{
    std::string datagram(kPrefix);
    datagram.append(body);
    datagram.push_back('\0');
    return datagram;
}

constexpr std::size_t kChallengeOffset = 19;

} // namespace

std::string detailsQuery()
{
    return query("details");
}

std::string playersQuery()
{
    return query("players");
}

std::string challengeQuery()
{
    return query("challenge rcon");
}

namespace {

void appendLittleEndian(std::string& datagram, std::uint32_t value)
{
    for (int i = 0; i < 4; ++i)
        datagram.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

} // namespace

std::string infoQuery(std::optional<std::uint32_t> challenge)
{
    std::string datagram = query("TSource Engine Query");
    if (challenge)
        appendLittleEndian(datagram, *challenge);
    return datagram;
}

std::string playerQuery(std::uint32_t challenge)
{
    std::string datagram(kPrefix);
    datagram.push_back('U');
    appendLittleEndian(datagram, challenge);
    return datagram;
}

std::string rulesQuery()
{
    return query("rules");
}

std::string rulesChallengeQuery(std::uint32_t challenge)
{
    std::string datagram(kPrefix);
    datagram.push_back('V');
    appendLittleEndian(datagram, challenge);
    return datagram;
}

std::string rconCommand(std::uint32_t challenge, std::string_view password, std::string_view command)
{
    std::string datagram(kPrefix);
    datagram.append("rcon ");
    datagram.append(std::to_string(challenge));
    datagram.append(" \"");
    datagram.append(password);
    datagram.append("\" ");
    datagram.append(command);
    datagram.push_back('\0');
    return datagram;
}

std::string managerInfoQuery()
{
    return query("getManagerInfo");
}

std::string hubInfoQuery(std::int32_t hubNumber)
{
    return query("gethubinfo " + std::to_string(hubNumber));
}

std::string hubRconCommand(std::string_view password, std::string_view command)
{
    std::string datagram(kPrefix);
    datagram.append("rcon \"");
    datagram.append(password);
    datagram.append("\" ");
    datagram.append(command);
    datagram.push_back('\0');
    return datagram;
}

bool hasOobPrefix(std::string_view datagram)
{
    return datagram.substr(0, kPrefix.size()) == kPrefix;
}

std::optional<std::uint32_t> parseChallengeReply(std::string_view datagram)
{
    if (datagram.size() <= kChallengeOffset)
        return std::nullopt;
    const auto number = scanInt(datagram.substr(kChallengeOffset));
    if (!number)
        return std::nullopt;
    return static_cast<std::uint32_t>(*number);
}

} // namespace oob
