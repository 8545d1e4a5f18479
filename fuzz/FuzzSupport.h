#pragma once

#include "core/SilentOperator.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string_view>
#include <vector>

class CCommonObject;

// What the fuzz targets share: a silent operator and a manual clock, the framing of an input into datagrams, and checks of the state an
// object must keep whatever it was sent.
namespace fuzzing {

using Environment = SilentContext;

// An input is a list of records separated by FE FE FE FE. A record's first
// byte is its control byte, the rest the datagram after the four FF bytes
// every reply starts with (which the framing puts back). An empty record is
// skipped; a record of the control byte alone delivers the bare prefix.
inline constexpr std::string_view kSeparator{"\xFE\xFE\xFE\xFE", 4};
// The receive buffer of the rcon channel holds this much.
inline constexpr std::size_t kMaxDatagram = 2048;

// One received datagram, in a buffer of exactly its size plus the NUL the
// channel puts behind it, so that the sanitizer catches a read past it.
class Datagram
{
public:
    explicit Datagram(std::string_view body);
    std::string_view view() const { return {m_bytes.get(), m_size}; }

private:
    std::unique_ptr<char[]> m_bytes;
    std::size_t m_size = 0;
};

struct Record
{
    std::uint8_t control = 0;
    std::string_view body; // without the FF FF FF FF prefix
};

std::vector<Record> splitRecords(const std::uint8_t* data, std::size_t size);

// Control byte: bits 0-2 the number of one-second ticks before the datagram,
// bit 3 eleven seconds of silence first (a timeout), bits 4-7 the target's own.
inline int ticksOf(std::uint8_t control)
{
    return control & 0x07;
}
inline bool silenceOf(std::uint8_t control)
{
    return (control & 0x08) != 0;
}

// Gives an object its machine: 127.0.0.1:port, with an rcon password when
// one is given. No channel is opened.
void setMachine(CCommonObject& object, int port, const char* rconPassword = "");

// Advances the clock as the control byte says and ticks the object.
void runTicks(CCommonObject& object, ManualClock& clock, std::uint8_t control);

// Aborts with a message when what a datagram can never change is broken:
// the player count in 0..32, the console log within its 50 lines, the poll
// phase within its six steps.
void checkCommon(const CCommonObject& object);

// Prints why and aborts: a finding for the fuzzer, a failure for the replay.
[[noreturn]] void fail(const char* what);

} // namespace fuzzing
