#include "park/MapChange.h"

#include "core/CommandArguments.h"

#include <algorithm>
#include <set>

namespace mapchange {
namespace {

char lower(char c)
{
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool containsAnyCase(std::string_view text, std::string_view part)
{
    const auto found = std::search(text.begin(), text.end(), part.begin(), part.end(),
                                   [](char a, char b) { return lower(a) == lower(b); });
    return found != text.end() || part.empty();
}

} // namespace

std::optional<std::string> changeLevelCommand(std::string_view map)
{
    if (!isSafeCommandWord(map))
        return std::nullopt;
    return "changelevel " + std::string(map);
}

std::vector<std::string> filterMaps(const std::vector<std::string>& maps, std::string_view filter)
{
    std::vector<std::string> shown;
    for (const std::string& map : maps) {
        if (containsAnyCase(map, filter))
            shown.push_back(map);
    }
    return shown;
}

std::vector<std::string> unionOfMaps(const std::vector<std::vector<std::string>>& lists)
{
    std::set<std::string> all;
    for (const auto& list : lists)
        all.insert(list.begin(), list.end());
    return {all.begin(), all.end()};
}

} // namespace mapchange
