#pragma once

#include <QHostAddress>
#include <optional>
#include <string>
#include <vector>

// The local address the system would send from to reach ipv4 (host order):
// a UDP socket is connected to it (nothing is sent) and asked for its own
// address. Nothing when no route leads there.
std::optional<QHostAddress> localAddressToward(quint32 ipv4);

// The rcon commands that make a game server stream its log to address:port
// ("logaddress_add A P", "log on"), or stop ("logaddress_del A P"). Nothing
// when the address is not a plain IPv4 address.
std::optional<std::vector<std::string>> logStreamCommands(bool start, const QHostAddress& address,
                                                          quint16 port);
