#include "objects/RconCommandText.h"

#include "core/CommandArguments.h"

namespace rconcmd {

std::optional<std::string> kickByName(const std::string& name)
{
    if (!isSafeCommandArgument(name))
        return std::nullopt;
    return "kick \"" + name + "\"";
}

std::string kickByUserId(std::int32_t userId)
{
    return "kick #" + std::to_string(userId);
}

std::string sayKicking(const std::string& name)
{
    std::string text = name;
    for (char& c : text) {
        if (!isSafeCommandArgument(std::string_view(&c, 1)))
            c = '_';
    }
    return "say Kicking " + text;
}

std::optional<std::string> serverPassword(const std::string& password)
{
    if (password.empty() || !isSafeCommandArgument(password))
        return std::nullopt;
    return "serverpassword " + password;
}

std::optional<std::string> connect(const std::string& address)
{
    if (address.empty() || !isSafeCommandArgument(address))
        return std::nullopt;
    return "connect " + address;
}

std::optional<std::string> gtvConnect(const std::string& address)
{
    if (address.empty() || !isSafeCommandArgument(address))
        return std::nullopt;
    return "gtv_connect " + address;
}

std::optional<std::string> quotedPassword(const std::string& verb, const std::string& text)
{
    if (!isUsableRconPassword(text))
        return std::nullopt;
    return verb + " \"" + text + "\"";
}

} // namespace rconcmd
