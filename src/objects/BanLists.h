#pragma once

#include <cstddef>
#include <optional>
#include <set>
#include <string>
#include <string_view>

// A game server's own ban lists, as it prints them over rcon:
//
//   listid:  "UserID filter list: 2 entries"        listip:  "IP filter list:"
//            "1 STEAM_0:1:1234 : permanent"                  "127.  0.  0.  1 : permanent"
//            "2 STEAM_0:0:77 : 30.000 min"                   " 10.  1.  2.  3 : 30.000 min"
//
// (an empty list prints "... filter list: empty"). The answer comes in print
// lines over several datagrams; each is given to addLine as it arrives. Only
// entries that could stand as a command's argument are kept (a SteamID of
// digits and colons, a dotted IPv4 address), at most kMaxEntries of each;
// anything else is counted and left out.
class BanListReader
{
public:
    static constexpr std::size_t kMaxEntries = 16384;

    void addLine(std::string_view line);
    void clear();

    // Whether each list's header has come (an answer to listid / listip).
    bool sawIds() const { return m_sawIds; }
    bool sawIps() const { return m_sawIps; }
    // The ID list is whole once as many entries came as its header named.
    bool idsComplete() const;
    const std::set<std::string>& ids() const { return m_ids; }
    const std::set<std::string>& ips() const { return m_ips; }
    std::size_t refused() const { return m_refused; }
    bool truncated() const { return m_truncated; }

private:
    enum class List
    {
        None,
        Ids,
        Ips
    };
    void keep(std::set<std::string>& into, std::string value);

    List m_list = List::None;
    bool m_sawIds = false;
    bool m_sawIps = false;
    std::optional<std::size_t> m_idCount; // as the header names it
    std::size_t m_idLines = 0;
    std::set<std::string> m_ids;
    std::set<std::string> m_ips;
    std::size_t m_refused = 0;
    bool m_truncated = false;
};

namespace banlists {
// "1 STEAM_0:1:1234 : permanent" -> "STEAM_0:1:1234"; nothing for any other line.
std::optional<std::string> idOfLine(std::string_view line);
// "127.  0.  0.  1 : 30.000 min" -> "127.0.0.1"; nothing for any other line.
std::optional<std::string> ipOfLine(std::string_view line);
// A dotted IPv4 address, each part 0..255 without a sign, written canonically;
// spaces around the parts (the engine pads them to three) are allowed.
std::optional<std::string> canonicalIpv4(std::string_view text);
// The whole answer at once (lines split at LF), as the reader reads it.
BanListReader read(std::string_view text);
} // namespace banlists
