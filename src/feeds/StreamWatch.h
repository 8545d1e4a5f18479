#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

// Which game servers were asked to stream their log here, and when one must
// be asked again. A server forgets logaddress when it restarts, so it is
// asked again whenever its rcon is regained (after a restart or a time-out);
// and one from which no log datagram has come for kSilenceSeconds while it
// answers and holds players is asked once more and counts as lost until
// lines come back. Pure bookkeeping on the time it is given.
class StreamWatch
{
public:
    static constexpr std::int64_t kSilenceSeconds = 300;

    // What the server looks like this second.
    struct Look
    {
        bool underRcon = false;      // rcon is accepted: it can be asked
        std::uint64_t rconGains = 0; // moves each time rcon is regained
        bool answers = false;        // it answers queries
        int players = 0;
        std::uint64_t lines = 0; // log datagrams taken from it so far
    };

    // The server was asked to stream (at rconGains), or to stop.
    void asked(const std::string& name, const Look& look, std::int64_t now);
    void stop(const std::string& name) { m_servers.erase(name); }
    bool wanted(const std::string& name) const { return m_servers.count(name) > 0; }
    // Another layout: nothing is streaming here.
    void clear() { m_servers.clear(); }

    // Follows one second of a wanted server; true when it must be asked
    // again now (then call asked() once it was).
    bool due(const std::string& name, const Look& look, std::int64_t now);
    // No line for kSilenceSeconds while it answered and held players, and
    // none since.
    bool lost(const std::string& name) const;

private:
    struct Server
    {
        std::uint64_t askedAtGains = 0;
        std::uint64_t lines = 0;
        std::int64_t quietSince = 0; // counts only while it answers and holds players
        bool lost = false;
        bool askedForSilence = false;
    };
    std::unordered_map<std::string, Server> m_servers;
};
