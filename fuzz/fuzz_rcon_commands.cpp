// The remote-console commands that carry values from machines or from the
// operator. Each record's body is a value, its control byte picks the
// command; a record with control 7 offers a new rcon password. Every
// datagram the builders allow must read, as a machine's console reads it,
// as exactly the password the program holds and exactly one command.
#include "FuzzSupport.h"

#include "core/CommandArguments.h"
#include "objects/OobDatagrams.h"
#include "objects/RconCommandText.h"

#include <optional>
#include <string>
#include <vector>

namespace {

// The commands a console runs for the text: split at ';' and line breaks
// that stand outside double quotes.
std::vector<std::string> consoleCommands(std::string_view text)
{
    std::vector<std::string> commands(1);
    bool quoted = false;
    for (const char c : text) {
        if (c == '"')
            quoted = !quoted;
        if (!quoted && (c == ';' || c == '\n' || c == '\r')) {
            commands.emplace_back();
            continue;
        }
        commands.back() += c;
    }
    return commands;
}

void check(const std::string& password, const std::string& command)
{
    const std::string datagram = oob::rconCommand(1234, password, command);
    // FF FF FF FF rcon 1234 "password" command 00, and no other 00.
    const std::string_view text(datagram.data() + 4, datagram.size() - 5);
    if (datagram.back() != '\0' || text.find('\0') != std::string_view::npos)
        fuzzing::fail("a NUL inside the datagram");
    const std::string head = "rcon 1234 \"";
    if (text.substr(0, head.size()) != head)
        fuzzing::fail("the datagram does not start as an rcon command");
    const std::size_t close = text.find('"', head.size());
    if (close == std::string_view::npos || text.substr(head.size(), close - head.size()) != password)
        fuzzing::fail("the password field does not hold the password");
    if (text.substr(close + 1, 1) != " ")
        fuzzing::fail("no blank after the password");
    const auto commands = consoleCommands(text.substr(close + 2));
    if (commands.size() != 1 || commands.front() != command)
        fuzzing::fail("a value started a command of its own");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    std::string password = "secret";
    for (const fuzzing::Record& record : fuzzing::splitRecords(data, size)) {
        const std::string value(record.body);
        std::optional<std::string> command;
        switch (record.control & 0x07) {
        case 0:
            command = rconcmd::kickByName(value);
            break;
        case 1:
            command = rconcmd::sayKicking(value);
            break;
        case 2:
            command = rconcmd::serverPassword(value);
            break;
        case 3:
            command = rconcmd::connect(value);
            break;
        case 4:
            command = rconcmd::gtvConnect(value);
            break;
        case 5:
            command = rconcmd::quotedPassword("spectatorpassword", value);
            break;
        case 6:
            command = rconcmd::kickByUserId(static_cast<std::int32_t>(value.size()));
            break;
        default:
            if (isUsableRconPassword(value))
                password = value;
            break;
        }
        if (command)
            check(password, *command);
    }
    return 0;
}
