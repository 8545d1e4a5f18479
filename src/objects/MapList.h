#pragma once

#include <cstddef>
#include <set>
#include <string>
#include <string_view>
#include <vector>

// The maps a game server lists in its answer to "maps *": one file name a
// line ("de_dust2.bsp"), after a line of dashes. The answer arrives as
// print lines over several datagrams; each is given to addLine as it comes.
// Only names that can be placed into "changelevel NAME" are kept (see
// isSafeCommandWord), at most kMaxMaps of them; anything else is counted
// and left out.
class MapListReader
{
public:
    static constexpr std::size_t kMaxMaps = 4096;

    // True when the line named a map that was kept.
    bool addLine(std::string_view line);
    void clear();

    // Sorted, each name once, without ".bsp".
    std::vector<std::string> maps() const { return {m_maps.begin(), m_maps.end()}; }
    std::size_t count() const { return m_maps.size(); }
    // Map lines refused: a name that cannot go into a command, or one past
    // the limit.
    std::size_t refused() const { return m_refused; }
    bool truncated() const { return m_truncated; }

private:
    std::set<std::string> m_maps;
    std::size_t m_refused = 0;
    bool m_truncated = false;
};

// The map a line of the listing names ("de_dust2.bsp" -> "de_dust2"), or an
// empty string when the line names none (the dashes, a usage text, noise).
std::string mapNameOfLine(std::string_view line);
