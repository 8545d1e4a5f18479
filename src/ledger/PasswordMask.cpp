#include "ledger/PasswordMask.h"

#include <algorithm>
#include <cctype>

namespace
{
const std::string kMask = "***";

bool NamesPassword(const std::string& word)
{
    std::string lower(word);
    std::transform(lower.begin(), lower.end(), lower.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return lower.find("password") != std::string::npos || lower.find("passwd") != std::string::npos;
}

void ReplaceSecrets(std::string& text, std::vector<std::string> secrets)
{
    // Longest first, so that a secret containing another is masked whole.
    std::sort(secrets.begin(), secrets.end(),
              [](const std::string& a, const std::string& b) { return a.size() > b.size(); });
    for (const std::string& secret : secrets)
    {
        if (secret.empty())
            continue;
        for (std::size_t at = text.find(secret); at != std::string::npos; at = text.find(secret, at + kMask.size()))
            text.replace(at, secret.size(), kMask);
    }
}

// The value after a word naming a password, up to the end of its quotes or
// the next blank or ';'.
void MaskAssignedValues(std::string& text)
{
    std::size_t i = 0;
    const auto blank = [&](std::size_t k) { return std::isspace(static_cast<unsigned char>(text[k])) != 0; };
    while (i < text.size())
    {
        while (i < text.size() && (blank(i) || text[i] == ';'))
            ++i;
        const std::size_t wordStart = i;
        while (i < text.size() && !blank(i) && text[i] != ';' && text[i] != '"')
            ++i;
        const std::string word = text.substr(wordStart, i - wordStart);
        if (word.empty())
        {
            if (i < text.size() && text[i] == '"') // a quoted word: skip it whole
            {
                const std::size_t close = text.find('"', i + 1);
                i = close == std::string::npos ? text.size() : close + 1;
            }
            continue;
        }
        if (!NamesPassword(word))
            continue;
        std::size_t v = i;
        while (v < text.size() && blank(v) && text[v] != '\n')
            ++v;
        if (v >= text.size() || text[v] == ';' || text[v] == '\n')
            continue;
        std::size_t end;
        if (text[v] == '"')
        {
            const std::size_t close = text.find('"', v + 1);
            end = close == std::string::npos ? text.size() : close + 1;
        }
        else
        {
            end = v;
            while (end < text.size() && !blank(end) && text[end] != ';')
                ++end;
        }
        const bool quoted = text[v] == '"';
        const std::string mask = quoted ? "\"" + kMask + "\"" : kMask;
        text.replace(v, end - v, mask);
        i = v + mask.size();
    }
}
} // namespace

std::string MaskPasswords(const std::string& text, const std::vector<std::string>& secrets)
{
    std::string masked = text;
    ReplaceSecrets(masked, secrets);
    MaskAssignedValues(masked);
    return masked;
}
