#pragma once

#include "feeds/LogEvent.h"

#include <optional>
#include <string>
#include <string_view>

// The HL log standard as game servers stream it over UDP:
//
//   FF FF FF FF "log L 10/05/2024 - 14:22:01: <body>\n" 00   (classic form)
//   FF FF FF FF "RL 10/05/2024 - 14:22:01: <body>\n" 00      (newer form, no secret)
//   FF FF FF FF "S<secret>L 10/05/2024 - 14:22:01: <body>\n" 00 (with sv_logsecret)
//
// Everything here is pure and reads only inside the views it is given.

// The line after the datagram's header ("L ..." up to, not including, its
// line end and NUL); nothing when the datagram is not a log line or its line
// end is missing (a cut datagram is never taken as a whole line). secret is
// set to the secret the newer form carries, empty without one.
std::optional<std::string_view> logLineOfDatagram(std::string_view datagram,
                                                  std::string_view* secret = nullptr);

// Parses "L MM/DD/YYYY - HH:MM:SS: body". Lines of kinds not listed in
// LogEvent (cvars, rcon echoes, ...) and malformed lines give nothing.
std::optional<LogEvent> parseLogLine(std::string_view line);

// Where a refused rcon command came from, as the server logs it:
//   L ...: Bad Rcon: "rcon 1234 "wrong" status" from "192.0.2.1:27005"
// The command between the first quotes is the sender's and may hold
// anything; the address is read from the end of the line.
struct RefusedRcon
{
    std::string address; // dotted IPv4
    int port = 0;
};
std::optional<RefusedRcon> parseRefusedRcon(std::string_view line);

// "Name<uid><STEAM_ID><TEAM>" read from the right, so that a name holding
// '<', '>' or '"' stays whole. Nothing when the three fields are missing.
std::optional<LogPlayer> parsePlayerField(std::string_view field);
