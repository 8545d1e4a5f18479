#include "park/BanCommands.h"

#include "core/CommandArguments.h"
#include "objects/BanLists.h"

bool bancmd::isBannableId(const std::string& id)
{
    // The list reader keeps exactly the ids a ban can be made for.
    const auto read = banlists::idOfLine("1 " + id + " : permanent");
    return read && *read == id && isSafeCommandArgument(id);
}

bool bancmd::isBannableIp(const std::string& ip)
{
    const auto canonical = banlists::canonicalIpv4(ip);
    return canonical && *canonical == ip && ip != "0.0.0.0";
}

bool bancmd::isValidMinutes(std::int64_t minutes)
{
    return minutes >= 0 && minutes <= kMaxMinutes;
}

std::optional<std::string> bancmd::banId(std::int64_t minutes, const std::string& id, bool kick)
{
    if (!isValidMinutes(minutes) || !isBannableId(id))
        return std::nullopt;
    return "banid " + std::to_string(minutes) + ' ' + id + (kick ? " kick" : "");
}

std::optional<std::string> bancmd::addIp(std::int64_t minutes, const std::string& ip)
{
    if (!isValidMinutes(minutes) || !isBannableIp(ip))
        return std::nullopt;
    return "addip " + std::to_string(minutes) + ' ' + ip;
}

std::optional<std::string> bancmd::removeId(const std::string& id)
{
    if (!isBannableId(id))
        return std::nullopt;
    return "removeid " + id;
}

std::optional<std::string> bancmd::removeIp(const std::string& ip)
{
    if (!isBannableIp(ip))
        return std::nullopt;
    return "removeip " + ip;
}
