#include "park/ServerVariables.h"

#include "core/CommandArguments.h"
#include "objects/CHLServer.h"

#include <algorithm>

void VariablesWatch::Show(CHLServer* server, std::int64_t now)
{
    const bool fresh = server != m_server;
    m_server = server;
    if (server && fresh) {
        server->RequestRules();
        m_askedAt = now;
    }
}

void VariablesWatch::Tick(std::int64_t now)
{
    if (m_server && now - m_askedAt >= kAskSeconds) {
        m_server->RequestRules();
        m_askedAt = now;
    }
}

void VariablesWatch::Forget(const CCommonObject& object)
{
    if (m_server == &object)
        m_server = nullptr;
}

namespace variables {
namespace {

bool containsAnyCase(std::string_view text, std::string_view part)
{
    const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; };
    return part.empty() || std::search(text.begin(), text.end(), part.begin(), part.end(),
                                       [&](char a, char b) { return lower(a) == lower(b); }) != text.end();
}

} // namespace

std::optional<std::string> setCommand(std::string_view name, std::string_view value)
{
    if (!isSafeCommandWord(name) || !isSafeCommandArgument(value))
        return std::nullopt;
    return std::string(name) + " \"" + std::string(value) + '"';
}

std::vector<std::pair<std::string, std::string>>
filterRules(const std::vector<std::pair<std::string, std::string>>& rules, std::string_view filter)
{
    std::vector<std::pair<std::string, std::string>> shown;
    for (const auto& rule : rules) {
        if (containsAnyCase(rule.first, filter) || containsAnyCase(rule.second, filter))
            shown.push_back(rule);
    }
    return shown;
}

} // namespace variables
