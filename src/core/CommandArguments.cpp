#include "core/CommandArguments.h"

bool isSafeCommandArgument(std::string_view value)
{
    return value.find_first_of(std::string_view("\";\r\n\0", 5)) == std::string_view::npos;
}

bool isUsableRconPassword(std::string_view password)
{
    return password.find_first_of(std::string_view("\"\r\n\0", 4)) == std::string_view::npos;
}
