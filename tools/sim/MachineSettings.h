#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>

#include <optional>
#include <vector>

// What one simulated machine is at start. Texts are the bytes it puts on the
// wire (UTF-8 where they come from the configuration file).

enum class MachineKind
{
    Server,
    Proxy,
    Hub // a GTV hub manager
};

// How a proxy prints its "status": the lines of the first HLTV releases, or
// those of today's proxies.
enum class ProxyStyle
{
    Old,
    Current
};

// What a proxy puts between the type byte 'l' of a print reply and its text.
// Real proxies write the text one byte further on and leave that byte as it
// happens to be; the first HLTV releases wrote no such byte.
enum class Framing
{
    None,
    Backtick,
    Nul
};

// How an old-style proxy writes its rate line: "Network In X, Out Y" or
// "Network In X Out Y".
enum class RateLine
{
    Comma,
    Plain
};

// How a hub manager answers an rcon command with a wrong password.
enum class Refusal
{
    Print, // "Bad rcon_password."
    Silent
};

// One hub of a hub manager at start.
struct HubSettings
{
    int number = -1;        // -1: one more than the hub before it (the first is 1)
    QByteArray description; // empty: one of a few stage names
    // "server:N", "proxy:N" or "ADDRESS:PORT"; empty: the hub relays nothing;
    // nothing: a game server of the park picked by the park
    std::optional<QByteArray> parent;
    int players = -1;   // -1: a count drawn from the seed
    int following = -2; // slot followed; -1: nobody; -2: one of the players, drawn
};

struct MatchSettings
{
    int state = 0; // 0 none, 1 warm-up, 2 first half, 3 half-time, 4 second half, 5 over
    QByteArray teamA = "TeamA";
    QByteArray teamB = "TeamB";
    int scoreA1 = 0;
    int scoreA2 = 0;
    int scoreB1 = 0;
    int scoreB2 = 0;
    bool moves = false;   // the state advances by itself
    int stepSeconds = 60; // seconds spent in each state when it moves
};

struct MachineSettings
{
    MachineKind kind = MachineKind::Server;
    int port = -1; // -1: the next counted port; 0: a free port
    QByteArray rconPassword;
    QByteArray hostName; // empty: a name made from the kind and ordinal
    QByteArray map;      // empty: a server picks one; a proxy shows its upstream's
    QByteArray gameDir = "cstrike";
    QByteArray description; // empty: from the game directory
    int players = -1;       // -1: a count drawn from the seed; hub managers: clients
    int maxPlayers = 20;    // proxies: spectator slots; hub managers: client slots
    bool modernOnly = false;
    bool demandChallenge = false;
    bool moves = true;        // players join and leave, rates drift
    int overstatePlayers = 0; // the players reply announces this many more than it holds

    // game servers
    QByteArray serverPassword; // sv_password
    MatchSettings match;
    QList<QByteArray> maps;                     // what "maps *" lists; empty: a few stock maps
    int extraMaps = 0;                          // this many more, "sim_map_N"
    QList<QPair<QByteArray, QByteArray>> rules; // set before the stock ones
    int extraRules = 0;                         // this many more rules, "sim_rule_N" "N"

    // proxies
    ProxyStyle style = ProxyStyle::Old;
    Framing framing = Framing::None;
    RateLine rateLine = RateLine::Comma;
    bool rateLineSet = false;
    int delay = 30;
    QByteArray proxyPassword;     // what relaying proxies must give
    QByteArray spectatorPassword; // what spectators must give
    QByteArray connectTo;         // "server:N", "proxy:N" or "ADDRESS:PORT"; empty: not connected

    // hub managers
    std::optional<std::vector<HubSettings>> hubs; // nothing: 1 to 4 hubs drawn from the seed
    Refusal refusal = Refusal::Print;
};
