#include "objects/BanLists.h"

#include "core/CommandArguments.h"

namespace {

constexpr std::string_view kIdHeaders[] = {"UserID filter list:", "ID filter list:"};
constexpr std::string_view kIpHeader = "IP filter list:";
// Longer lines are noise: an entry is a number, an id or address and a term.
constexpr std::size_t kMaxLine = 200;

bool isSpace(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view text)
{
    while (!text.empty() && isSpace(text.front()))
        text.remove_prefix(1);
    while (!text.empty() && isSpace(text.back()))
        text.remove_suffix(1);
    return text;
}

bool startsWith(std::string_view text, std::string_view prefix)
{
    return text.substr(0, prefix.size()) == prefix;
}

// " : permanent" or " : 12.500 min" after the entry; the split point.
std::optional<std::size_t> termStart(std::string_view text)
{
    const std::size_t colon = text.rfind(" : ");
    if (colon == std::string_view::npos)
        return std::nullopt;
    const std::string_view term = trimmed(text.substr(colon + 3));
    if (term == "permanent")
        return colon;
    constexpr std::string_view kMin = " min";
    if (term.size() <= kMin.size() || term.substr(term.size() - kMin.size()) != kMin)
        return std::nullopt;
    const std::string_view number = term.substr(0, term.size() - kMin.size());
    bool digit = false;
    for (const char c : number) {
        if (isDigit(c))
            digit = true;
        else if (c != '.')
            return std::nullopt;
    }
    return digit ? std::optional<std::size_t>(colon) : std::nullopt;
}

// STEAM_X:Y:Z (or VALVE_) with digits: the only ids a ban is made for here.
bool isAccountId(std::string_view id)
{
    if (id.size() > 40 || (!startsWith(id, "STEAM_") && !startsWith(id, "VALVE_")))
        return false;
    int colons = 0;
    bool digit = false;
    for (std::size_t i = 6; i < id.size(); ++i) {
        if (id[i] == ':') {
            if (!digit)
                return false;
            ++colons;
            digit = false;
        } else if (isDigit(id[i])) {
            digit = true;
        } else {
            return false;
        }
    }
    return colons == 2 && digit;
}

} // namespace

std::optional<std::string> banlists::canonicalIpv4(std::string_view text)
{
    std::string out;
    int parts = 0;
    while (parts < 4) {
        while (!text.empty() && text.front() == ' ')
            text.remove_prefix(1);
        std::size_t digits = 0;
        int value = 0;
        while (digits < text.size() && isDigit(text[digits]) && digits < 3) {
            value = value * 10 + (text[digits] - '0');
            ++digits;
        }
        if (digits == 0 || value > 255 || (digits < text.size() && isDigit(text[digits])))
            return std::nullopt;
        text.remove_prefix(digits);
        out += std::to_string(value);
        ++parts;
        if (parts < 4) {
            if (text.empty() || text.front() != '.')
                return std::nullopt;
            text.remove_prefix(1);
            out += '.';
        }
    }
    if (!trimmed(text).empty())
        return std::nullopt;
    return out;
}

namespace {

// "N WHATEVER : term": what listid prints per entry, whatever the id.
std::optional<std::string_view> idEntry(std::string_view line)
{
    if (line.size() > kMaxLine)
        return std::nullopt;
    const std::string_view text = trimmed(line);
    const auto term = termStart(text);
    if (!term)
        return std::nullopt;
    const std::string_view entry = text.substr(0, *term);
    std::size_t digits = 0;
    while (digits < entry.size() && isDigit(entry[digits]))
        ++digits;
    if (digits == 0 || digits >= entry.size() || entry[digits] != ' ')
        return std::nullopt;
    return trimmed(entry.substr(digits));
}

} // namespace

std::optional<std::string> banlists::idOfLine(std::string_view line)
{
    const auto entry = idEntry(line);
    if (!entry)
        return std::nullopt;
    const std::string_view id = *entry;
    if (!isAccountId(id) || !isSafeCommandArgument(id))
        return std::nullopt;
    return std::string(id);
}

std::optional<std::string> banlists::ipOfLine(std::string_view line)
{
    if (line.size() > kMaxLine)
        return std::nullopt;
    const std::string_view text = trimmed(line);
    const auto term = termStart(text);
    if (!term)
        return std::nullopt;
    return canonicalIpv4(text.substr(0, *term));
}

BanListReader banlists::read(std::string_view text)
{
    BanListReader reader;
    while (!text.empty()) {
        const std::size_t end = text.find('\n');
        reader.addLine(text.substr(0, end));
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
    }
    return reader;
}

void BanListReader::clear()
{
    *this = BanListReader();
}

bool BanListReader::idsComplete() const
{
    return m_sawIds && m_idCount && m_idLines >= *m_idCount;
}

void BanListReader::keep(std::set<std::string>& into, std::string value)
{
    if (into.count(value))
        return;
    if (into.size() >= kMaxEntries) {
        m_truncated = true;
        ++m_refused;
        return;
    }
    into.insert(std::move(value));
}

void BanListReader::addLine(std::string_view line)
{
    const std::string_view text = trimmed(line);
    for (const std::string_view header : kIdHeaders) {
        if (startsWith(text, header)) {
            // A new answer replaces what an older one listed.
            m_list = List::Ids;
            m_sawIds = true;
            m_ids.clear();
            m_idLines = 0;
            const std::string_view rest = trimmed(text.substr(header.size()));
            std::size_t count = 0;
            std::size_t digits = 0;
            while (digits < rest.size() && digits < 6 && isDigit(rest[digits]))
                count = count * 10 + static_cast<std::size_t>(rest[digits++] - '0');
            m_idCount = rest == "empty" ? std::optional<std::size_t>(0)
                        : digits > 0    ? std::optional<std::size_t>(count)
                                        : std::nullopt;
            if (m_idCount == 0u)
                m_list = List::None;
            return;
        }
    }
    if (startsWith(text, kIpHeader)) {
        m_sawIps = true;
        m_ips.clear();
        m_list = trimmed(text.substr(kIpHeader.size())) == "empty" ? List::None : List::Ips;
        return;
    }
    if (m_list == List::Ids) {
        // Every entry counts towards the header's number, kept or not; other
        // output (a poll's answer in between) is not an entry.
        if (!idEntry(line))
            return;
        ++m_idLines;
        if (const auto id = banlists::idOfLine(line))
            keep(m_ids, *id);
        else
            ++m_refused;
        if (idsComplete())
            m_list = List::None;
    } else if (m_list == List::Ips) {
        if (auto ip = banlists::ipOfLine(line))
            keep(m_ips, std::move(*ip));
        else if (termStart(text))
            ++m_refused;
    }
}
