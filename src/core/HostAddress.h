#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

// Addresses as the operator types or pastes them into an address field.
namespace address {

struct HostAndPort
{
    std::string host;
    std::optional<std::uint32_t> port; // only when the text carried ":port"
};

// "host:port" split at its one colon when digits follow it (an unsigned
// 32-bit number); any other text is a host alone, unchanged.
HostAndPort splitHostPort(std::string_view text);

// True when text can address a machine: a dotted IPv4 address (four numbers
// 0..255) or a host name (labels of letters, digits and '-', 1 to 63
// characters each, joined by dots, 253 characters at most).
bool isUsableHost(std::string_view text);

inline constexpr const char* kUnusableMessage =
    "This address cannot be used. Type a host name or an IPv4 address, optionally followed by :port.";

} // namespace address
