#include "FuzzSupport.h"

#include "objects/CCommonObject.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace fuzzing {

Datagram::Datagram(std::string_view body)
{
    constexpr std::string_view kPrefix{"\xFF\xFF\xFF\xFF", 4};
    body = body.substr(0, kMaxDatagram - kPrefix.size());
    m_size = kPrefix.size() + body.size();
    m_bytes = std::make_unique<char[]>(m_size + 1);
    std::memcpy(m_bytes.get(), kPrefix.data(), kPrefix.size());
    if (!body.empty())
        std::memcpy(m_bytes.get() + kPrefix.size(), body.data(), body.size());
    m_bytes[m_size] = '\0';
}

void setMachine(CCommonObject& object, int port, const char* rconPassword)
{
    object.m_strAddress = "127.0.0.1";
    object.m_nPort = port;
    object.m_strRconPassword = rconPassword;
}

std::vector<Record> splitRecords(const std::uint8_t* data, std::size_t size)
{
    std::vector<Record> records;
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    std::size_t start = 0;
    while (start <= input.size()) {
        std::size_t end = input.find(kSeparator, start);
        if (end == std::string_view::npos)
            end = input.size();
        const std::string_view record = input.substr(start, end - start);
        if (!record.empty())
            records.push_back({static_cast<std::uint8_t>(record.front()), record.substr(1)});
        start = end + kSeparator.size();
    }
    return records;
}

void runTicks(CCommonObject& object, ManualClock& clock, std::uint8_t control)
{
    if (silenceOf(control))
        clock.advance(11);
    for (int i = 0; i < ticksOf(control); ++i) {
        clock.advance(1);
        object.Tick();
    }
}

void checkCommon(const CCommonObject& object)
{
    if (object.m_nPlayers < 0 || object.m_nPlayers > CCommonObject::kMaxPlayers)
        fail("player count outside 0..32");
    if (object.GetPlayerCount() < 0 || object.GetPlayerCount() > CCommonObject::kMaxPlayers)
        fail("reported player count outside 0..32");
    if (object.m_log.count() < 0 || object.m_log.count() > CConsoleLog::kCapacity)
        fail("console log outside its capacity");
    if (object.m_nPhase < 0 || object.m_nPhase > 5)
        fail("poll phase outside the six steps");
    switch (object.m_nStatus) {
    case CSStatus_TIMEOUT:
    case CSStatus_MONITORING:
    case CSStatus_CONTROL:
    case CSStatus_FULLCONTROL:
        break;
    default:
        fail("status outside the known values");
    }
}

void fail(const char* what)
{
    std::fprintf(stderr, "fuzz check failed: %s\n", what);
    std::fflush(stderr);
    std::abort();
}

} // namespace fuzzing
