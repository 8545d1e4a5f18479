#include "park/ParkBans.h"

#include "objects/CHLServer.h"
#include "objects/RconCommandText.h"
#include "park/BanCommands.h"

#include <algorithm>

namespace {

bool underRcon(const CHLServer& server)
{
    return server.m_nStatus >= CSStatus_CONTROL && !server.RconSuspended() &&
           !server.m_strRconPassword.empty();
}

bool expired(const ParkBans::Ban& ban, std::int64_t now)
{
    return ban.expires != 0 && now >= ban.expires;
}

} // namespace

std::string BanScope::text() const
{
    switch (kind) {
    case Kind::Server:
        return "server " + label;
    case Kind::Group:
        return "group " + label;
    case Kind::Zone:
        return "zone " + label;
    case Kind::Park:
        return "park";
    }
    return "park";
}

std::optional<BanScope> BanScope::parse(const std::string& text)
{
    if (text == "park")
        return BanScope{Kind::Park, {}};
    const std::pair<const char*, Kind> kinds[] = {
        {"server ", Kind::Server}, {"group ", Kind::Group}, {"zone ", Kind::Zone}};
    for (const auto& [prefix, kind] : kinds) {
        const std::string head(prefix);
        if (text.size() > head.size() && text.compare(0, head.size(), head) == 0)
            return BanScope{kind, text.substr(head.size())};
    }
    return std::nullopt;
}

bool ParkBans::InScope(const BanScope& scope, const Member& member)
{
    switch (scope.kind) {
    case BanScope::Kind::Server:
        return member.name == scope.label;
    case BanScope::Kind::Group:
        return !member.group.empty() && member.group == scope.label;
    case BanScope::Kind::Zone:
        return !member.zone.empty() && member.zone == scope.label;
    case BanScope::Kind::Park:
        return true;
    }
    return false;
}

const char* ParkBans::StateText(State state)
{
    switch (state) {
    case State::Pending:
        return "pending";
    case State::Applied:
        return "applied";
    case State::Failed:
        return "failed";
    case State::Lifted:
        return "lifted";
    }
    return "pending";
}

std::optional<ParkBans::State> ParkBans::ParseState(const std::string& text)
{
    for (const State state : {State::Pending, State::Applied, State::Failed, State::Lifted}) {
        if (text == StateText(state))
            return state;
    }
    return std::nullopt;
}

std::vector<std::string> ParkBans::ApplyCommands(const Ban& ban, std::int64_t now, bool kick)
{
    // A term already running is given for what is left of it.
    std::int64_t minutes = ban.minutes;
    if (ban.expires != 0)
        minutes = std::max<std::int64_t>(1, (ban.expires - now + 59) / 60);
    if (ban.byIp) {
        const auto add = bancmd::addIp(minutes, ban.target);
        return add ? std::vector<std::string>{*add, bancmd::kWriteIp} : std::vector<std::string>{};
    }
    const auto id = bancmd::banId(minutes, ban.target, kick);
    return id ? std::vector<std::string>{*id, bancmd::kWriteId} : std::vector<std::string>{};
}

std::vector<std::string> ParkBans::LiftCommands(const Ban& ban)
{
    if (ban.byIp) {
        const auto remove = bancmd::removeIp(ban.target);
        return remove ? std::vector<std::string>{*remove, bancmd::kWriteIp} : std::vector<std::string>{};
    }
    const auto remove = bancmd::removeId(ban.target);
    return remove ? std::vector<std::string>{*remove, bancmd::kWriteId} : std::vector<std::string>{};
}

ParkBans::Ban* ParkBans::FindMutable(const std::string& key)
{
    const auto found =
        std::find_if(m_bans.begin(), m_bans.end(), [&](const Ban& ban) { return ban.key == key; });
    return found == m_bans.end() ? nullptr : &*found;
}

const ParkBans::Ban* ParkBans::Find(const std::string& key) const
{
    const auto found =
        std::find_if(m_bans.begin(), m_bans.end(), [&](const Ban& ban) { return ban.key == key; });
    return found == m_bans.end() ? nullptr : &*found;
}

void ParkBans::RecordBan(const Ban& ban)
{
    BanRecord record;
    record.key = ban.key;
    record.byIp = ban.byIp;
    record.target = ban.target;
    record.name = ban.name;
    record.osUser = ban.who;
    record.at = ban.at;
    record.reason = ban.reason;
    record.minutes = ban.minutes;
    record.expires = ban.expires;
    record.scope = ban.scope.text();
    record.liftedAt = ban.liftedAt;
    record.liftedBy = ban.liftedBy;
    m_records.emplace_back(std::move(record));
}

