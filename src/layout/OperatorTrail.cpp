#include "layout/OperatorTrail.h"

#include "core/Clock.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <string_view>

namespace {

// Commands and variables whose argument is a password, on game servers,
// proxies and hub managers.
constexpr std::array<std::string_view, 7> kPasswordVerbs = {
    "serverpassword", "spectatorpassword", "proxypassword",       "adminpassword",
    "rcon_password",  "sv_password",       "sv_spectatorpassword"};

bool isPasswordVerb(std::string_view word)
{
    return std::any_of(kPasswordVerbs.begin(), kPasswordVerbs.end(), [word](std::string_view verb) {
        return word.size() == verb.size() &&
               std::equal(word.begin(), word.end(), verb.begin(),
                          [](char a, char b) { return std::tolower(static_cast<unsigned char>(a)) == b; });
    });
}

bool isBlank(char c)
{
    return c == ' ' || c == '\t';
}

// One command of a line: its value hidden when its verb takes a password.
std::string maskPart(std::string_view part)
{
    std::size_t at = 0;
    while (at < part.size() && isBlank(part[at]))
        ++at;
    std::size_t end = at;
    while (end < part.size() && !isBlank(part[end]))
        ++end;
    std::size_t value = end;
    while (value < part.size() && isBlank(part[value]))
        ++value;
    if (value >= part.size() || !isPasswordVerb(part.substr(at, end - at)))
        return std::string(part);
    return std::string(part.substr(0, value)) + (part[value] == '"' ? "\"***\"" : "***");
}

} // namespace

std::string maskPasswords(const std::string& command)
{
    // The console splits a line at each ';' outside quotes.
    std::string masked;
    bool quoted = false;
    std::size_t start = 0;
    for (std::size_t i = 0; i <= command.size(); ++i) {
        if (i < command.size() && command[i] == '"')
            quoted = !quoted;
        if (i == command.size() || (command[i] == ';' && !quoted)) {
            masked += maskPart(std::string_view(command).substr(start, i - start));
            if (i < command.size())
                masked += ';';
            start = i + 1;
        }
    }
    return masked;
}

void OperatorTrail::CommandSent(CCommonObject& object, const std::string& command)
{
    m_transcripts[object.GetName()].Sent(maskPasswords(command), object.m_log, m_clock.now());
    if (m_listener)
        m_listener(object, command);
}

void OperatorTrail::Collect(const std::vector<std::unique_ptr<CCommonObject>>& objects)
{
    const std::int64_t now = m_clock.now();
    for (auto& [name, transcript] : m_transcripts) {
        if (!transcript.IsListening(now))
            continue;
        for (const auto& object : objects) {
            if (object->IsNamed(name)) {
                transcript.Take(object->m_log, now);
                break;
            }
        }
    }
}

const CommandTranscript* OperatorTrail::Find(const std::string& name) const
{
    const auto found = m_transcripts.find(name);
    return found == m_transcripts.end() ? nullptr : &found->second;
}
