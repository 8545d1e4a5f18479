#pragma once

#include "objects/BanLists.h"
#include "objects/CClanDetector.h"
#include "objects/CCommonObject.h"
#include "objects/MapList.h"
#include "objects/QueryDialect.h"
#include "objects/RconChallenge.h"
#include "objects/ServerRules.h"
#include "objects/StatusPlayers.h"

#include <mutex>
#include <vector>

namespace replies {
struct Details;
struct Players;
} // namespace replies

// One Half-Life game server: polled every six seconds over its rcon channel
// (details and players queries, the rcon challenge, and the rcon commands
// that report the match, the status text and the server password).
class CHLServer : public CCommonObject
{
public:
    explicit CHLServer(const CoreContext& context);

    bool IsNamed(const std::string& name) const override;
    void Draw(QPainter& painter) override;
    void OnReply(std::string_view datagram) override;
    void Tick() override;
    void SetStatus(CSStatus status) override;
    bool IsGameServer() const override;
    void SendCommand(std::string command) override;
    // Kicks by the player's #userid when the last status table names the
    // player once; otherwise by name, unless the name could break out of
    // its quotes, which is refused with a message.
    void Kick(std::string name) override;
    // Also forgets the challenge: the next one is asked for afresh.
    void SetRconPassword(std::string password) override;
    // "say Kicking <name>" and "kick #<userid>".
    void KickByUserId(std::int32_t userId, const std::string& name);

    virtual void RequestStatus();
    virtual void RequestChallenge();
    virtual void RequestPlayers();
    virtual void RequestDetails();
    virtual void QueryStatus();
    virtual void QueryServerPassword();

    // Asks for the server's variables (the rules query); the answer, in
    // one datagram or in parts, lands in m_rules.
    void RequestRules();
    // Sends "maps *" by rcon; the map lines that answer it within
    // kMapListSeconds land in m_mapList. False when rcon is not usable.
    bool RequestMapList();
    static constexpr std::int64_t kMapListSeconds = 10;
    // Sends "listid" and "listip" by rcon; what answers within
    // kBanListSeconds lands in m_banLists. False when rcon is not usable.
    bool RequestBanLists();
    static constexpr std::int64_t kBanListSeconds = 10;

    void QueryMatchReport();
    void DetectClans();

    // The clan text, read under its lock.
    std::string Clans() const;

    // Frags and connected seconds of the players of the last players
    // reply, beside m_strPlayers.
    std::array<std::int32_t, kMaxPlayers> m_nPlayerFrags{};
    std::array<std::int32_t, kMaxPlayers> m_nPlayerSeconds{};
    bool m_bMatchRunning = false;
    std::string m_strServerPassword;
    CClanDetector m_clanDetector;
    mutable std::mutex m_csClans;
    std::string m_strGameDir;
    std::string m_strGameDesc;
    std::string m_strMap;
    // Player slots, from the details or info reply; 0 until one names them.
    std::int32_t m_nMaxPlayers = 0;
    std::string m_strClans;
    std::uint32_t m_nChallenge = 0;
    std::string m_strTeamA = "?";
    std::string m_strTeamB = "?";
    std::int32_t m_nScoreA1 = 0;
    std::int32_t m_nScoreB1 = 0;
    std::int32_t m_nScoreA2 = 0;
    std::int32_t m_nScoreB2 = 0;
    std::int32_t m_nMatchState = 0;

    // "address:port" as the machine reports itself in its details reply;
    // empty until it does. Behind NAT or a relay this is often a LAN or
    // loopback address: it is never used to send anything, only to match
    // the names that proxies and hubs report (IsNamed).
    std::string m_strReportedAddress;
    // The last rules reply and when it came (0: none yet).
    std::optional<replies::Rules> m_rules;
    std::int64_t m_timeRules = 0;
    // The maps of the last "maps *", and when it was sent.
    MapListReader m_mapList;
    std::int64_t m_timeMapsAsked = INT64_MIN / 2;
    // The server's own ban lists of the last "listid" / "listip".
    BanListReader m_banLists;
    std::int64_t m_timeBansAsked = INT64_MIN / 2;

    // The player table of the last complete "status" text (rcon only).
    std::vector<StatusPlayer> m_statusPlayers;

protected:
    // The replies to the queries, handled alike by servers and proxies:
    // details ('C', 'm'), info ('I'), players ('D') and the current servers'
    // challenge ('A'). False for any other type.
    bool OnQueryReply(std::string_view datagram, bool choosePicture);
    void CheckTimeout();
    // One step of the six-second poll cycle; proxies differ in steps 3 and 5.
    virtual void RunPollPhase(int phase);
    // A challenge reply ('c'): stores the number; false while rcon is
    // suspended (the reply then proves nothing).
    bool TakeChallenge(std::string_view datagram);
    // A reject ('9'): the machine does not know the challenge.
    void OnReject();
    // A "Bad rcon_password." line, told apart from a forgotten challenge.
    void OnBadPassword();
    // Print lines holding the ban text: rcon is suspended, control is lost.
    // True when the lines were such an answer (they are not read further).
    bool OnBanned(const std::vector<std::string>& lines);
    // Command output that refused nothing: the rcon works.
    void OnRconAccepted() { m_rconChallenge.OnAccepted(); }
    // The host name under the icon; greyed for a machine that is down.
    void DrawHostname(QPainter& painter, bool greyed = false);
    void DrawStatusMark(QPainter& painter);

private:
    void ApplyDetails(const replies::Details& details, bool choosePicture);
    void ApplyPlayers(const replies::Players& players);
    // A current server's challenge ('A'): stored, and the query it answers
    // is sent again with it at once.
    void OnQueryChallenge(std::string_view datagram);
    // A reply from a machine that had timed out brings it back to monitoring.
    void LeaveTimeout();
    void OnPrint(std::string_view datagram);
    // Applies one print line; true when it refused the command.
    bool ApplyPrintLine(const std::string& line);
    void ApplyRconAction(RconChallenge::Action action);
    // Drops control without asking for a challenge at once.
    void LeaveControl();
    // While a ban suspends rcon: one challenge every kBanProbeSeconds.
    void ProbeBan();
    void ApplyReportedAddress(const std::string& address, std::int32_t port);

    StatusTableReader m_statusTable;

    // Current-protocol state: the last challenge the server gave for its
    // info and players queries, and which of the two went out last.
    std::optional<std::uint32_t> m_queryChallenge;
    bool m_bPlayersQueryLast = false;
    bool m_bRulesQueryLast = false;
    SplitReplies m_splitReplies;
    int m_nChallengeResends = 0;
    QueryDialect m_dialect;
    // The hash of the names the clans were last looked for in (0: never).
    std::uint64_t m_nClansInput = 0;
    RconChallenge m_rconChallenge;
    // Rcon has not worked since it was lost (or never has): the next
    // accepted command counts as regained.
    bool m_bRconLost = true;
    // Suspended by a ban: when the next challenge probe goes out.
    std::int64_t m_nBanProbeAt = 0;
    bool m_bBanProbing = false; // a probe went out and has no answer yet
};
