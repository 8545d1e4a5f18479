// The document's side of the park's bans: who is in a scope, the requests
// from the window, the sync once a second, the ledger, and refused rcon
// commands counted into attacks.
#include "layout/CQuorvaneDoc.h"

#include "core/Clock.h"
#include "core/Operator.h"
#include "ledger/Ledger.h"
#include "objects/CHLServer.h"
#include "park/BanCommands.h"

#include <chrono>

std::vector<ParkBans::Member> CQuorvaneDoc::BanMembers() const
{
    std::vector<ParkBans::Member> members;
    for (const auto& object : m_objects) {
        auto* server = dynamic_cast<CHLServer*>(object.get());
        if (!server || !object->IsGameServer() || object->CanRecord())
            continue;
        ParkBans::Member member;
        member.server = server;
        member.name = object->GetName();
        if (const CGroup* group = object->m_pGroup.get()) {
            member.group = GroupLabel(*group);
            if (group->m_pZone)
                member.zone = group->m_pZone->m_strName;
        }
        members.push_back(std::move(member));
    }
    return members;
}

bool CQuorvaneDoc::BanPlayer(CCommonObject& object, const BanRequest& request)
{
    auto* server = dynamic_cast<CHLServer*>(&object);
    if (!server)
        return false;
    ParkBans::Ban ban;
    ban.byIp = !bancmd::isBannableId(request.steamId);
    ban.target = ban.byIp ? request.ip : request.steamId;
    if (ban.byIp && !request.userId) {
        m_context.op->showMessage("Not banned: the player has no SteamID of his own, and the server's status "
                                  "has not given his userid and address yet.");
        return false;
    }
    ban.name = request.name;
    ban.who = LedgerFeed::OsUser();
    ban.reason = request.reason;
    ban.minutes = request.minutes;
    ban.scope.kind = request.scope;
    const CGroup* group = object.m_pGroup.get();
    switch (request.scope) {
    case BanScope::Kind::Server:
        ban.scope.label = object.GetName();
        break;
    case BanScope::Kind::Group:
        if (!group)
            return false;
        ban.scope.label = GroupLabel(*group);
        break;
    case BanScope::Kind::Zone:
        if (!group || !group->m_pZone)
            return false;
        ban.scope.label = group->m_pZone->m_strName;
        break;
    case BanScope::Kind::Park:
        break;
    }
    std::optional<std::pair<CHLServer*, int>> kick;
    if (request.userId)
        kick = std::make_pair(server, *request.userId);
    std::vector<ParkBans::Sent> sent;
    std::string error;
    bool added = false;
    {
        const OperatorTrail::Act act(m_trail);
        added =
            m_parkConsole.bans.Add(std::move(ban), BanMembers(), kick, m_context.clock->now(), sent, error);
    }
    if (!added)
        m_context.op->showMessage(error);
    RecordBans();
    return added;
}

bool CQuorvaneDoc::BanAddressOnPark(const std::string& ip, std::int64_t minutes, const std::string& reason)
{
    ParkBans::Ban ban;
    ban.byIp = true;
    ban.target = ip;
    ban.who = LedgerFeed::OsUser();
    ban.reason = reason;
    ban.minutes = minutes;
    ban.scope = BanScope{BanScope::Kind::Park, {}};
    std::vector<ParkBans::Sent> sent;
    std::string error;
    bool added = false;
    {
        const OperatorTrail::Act act(m_trail);
        added = m_parkConsole.bans.Add(std::move(ban), BanMembers(), std::nullopt, m_context.clock->now(),
                                       sent, error);
    }
    if (!added)
        m_context.op->showMessage(error);
    RecordBans();
    return added;
}

bool CQuorvaneDoc::Unban(const std::string& key)
{
    std::vector<ParkBans::Sent> sent;
    bool lifted = false;
    {
        const OperatorTrail::Act act(m_trail);
        lifted =
            m_parkConsole.bans.Lift(key, LedgerFeed::OsUser(), BanMembers(), m_context.clock->now(), sent);
    }
    RecordBans();
    return lifted;
}

void CQuorvaneDoc::TickBans()
{
    if (m_bansLoading.valid() && m_bansLoading.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        m_parkConsole.bans.Load(m_bansLoading.get(), m_context.clock->now());
    // Without bans nothing is compared: a server met first when one comes
    // is listed then.
    if (m_parkConsole.bans.bans().empty())
        return;
    m_parkConsole.bans.Tick(BanMembers(), m_context.clock->now());
    RecordBans();
}

void CQuorvaneDoc::RecordBans()
{
    std::vector<LedgerRecord> records = m_parkConsole.bans.TakeRecords();
    if (!m_pLedger)
        return;
    for (LedgerRecord& record : records)
        m_pLedger->record(std::move(record));
}

void CQuorvaneDoc::NoteRefusedRcon(const std::string& objectName, const std::string& source)
{
    RconAttacks& attacks = m_parkConsole.attacks;
    if (attacks.Record(objectName, source, m_context.clock->now()))
        emit rconAttack(attacks.alerts().back());
}
