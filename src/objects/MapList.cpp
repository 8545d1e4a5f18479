#include "objects/MapList.h"

#include "core/CommandArguments.h"

namespace {

constexpr std::string_view kExtension = ".bsp";

std::string_view trimmed(std::string_view text)
{
    const auto space = [](char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; };
    while (!text.empty() && space(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && space(text.back()))
        text.remove_suffix(1);
    return text;
}

bool endsWithExtension(std::string_view text)
{
    if (text.size() <= kExtension.size())
        return false;
    const std::string_view tail = text.substr(text.size() - kExtension.size());
    for (std::size_t i = 0; i < kExtension.size(); ++i) {
        const char c = tail[i];
        const char lower = c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
        if (lower != kExtension[i])
            return false;
    }
    return true;
}

} // namespace

std::string mapNameOfLine(std::string_view line)
{
    const std::string_view text = trimmed(line);
    if (!endsWithExtension(text))
        return {};
    return std::string(text.substr(0, text.size() - kExtension.size()));
}

bool MapListReader::addLine(std::string_view line)
{
    const std::string name = mapNameOfLine(line);
    if (name.empty())
        return false;
    if (!isSafeCommandWord(name)) {
        ++m_refused;
        return false;
    }
    if (m_maps.count(name))
        return true;
    if (m_maps.size() >= kMaxMaps) {
        m_truncated = true;
        ++m_refused;
        return false;
    }
    m_maps.insert(name);
    return true;
}

void MapListReader::clear()
{
    m_maps.clear();
    m_refused = 0;
    m_truncated = false;
}
