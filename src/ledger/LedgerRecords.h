#pragma once

#include <cstdint>
#include <string>
#include <variant>
#include <vector>

// The plain records the ledger keeps. The ledger knows no object class: the
// document fills these in. Times are whole seconds since 1970 (UTC); an
// object is named by its typed address, "server 10.0.0.5:27015".

struct CommandRecord
{
    std::int64_t at = 0;
    std::string osUser;
    std::string object;
    std::string text;
    // Every secret that may appear in text (the object's passwords); each is
    // replaced by "***" before the record is queued, and then forgotten.
    std::vector<std::string> secrets;
    // The first lines of the answer, or "refused" / "no answer".
    std::string answer;
};

struct AvailabilityRecord
{
    std::int64_t at = 0;
    std::string object;
    // "down", "up", "unreachable", "relay lost", "relay back", "password refused".
    std::string change;
    // Seconds spent in the state this change ends; 0 when not known.
    std::int64_t durationSeconds = 0;
};

struct MatchRecord
{
    std::string object;
    std::string map;
    std::string teams;  // "A vs B"
    std::string scores; // score over time, "0:0 3:1 7:5"; the last is the final
    std::int64_t started = 0;
    std::int64_t ended = 0; // 0 while running
    std::string proxies; // the proxies that recorded it, space-separated
    std::string demos;   // the demo names they were told to use
    std::string ending;  // "finished", "interrupted", "server down", "" while running
};

struct SightingRecord
{
    std::int64_t at = 0;
    std::string object;
    std::string name;
    std::string steamId; // empty unless a real one
    std::string ip;      // without the port; empty when not known
};

struct HistoryRecord
{
    std::int64_t minute = 0; // seconds, a multiple of 60
    std::string object;
    int players = 0;
    int spectators = 0;
};

// One demo file of a match as it is collected; the same proxy, remote file
// and match update one row.
struct DemoFileRecord
{
    std::int64_t at = 0;
    std::string matchObject; // the game server of the match row, typed
    std::int64_t matchStarted = 0;
    std::string proxy; // typed address of the proxy that recorded it
    std::string remoteName;
    std::string fileName; // in the demo folder; empty until named
    std::int64_t size = 0;
    std::string sha256;
    // "waiting", "downloading NN %", "kept", "published", "failed: why".
    std::string state;
    std::string url; // where it was published; empty when not
    std::string map; // the map it holds
};

// Where a proxy writes its demos, kept across runs (empty url: none).
struct DemoFolderRecord
{
    std::string proxy; // typed address
    std::string url;
};

// A ban on the park's servers; the same key updates one row (an unban
// sets liftedAt and liftedBy, and the row stays, so that it is not applied
// again).
struct BanRecord
{
    std::string key; // unique: when, what and whom
    bool byIp = false;
    std::string target; // the SteamID or the IPv4 address
    std::string name;   // the player's name when it was made; may be empty
    std::string osUser;
    std::int64_t at = 0;
    std::string reason;
    std::int64_t minutes = 0; // 0: permanent
    std::int64_t expires = 0; // 0: never
    std::string scope;        // "park", "zone NAME", "group ZONE/GROUP", "server ADDRESS:PORT"
    std::int64_t liftedAt = 0;
    std::string liftedBy;
};

// Where one server stands with one ban; the same key and server update one row.
struct BanServerRecord
{
    std::string key;
    std::string server; // "address:port"
    std::string state;  // "pending", "applied", "failed", "lifted"
    std::int64_t at = 0;
};

// The upstream a proxy should relay and whether the program connects it
// again by itself, kept across runs (the layout file never holds them).
struct RelayPlanRecord
{
    std::string proxy;    // typed address
    std::string upstream; // "address:port"; empty: none wanted
    bool autoReconnect = true;
};

// One schedule of the operator as it stands; the same id (with the
// instance) updates one row, and a removed one deletes it.
struct ScheduleRecord
{
    std::int64_t id = 0;
    bool removed = false;
    std::string command;  // one command line, or empty for a preset
    std::string preset;   // a preset's name
    std::string machines; // "address:port", space-separated
    std::string rule;     // "at T", "every N from T", "match-end", each with " warn A,B"
    std::int64_t nextRun = 0;
    std::int64_t lastRun = 0;
    std::string lastResult;
};

// Operations that run on the writer thread between records.
struct PruneRequest
{
    std::int64_t before = 0; // personal data older than this goes
};
struct ForgetRequest
{
    std::string who; // a SteamID or an IP
};

using LedgerRecord = std::variant<CommandRecord, AvailabilityRecord, MatchRecord, SightingRecord, HistoryRecord,
                                  PruneRequest, ForgetRequest, DemoFileRecord, DemoFolderRecord, RelayPlanRecord,
                                  BanRecord, BanServerRecord, ScheduleRecord>;

// The record kinds by name, as the metrics and the query command spell them.
const char* LedgerKindName(const LedgerRecord& record);
