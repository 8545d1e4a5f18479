#include "app/ConsoleOperator.h"

#include "core/TerminalText.h"
#include "core/TextCodec.h"

#include <iostream>

namespace {

// Messages quote names from the machines: escaped for the terminal.
std::string printable(const std::string& text)
{
    return escapeForTerminal(decodeText(text)).toStdString();
}

} // namespace

void ConsoleOperator::showMessage(const std::string& text)
{
    std::cerr << "Quorvane: " << printable(text) << std::endl;
}

bool ConsoleOperator::askYesNo(const std::string& text)
{
    std::cerr << "Quorvane: " << printable(text) << " (answered No)" << std::endl;
    return false;
}

std::optional<std::string> ConsoleOperator::promptLine(const std::string&, const std::string&)
{
    return std::nullopt;
}

std::optional<AddZoneAnswer> ConsoleOperator::askAddZone(const AddZoneRequest&)
{
    return std::nullopt;
}

std::optional<AddGroupAnswer> ConsoleOperator::askAddGroup(const AddGroupRequest&)
{
    return std::nullopt;
}

std::optional<ObjectDialogValues> ConsoleOperator::askObject(const ObjectDialogRequest&)
{
    return std::nullopt;
}

std::optional<RangeDialogAnswer> ConsoleOperator::askRange(const RangeDialogRequest&)
{
    return std::nullopt;
}

std::optional<AutoWebValues> ConsoleOperator::askAutoWeb(const AutoWebValues&)
{
    return std::nullopt;
}

std::optional<bool> ConsoleOperator::askAdminBot(bool)
{
    return std::nullopt;
}
