// The rules reply and the parts a long one comes in. Each record is a
// datagram; with bit 4 of its control byte it is a part (FE FF FF FF
// instead of the FF prefix), whose joined reply is read like a whole one.
// Whatever comes, the reply stays within its bounds.
#include "FuzzSupport.h"

#include "objects/OobDatagrams.h"
#include "objects/ServerRules.h"

#include <string>

namespace {

void checkRules(std::string_view datagram)
{
    const auto rules = replies::parseRules(datagram);
    if (!rules)
        return;
    if (rules->entries.size() > replies::Rules::kMaxRules)
        fuzzing::fail("more rules kept than the limit");
    if (rules->complete && rules->entries.size() != static_cast<std::size_t>(rules->announced))
        fuzzing::fail("a reply called complete without its announced pairs");
    if (rules->announced < 0 || rules->announced > 0xFFFF)
        fuzzing::fail("a count beyond 16 bits");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    SplitReplies split;
    std::int64_t now = 0;
    for (const fuzzing::Record& record : fuzzing::splitRecords(data, size)) {
        now += fuzzing::ticksOf(record.control);
        if (record.control & 0x10) {
            const fuzzing::Datagram datagram(record.body);
            std::string part(datagram.view());
            part[0] = '\xFE';
            const auto whole = split.add(part, now);
            if (!whole)
                continue;
            if (!oob::hasOobPrefix(*whole) || whole->size() > 15 * fuzzing::kMaxDatagram)
                fuzzing::fail("a joined reply without its prefix or beyond fifteen parts");
            checkRules(*whole);
        } else {
            const fuzzing::Datagram datagram(record.body);
            checkRules(datagram.view());
        }
    }
    return 0;
}
