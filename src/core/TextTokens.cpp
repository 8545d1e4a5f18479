#include "core/TextTokens.h"

std::string CutToken(std::string& source, std::string_view delimiter, int* notFound)
{
    const std::size_t position = source.find(delimiter);
    if (position == std::string::npos) {
        if (notFound)
            *notFound = 1;
        return {};
    }
    std::string token = source.substr(0, position);
    source.erase(0, position + delimiter.size());
    return token;
}

bool beginsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}
