#pragma once

#include "ledger/LedgerRecords.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

class CCommonObject;
class CHLServer;
class CHLTV;
class Ledger;

// Turns what the objects show into ledger records, once a second: changes
// of availability with their durations, matches from the match report (with
// the proxies recording them and their demo names), player sightings from
// the status table, the per-minute player history, and the operator's
// commands with the first lines that answered them. Each object's minute
// (sightings and history) comes at a second of the minute of its own, so
// that a large park's thousands of sightings never fall into one pause. The ledger itself knows
// no object; this is the one place that reads objects for it.
class LedgerFeed
{
public:
    // Lines that reach the log this long after a command answer it, the
    // lines of the program's own polls left out; the first few are kept.
    static constexpr std::int64_t kAnswerSeconds = 3;
    static constexpr int kAnswerLines = 5;

    explicit LedgerFeed(Ledger& ledger) : m_ledger(ledger) {}

    // The operator sent text to object (or the program did, for the operator).
    void CommandSent(const CCommonObject& object, const std::string& text, std::int64_t now);
    // Once a second after the objects' tick, the whole park or, in parts
    // (part 0 first), its part-th share of parts.
    void Tick(const std::vector<std::unique_ptr<CCommonObject>>& objects, std::int64_t now, int part = 0,
              int parts = 1);
    // The object is about to be deleted: nothing may point at it afterwards.
    void Forget(const CCommonObject& object);
    // Every object is about to go: commands waiting for an answer are kept now.
    void ForgetAll(std::int64_t now);

    // When the match now running on server began, as its row has it; 0: none.
    std::int64_t MatchStarted(const CCommonObject& server) const;

    // The name of the system user this program runs as.
    static std::string OsUser();
    // "server 10.0.0.5:27015", "proxy ...", "hub ...".
    static std::string TypedAddress(const CCommonObject& object);
    // A SteamID that names one account: not STEAM_ID_LAN, STEAM_ID_PENDING, BOT, HLTV.
    static bool IsRealSteamId(const std::string& id);
    // "10.0.0.7:27005" -> "10.0.0.7"; "" for "loopback" and other non-addresses.
    static std::string AddressWithoutPort(const std::string& address);

private:
    struct State
    {
        bool down = false;
        bool refused = false;
        std::int64_t since = 0;
        bool relayLost = false;
        std::int64_t relaySince = 0;
        bool unreachable = false;
        bool matchRunning = false;
        std::int64_t matchStarted = 0;
        std::string scores;
        int scoreA = 0;
        int scoreB = 0;
        // Every proxy that recorded the match and every demo name it was
        // told, kept after the recording stops.
        std::string proxies;
        std::string demos;
        // As the match report last gave them: at the end it gives none.
        std::string map;
        std::string teams;
        std::string teamA;
        std::string teamB;
        // The second of each minute at which this object's minute is kept,
        // and the last minute kept.
        int phase = -1;
        std::int64_t lastMinute = -1;
    };
    struct PendingCommand
    {
        const CCommonObject* object;
        std::string typedAddress;
        std::string text;
        std::vector<std::string> secrets;
        std::uint64_t logMark;
        std::int64_t at;
    };

    void NewPhase(State& state, std::int64_t now);
    void Keep(LedgerRecord record);
    void Flush();
    void WatchAvailability(const CCommonObject& object, State& state, std::int64_t now);
    void WatchMatch(const CHLServer& server, State& state, std::int64_t now);
    void FindRecorders(const std::vector<std::unique_ptr<CCommonObject>>& objects);
    void RecordSightings(const CCommonObject& object, std::int64_t now);
    void AnswerCommands(std::int64_t now, bool all);

    Ledger& m_ledger;
    std::unordered_map<const CCommonObject*, State> m_states;
    std::deque<PendingCommand> m_pending;
    int m_nextPhase = -1; // none dealt yet
    // During a tick: the proxies recording each server, found in one pass.
    std::unordered_map<const CHLServer*, std::vector<const CHLTV*>> m_recorders;
    std::string m_osUser;
    // The records of this tick, queued at its end.
    std::vector<LedgerRecord> m_outbox;
};
