#pragma once

#include <cstdint>
#include <optional>
#include <string>

// The remote-console commands that carry a value from a machine or from the
// operator. Each returns the command text, or nullopt when the value could
// end its argument and start a command of its own (see
// isSafeCommandArgument); the caller then sends nothing and says why.
namespace rconcmd {

// "kick "NAME"": by name, as the server matches it.
std::optional<std::string> kickByName(const std::string& name);
// "kick #USERID": the player the status table lists under that userid.
std::string kickByUserId(std::int32_t userId);
// "say Kicking NAME", with whatever could end the command made '_': the
// announcement is only text for the players.
std::string sayKicking(const std::string& name);
// "serverpassword PASSWORD" (unquoted, as proxies take it).
std::optional<std::string> serverPassword(const std::string& password);
// "connect ADDRESS" (proxies) and "gtv_connect ADDRESS" (hub managers).
std::optional<std::string> connect(const std::string& address);
std::optional<std::string> gtvConnect(const std::string& address);
// VERB "TEXT", for the passwords the operator types for a proxy
// ("spectatorpassword", ...): a ';' is harmless inside the quotes.
std::optional<std::string> quotedPassword(const std::string& verb, const std::string& text);

} // namespace rconcmd
