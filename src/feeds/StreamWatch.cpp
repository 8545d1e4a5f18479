#include "feeds/StreamWatch.h"

void StreamWatch::asked(const std::string& name, const Look& look, std::int64_t now)
{
    const bool known = wanted(name);
    Server& server = m_servers[name];
    if (!known)
        server.lines = look.lines;
    server.askedAtGains = look.rconGains;
    server.askedForSilence = server.lost;
    // A fresh stream gets the whole wait before it counts as silent.
    server.quietSince = now;
}

bool StreamWatch::due(const std::string& name, const Look& look, std::int64_t now)
{
    const auto found = m_servers.find(name);
    if (found == m_servers.end())
        return false;
    Server& server = found->second;
    if (look.lines != server.lines) {
        server.lines = look.lines;
        server.lost = false;
        server.askedForSilence = false;
        server.quietSince = now;
    }
    // An empty or silent server has nothing to log: its quiet is no sign.
    if (!look.answers || look.players <= 0)
        server.quietSince = now;
    if (now - server.quietSince >= kSilenceSeconds)
        server.lost = true;
    if (!look.underRcon)
        return false;
    return look.rconGains != server.askedAtGains || (server.lost && !server.askedForSilence);
}

bool StreamWatch::lost(const std::string& name) const
{
    const auto found = m_servers.find(name);
    return found != m_servers.end() && found->second.lost;
}
