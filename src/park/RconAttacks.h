#pragma once

#include <cstdint>
#include <deque>
#include <map>
#include <string>
#include <utility>
#include <vector>

// Refused rcon commands that servers log, counted per server and per source
// address. More than kThreshold from one address to one server within
// kWindowSeconds is an attack: said once per spell (the address must stay
// quiet for a window before another is said). Pure bookkeeping on the time
// it is given.
class RconAttacks
{
public:
    static constexpr int kThreshold = 5;
    static constexpr std::int64_t kWindowSeconds = 60;
    // Sources followed per server; the oldest are forgotten past it.
    static constexpr std::size_t kMaxSources = 1024;
    static constexpr std::size_t kMaxAlerts = 256;

    struct Alert
    {
        std::uint64_t sequence = 0; // from 1, in order
        std::int64_t at = 0;
        std::string server; // "address:port"
        std::string source; // IPv4 address, without the port
        int count = 0;      // refusals within the window
    };

    // One refused command; true when it makes a new alert.
    bool Record(const std::string& server, const std::string& source, std::int64_t now);
    // Refusals logged by the server since the start.
    std::uint64_t Refused(const std::string& server) const;
    // The newest alerts, oldest first (at most kMaxAlerts).
    const std::deque<Alert>& alerts() const { return m_alerts; }
    // The alerts after sequence, oldest first.
    std::vector<Alert> AlertsAfter(std::uint64_t sequence) const;
    void Forget(const std::string& server);

private:
    struct Source
    {
        std::deque<std::int64_t> times; // within the window
        bool alerted = false;
        std::int64_t last = 0;
    };
    struct Server
    {
        std::uint64_t refused = 0;
        std::map<std::string, Source> sources;
    };
    std::map<std::string, Server> m_servers;
    std::deque<Alert> m_alerts;
    std::uint64_t m_sequence = 0;
};
