#pragma once

#include "ledger/LedgerBans.h"
#include "ledger/LedgerRecords.h"

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

class CCommonObject;
class CHLServer;

// Where a ban holds: one server, its group, its zone or the whole park.
struct BanScope
{
    enum class Kind
    {
        Server,
        Group,
        Zone,
        Park
    };
    Kind kind = Kind::Park;
    std::string label; // "address:port", "zone/group", the zone's name; empty for the park

    // "server 10.0.0.5:27015", "group LAN/Servers", "zone LAN", "park".
    std::string text() const;
    static std::optional<BanScope> parse(const std::string& text);
};

// The park's bans as one list: each ban goes to every game server of its
// scope and is kept in the ledger with where each server stands. A server
// that comes under rcon again (restarted, added, back from down) is asked
// for its listid / listip, and given what it lacks of the park's bans and
// told to drop what the park lifted; each change is checked in the next
// listing. Expired bans leave the list. Driven by the document's tick and
// the time it is given; the bans themselves come from the operator (Ban...)
// or the ledger (Load).
class ParkBans
{
public:
    enum class State
    {
        Pending, // not yet seen in the server's own list
        Applied,
        Failed, // given kMaxAttempts times and still not listed
        Lifted  // unbanned, and seen gone from the server's list
    };
    struct Ban
    {
        std::string key;
        bool byIp = false;
        std::string target; // SteamID or IPv4 address
        std::string name;   // the player's name, wire bytes; may be empty
        std::string who;
        std::int64_t at = 0;
        std::string reason;
        std::int64_t minutes = 0; // 0: permanent
        std::int64_t expires = 0; // 0: never
        BanScope scope;
        std::int64_t liftedAt = 0;
        std::string liftedBy;
        std::map<std::string, State> servers; // "address:port" -> state

        bool lifted() const { return liftedAt != 0; }
    };
    // A game server of the park as a scope sees it.
    struct Member
    {
        CHLServer* server = nullptr;
        std::string name;  // "address:port"
        std::string group; // "zone/group"; empty without one
        std::string zone;
    };
    // A command the operator's action sent, for his record.
    struct Sent
    {
        const CCommonObject* object;
        std::string command;
    };

    static constexpr int kMaxAttempts = 3;
    // A listing not whole after this long is given up and asked again later.
    static constexpr std::int64_t kListSeconds = 6;
    static constexpr std::int64_t kRetrySeconds = 60;
    // Lifted bans are carried this long, so that a server that was away
    // when one was lifted drops it too.
    static constexpr std::int64_t kKeepLiftedSeconds = 30LL * 24 * 3600;
    static constexpr std::size_t kMaxBans = 10000;

    // A new ban, sent at once to the servers of its scope under rcon. With
    // kick, the player of that userid is kicked from that server (a ban by
    // SteamID kicks by itself). False with the reason when a value could
    // not go into a command.
    bool Add(Ban ban, const std::vector<Member>& members, std::optional<std::pair<CHLServer*, int>> kick,
             std::int64_t now, std::vector<Sent>& sent, std::string& error);
    // Lifts a ban: the servers of its scope under rcon are told at once, the
    // others when they come back. False when the key names none in force.
    bool Lift(const std::string& key, const std::string& who, const std::vector<Member>& members,
              std::int64_t now, std::vector<Sent>& sent);
    // What the ledger kept; a ban already known is left as it is.
    void Load(const std::vector<LedgerBans::Ban>& kept, std::int64_t now);
    // Once a second: expiry, listings asked and read, what servers lack.
    void Tick(const std::vector<Member>& members, std::int64_t now);
    void Forget(const CCommonObject& object);
    void ForgetServers() { m_sync.clear(); }

    // The records the ledger must take since the last call.
    std::vector<LedgerRecord> TakeRecords();
    const std::vector<Ban>& bans() const { return m_bans; }
    const Ban* Find(const std::string& key) const;
    // Moves whenever the list or a state changes, so that a table redraws only then.
    std::uint64_t generation() const { return m_generation; }

    static bool InScope(const BanScope& scope, const Member& member);
    static const char* StateText(State state);
    static std::optional<State> ParseState(const std::string& text);

private:
    struct Sync
    {
        std::uint64_t gains = 0;
        bool seen = false;    // gains was taken once
        bool again = false;   // a change was sent: list once more to check it
        bool listing = false; // a listing was asked and is not read yet
        std::int64_t askedAt = 0;
        std::int64_t retryAt = 0;
        std::map<std::string, int> attempts; // ban key -> times given
    };

    // The commands that give the server the ban (with the minutes left).
    static std::vector<std::string> ApplyCommands(const Ban& ban, std::int64_t now, bool kick);
    static std::vector<std::string> LiftCommands(const Ban& ban);
    void SetState(Ban& ban, const std::string& server, State state, std::int64_t now);
    void Reconcile(const Member& member, Sync& sync, std::int64_t now);
    void RecordBan(const Ban& ban);
    Ban* FindMutable(const std::string& key);

    std::vector<Ban> m_bans;
    std::unordered_map<const CCommonObject*, Sync> m_sync;
    std::vector<LedgerRecord> m_records;
    std::uint64_t m_generation = 0;
};