void ParkBans::SetState(Ban& ban, const std::string& server, State state, std::int64_t now)
{
    const auto found = ban.servers.find(server);
    if (found != ban.servers.end() && found->second == state)
        return;
    ban.servers[server] = state;
    m_records.emplace_back(BanServerRecord{ban.key, server, StateText(state), now});
    ++m_generation;
}

bool ParkBans::Add(Ban ban, const std::vector<Member>& members,
                   std::optional<std::pair<CHLServer*, int>> kick, std::int64_t now, std::vector<Sent>& sent,
                   std::string& error)
{
    if (!bancmd::isValidMinutes(ban.minutes)) {
        error = "A ban lasts from 0 (permanent) to " + std::to_string(bancmd::kMaxMinutes) + " minutes.";
        return false;
    }
    if (ban.byIp ? !bancmd::isBannableIp(ban.target) : !bancmd::isBannableId(ban.target)) {
        error = ban.byIp ? "Not banned: the address is not a dotted IPv4 address."
                         : "Not banned: the SteamID does not name one account.";
        return false;
    }
    if (m_bans.size() >= kMaxBans) {
        error = "Not banned: the park already keeps " + std::to_string(kMaxBans) + " bans.";
        return false;
    }
    ban.at = now;
    ban.expires = ban.minutes == 0 ? 0 : now + ban.minutes * 60;
    ban.liftedAt = 0;
    ban.key = std::to_string(now) + (ban.byIp ? " ip " : " id ") + ban.target + ' ' + ban.scope.text();
    // The same target banned twice in one second in one scope is one ban.
    if (Ban* same = FindMutable(ban.key))
        *same = Ban();
    m_bans.erase(std::remove_if(m_bans.begin(), m_bans.end(), [](const Ban& b) { return b.key.empty(); }),
                 m_bans.end());
    m_bans.push_back(std::move(ban));
    Ban& added = m_bans.back();
    RecordBan(added);
    ++m_generation;
    for (const Member& member : members) {
        if (!InScope(added.scope, member))
            continue;
        SetState(added, member.name, State::Pending, now);
        if (!underRcon(*member.server))
            continue;
        const bool kickHere = kick && kick->first == member.server;
        for (const std::string& command : ApplyCommands(added, now, !added.byIp)) {
            member.server->SendCommand(command);
            sent.push_back({member.server, command});
        }
        if (kickHere && added.byIp) {
            const std::string command = rconcmd::kickByUserId(kick->second);
            member.server->SendCommand(command);
            sent.push_back({member.server, command});
        }
        Sync& sync = m_sync[member.server];
        ++sync.attempts[added.key];
        sync.again = true;
    }
    return true;
}

bool ParkBans::Lift(const std::string& key, const std::string& who, const std::vector<Member>& members,
                    std::int64_t now, std::vector<Sent>& sent)
{
    Ban* ban = FindMutable(key);
    if (!ban || ban->lifted())
        return false;
    ban->liftedAt = now;
    ban->liftedBy = who;
    RecordBan(*ban);
    ++m_generation;
    for (const Member& member : members) {
        if (!InScope(ban->scope, member))
            continue;
        SetState(*ban, member.name, State::Pending, now);
        if (!underRcon(*member.server))
            continue;
        for (const std::string& command : LiftCommands(*ban)) {
            member.server->SendCommand(command);
            sent.push_back({member.server, command});
        }
        Sync& sync = m_sync[member.server];
        sync.attempts[ban->key] = 1;
        sync.again = true;
    }
    return true;
}

