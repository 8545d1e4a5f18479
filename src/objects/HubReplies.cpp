#include "objects/HubReplies.h"

#include "core/TextTokens.h"
#include "objects/ScanNumber.h"

namespace hubs {

std::string GetKeyValue(std::string_view text, std::string_view key)
{
    std::string pattern = "\\";
    pattern.append(key);
    pattern.push_back('\\');
    const std::size_t found = text.find(pattern);
    if (found == std::string_view::npos)
        return {};
    const std::string_view rest = text.substr(found + pattern.size());
    return std::string(rest.substr(0, rest.find('\\')));
}

std::int32_t GetKeyInt(std::string_view text, std::string_view key)
{
    const std::string value = GetKeyValue(text, key);
    // Only an optional sign and digits make a number: no leading blanks.
    if (value.empty() || value.front() == ' ' || value.front() == '\t')
        return 0;
    return scanInt(value).value_or(0);
}

std::string RemoveColourCodes(std::string name)
{
    for (char digit = '0'; digit <= '9'; ++digit) {
        const char code[3] = {'^', digit, '\0'};
        for (std::size_t at = name.find(code); at != std::string::npos; at = name.find(code, at))
            name.erase(at, 2);
    }
    return name;
}

std::vector<std::optional<std::int32_t>> parseHubNumbers(std::string list, int count)
{
    std::vector<std::optional<std::int32_t>> numbers;
    for (int i = 0; i < count; ++i) {
        list.erase(0, list.find_first_not_of(" \t\r\n"));
        const std::string number = CutToken(list, " ");
        CutToken(list, " "); // the second number of each pair is not used
        numbers.push_back(number.empty() ? std::nullopt : scanInt(number));
    }
    return numbers;
}

std::string_view replyText(std::string_view datagram)
{
    if (datagram.size() <= 4)
        return {};
    const std::string_view text = datagram.substr(4);
    return text.substr(0, text.find('\0'));
}

} // namespace hubs
