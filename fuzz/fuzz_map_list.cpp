// The answer to "maps *", fed line by line: every map kept must make a
// "changelevel MAP" that a console reads as exactly one command with the
// map as its one argument, and no more maps are kept than the limit.
#include "FuzzSupport.h"

#include "objects/MapList.h"
#include "park/MapChange.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    MapListReader reader;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    std::size_t begin = 0;
    while (begin <= text.size()) {
        const std::size_t end = text.find('\n', begin);
        reader.addLine(
            text.substr(begin, end == std::string_view::npos ? std::string_view::npos : end - begin));
        if (end == std::string_view::npos)
            break;
        begin = end + 1;
    }
    if (reader.count() > MapListReader::kMaxMaps)
        fuzzing::fail("more maps kept than the limit");
    for (const std::string& map : reader.maps()) {
        const auto command = mapchange::changeLevelCommand(map);
        if (!command)
            fuzzing::fail("a kept map that makes no command");
        const std::string_view argument = std::string_view(*command).substr(12);
        if (command->rfind("changelevel ", 0) != 0 || argument != map ||
            argument.find_first_of(std::string_view(" \t\";\r\n\0", 7)) != std::string_view::npos)
            fuzzing::fail("a map name that could start a command of its own");
    }
    return 0;
}