void ParkBans::Load(const std::vector<LedgerBans::Ban>& kept, std::int64_t now)
{
    for (const LedgerBans::Ban& row : kept) {
        const BanRecord& record = row.ban;
        const auto scope = BanScope::parse(record.scope);
        if (!scope || record.key.empty() || Find(record.key) || m_bans.size() >= kMaxBans)
            continue;
        // Only what could have been banned from here is carried to servers.
        if (record.byIp ? !bancmd::isBannableIp(record.target) : !bancmd::isBannableId(record.target))
            continue;
        Ban ban;
        ban.key = record.key;
        ban.byIp = record.byIp;
        ban.target = record.target;
        ban.name = record.name;
        ban.who = record.osUser;
        ban.at = record.at;
        ban.reason = record.reason;
        ban.minutes = record.minutes;
        ban.expires = record.expires;
        ban.scope = *scope;
        ban.liftedAt = record.liftedAt;
        ban.liftedBy = record.liftedBy;
        for (const BanServerRecord& server : row.servers) {
            if (const auto state = ParseState(server.state))
                ban.servers[server.server] = *state;
        }
        if (expired(ban, now))
            continue;
        m_bans.push_back(std::move(ban));
        ++m_generation;
    }
    // Every server is compared again with what came.
    for (auto& [object, sync] : m_sync)
        sync.again = true;
}

void ParkBans::Tick(const std::vector<Member>& members, std::int64_t now)
{
    const auto before = m_bans.size();
    m_bans.erase(std::remove_if(m_bans.begin(), m_bans.end(),
                                [now](const Ban& ban) {
                                    return expired(ban, now) ||
                                           (ban.lifted() && now - ban.liftedAt > kKeepLiftedSeconds);
                                }),
                 m_bans.end());
    if (m_bans.size() != before)
        ++m_generation;
    for (const Member& member : members) {
        Sync& sync = m_sync[member.server];
        bool concerned = false;
        for (Ban& ban : m_bans) {
            if (!InScope(ban.scope, member))
                continue;
            concerned = true;
            if (!ban.servers.count(member.name))
                SetState(ban, member.name, State::Pending, now);
        }
        CHLServer& server = *member.server;
        if (!concerned || !underRcon(server)) {
            // Nothing to compare: whenever one comes, rcon's state is the news.
            if (!concerned && underRcon(server)) {
                sync.gains = server.RconGains();
                sync.seen = true;
            }
            sync.listing = false;
            continue;
        }
        if (sync.listing) {
            const BanListReader& lists = server.m_banLists;
            const bool whole = lists.idsComplete() && lists.sawIps() && now - sync.askedAt >= 1;
            if (whole) {
                sync.listing = false;
                Reconcile(member, sync, now);
            } else if (now - sync.askedAt >= kListSeconds) {
                sync.listing = false;
                if (lists.sawIds() && lists.sawIps()) {
                    // Both answered, one entry short (a line cut between
                    // datagrams): what is there is compared; a ban given
                    // again is harmless.
                    Reconcile(member, sync, now);
                } else {
                    sync.retryAt = now + kRetrySeconds;
                    sync.again = true;
                }
            }
            continue;
        }
        const bool regained = !sync.seen || sync.gains != server.RconGains();
        if ((regained || sync.again) && now >= sync.retryAt && server.RequestBanLists()) {
            // A server taken back under rcon (restarted, its list emptied) is given its failed bans again.
            if (regained)
                sync.attempts.clear();
            sync.gains = server.RconGains();
            sync.seen = true;
            sync.again = false;
            sync.listing = true;
            sync.askedAt = now;
        }
    }
}

void ParkBans::Reconcile(const Member& member, Sync& sync, std::int64_t now)
{
    const BanListReader& lists = member.server->m_banLists;
    for (Ban& ban : m_bans) {
        if (!InScope(ban.scope, member))
            continue;
        const auto& listed = ban.byIp ? lists.ips() : lists.ids();
        const bool present = listed.count(ban.target) > 0;
        int& attempts = sync.attempts[ban.key];
        const bool wanted = !ban.lifted();
        if (present == wanted) {
            SetState(ban, member.name, wanted ? State::Applied : State::Lifted, now);
            attempts = 0;
            continue;
        }
        // A list cut at the reader's bound proves nothing absent.
        if (wanted && lists.truncated())
            continue;
        if (attempts >= kMaxAttempts) {
            SetState(ban, member.name, State::Failed, now);
            continue;
        }
        ++attempts;
        for (const std::string& command : wanted ? ApplyCommands(ban, now, false) : LiftCommands(ban))
            member.server->SendCommand(command);
        SetState(ban, member.name, State::Pending, now);
        sync.again = true;
    }
}

void ParkBans::Forget(const CCommonObject& object)
{
    m_sync.erase(&object);
}

std::vector<LedgerRecord> ParkBans::TakeRecords()
{
    std::vector<LedgerRecord> records;
    records.swap(m_records);
    return records;
}
