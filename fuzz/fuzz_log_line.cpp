// One datagram on the log port, whole, as any sender on the network may
// send it: the header and the secret form are read, the line is parsed, the
// event is kept in a ring and described for the terminal, JSON and the live
// pane. Whatever the bytes, the line and the secret lie inside the datagram,
// the line holds no line end or NUL and is followed by its line end, and the
// ring keeps its bounds.
#include "feeds/EventReport.h"
#include "feeds/EventRing.h"
#include "feeds/LogLine.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

namespace {

bool inside(std::string_view part, std::string_view whole)
{
    return part.empty() ||
           (part.data() >= whole.data() && part.data() + part.size() <= whole.data() + whole.size());
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    const std::string_view datagram(reinterpret_cast<const char*>(data), size);
    std::string_view secret;
    const auto line = logLineOfDatagram(datagram, &secret);
    if (!line)
        return 0;
    if (!inside(*line, datagram) || !inside(secret, datagram) || line->substr(0, 2) != "L " ||
        line->find_first_of(std::string_view("\n\0", 2)) != std::string_view::npos)
        std::abort();
    // Only a whole line is taken: its line end follows it (after any CRs).
    const std::size_t after = static_cast<std::size_t>(line->data() - datagram.data()) + line->size();
    const std::size_t end = datagram.find_first_not_of('\r', after);
    if (end == std::string_view::npos || datagram[end] != '\n')
        std::abort();
    const auto event = parseLogLine(*line);
    if (!event)
        return 0;
    EventRing ring(2);
    for (int i = 0; i < 3; ++i)
        ring.push(*event);
    if (ring.events().size() != 2)
        std::abort();
    for (const LogEvent& kept : ring.events()) {
        for (const std::string* field :
             {&kept.player.name, &kept.victim.name, &kept.text, &kept.weapon, &kept.team})
            if (field->size() > EventRing::kMaxField)
                std::abort();
        if (kept.scores.size() > 4)
            std::abort();
        describeEvent("127.0.0.1:27015", kept);
        eventLine("127.0.0.1:27015", kept);
        if (eventText(kept).contains(QLatin1Char('\n')))
            std::abort();
    }
    return 0;
}
