// The name a collected demo is kept under, from hostile parts: the records of
// the input are the server's host name, the map, the two team names and the
// remote file name (whose map part is taken). Whatever they hold, the name is
// a plain, bounded file name that stays in its folder, and the page row built
// from the same texts holds no markup of theirs.
#include "FuzzSupport.h"

#include "modules/DemoCollector.h"
#include "modules/DemoFileName.h"
#include "modules/DemoSection.h"

#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string parts[5];
    std::int64_t started = 0;
    int i = 0;
    for (const fuzzing::Record& record : fuzzing::splitRecords(data, size)) {
        if (i == 0)
            started = static_cast<std::int64_t>(record.control) * 86'400'000;
        if (i < 5)
            parts[i++] = std::string(record.body);
    }
    std::string map = DemoCollector::MapOfRemoteName("demo", parts[4]);
    if (map.empty())
        map = parts[1];
    const std::string name =
        DemoFileName::Build({started, parts[0], map, parts[2], parts[3]}, 1 + (size % 3));
    if (!DemoFileName::IsSafe(name) || name.size() > DemoFileName::kMaxName)
        fuzzing::fail("an unsafe demo name");
    if (name.find('/') != std::string::npos || name.find("..") != std::string::npos || name.front() == '.')
        fuzzing::fail("a demo name that leaves its folder");

    std::string rest =
        "[SECTION_DEMOS]<table>[SECTION_DEMOS_LOOP][#DEMO_URL][#DEMO_NAME][#DEMO_DATE][#DEMO_MAP]"
        "[#DEMO_TEAMS][#DEMO_SCORE][#DEMO_SIZE][/SECTION_DEMOS_LOOP]</table>[/SECTION_DEMOS]";
    const std::string section =
        DemoSection::Take(rest, {{parts[4], name, started, map, parts[2] + " vs " + parts[3], parts[1],
                                  static_cast<std::int64_t>(size)}});
    std::string inner = section.substr(7, section.size() - 15); // without <table> and </table>
    if (inner.find_first_of("<>\"'") != std::string::npos)
        fuzzing::fail("markup from a machine reached the demo list");
    return 0;
}
