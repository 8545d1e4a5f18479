#include "layout/CQuorvaneDoc.h"

#include "core/Clock.h"
#include "core/Operator.h"
#include "core/RandomSource.h"
#include "layout/CommandIds.h"
#include "objects/CHLTV.h"

#include <algorithm>
#include <optional>

namespace {

constexpr std::int32_t kMinLevel = 1;
constexpr std::int32_t kMaxLevel = 5;

template <class List, class T> std::optional<std::size_t> indexOf(const List& list, const T* item)
{
    const auto found =
        std::find_if(list.begin(), list.end(), [item](const auto& owned) { return owned.get() == item; });
    if (found == list.end())
        return std::nullopt;
    return static_cast<std::size_t>(found - list.begin());
}

// Moves the element at `from` to stand just before (moving up) or just after
// (moving down) the element at `to`.
template <class List> void moveNextTo(List& list, std::size_t from, std::size_t to)
{
    const auto first = list.begin();
    if (to < from)
        std::rotate(first + static_cast<std::ptrdiff_t>(to), first + static_cast<std::ptrdiff_t>(from),
                    first + static_cast<std::ptrdiff_t>(from) + 1);
    else if (to > from)
        std::rotate(first + static_cast<std::ptrdiff_t>(from), first + static_cast<std::ptrdiff_t>(from) + 1,
                    first + static_cast<std::ptrdiff_t>(to) + 1);
}

// From `from`, the nearest index towards the head (direction -1) or the tail
// (+1) whose element satisfies isSibling.
template <class List, class Pred>
std::optional<std::size_t> nearestSibling(const List& list, std::size_t from, int direction, Pred isSibling)
{
    for (auto i = static_cast<std::ptrdiff_t>(from) + direction;
         i >= 0 && i < static_cast<std::ptrdiff_t>(list.size()); i += direction) {
        if (isSibling(*list[static_cast<std::size_t>(i)]))
            return static_cast<std::size_t>(i);
    }
    return std::nullopt;
}

template <class List> void moveToTail(List& list, std::size_t index)
{
    moveNextTo(list, index, list.size() - 1);
}

} // namespace

CQuorvaneDoc::CQuorvaneDoc(const CoreContext& context, QObject* parent)
    : QObject(parent), m_context(context), m_trail(*context.clock), m_ftpMessages(*context.op),
      m_demoCollector(m_demoTransfers, *context.clock)
{
    connect(&m_feeds, &LiveFeeds::rconRefused, this,
            [this](const std::string& name, const RefusedRcon& source) {
                NoteRefusedRcon(name, source.address);
            });
    m_ftpJobs.SetReporter(m_ftpMessages.reporter());
    m_ftpJobs.Start();
    m_demoTransfers.Start();
    m_trail.SetListener(
        [this](CCommonObject& object, const std::string& command) { NoteCommand(object, command); });
}

CQuorvaneDoc::~CQuorvaneDoc()
{
    // An upload under way is aborted and the pages still queued dropped:
    // the program ends at once, however stuck the FTP server.
    m_ftpJobs.Stop();
    m_demoTransfers.Stop();
}

void CQuorvaneDoc::TickAutoWeb()
{
    m_moduleAutoWeb.Tick(*this);
}

void CQuorvaneDoc::UploadAutoWebNow(const CModuleAutoWeb::Target& target)
{
    m_moduleAutoWeb.UploadNow(*this, target);
}

bool CQuorvaneDoc::OnNewDocument()
{
    m_context.random->seed(static_cast<std::uint32_t>(m_context.clock->now()));
    DeleteContents();

    AddZone("LAN Local", 1);
    AddZone("Internet", 2);
    AddGroup("Servers", m_zones.front().get(), 1);
    AddGroup("HLTV Local", m_zones.front().get(), 2);
    AddGroup("HLTV Internet", m_zones.back().get(), 1);

    m_pSelectedZone = nullptr;
    m_pSelectedObject = nullptr;
    m_nTick = 0;
    // A new layout publishes nothing until asked; the other module
    // settings stay as they were.
    m_moduleAutoWeb.m_bEnabled = 0;
    return true;
}

void CQuorvaneDoc::DeleteContents()
{
    if (m_ledgerFeed)
        m_ledgerFeed->ForgetAll(m_context.clock->now());
    m_pSelectedObject = nullptr;
    m_pSelectedZone = nullptr;
    m_parkConsole.ForgetAll();
    // Commands hold deleted objects and point at the ones listed.
    m_undoStack.clear();
    m_streamWatch.clear();
    m_objects.clear();
    m_groups.clear();
    m_zones.clear();
}

CZone* CQuorvaneDoc::AddZone(std::string name, std::int32_t level)
{
    auto zone = std::make_unique<CZone>();
    zone->m_nLevel = level;
    zone->m_strName = std::move(name);
    zone->m_crFill = ZoneColorForLevel(level);
    CZone* added = zone.get();
    m_zones.push_back(std::move(zone));
    MarkChanged(HintAdded);
    return added;
}

CGroup* CQuorvaneDoc::AddGroup(std::string name, CZone* zone, std::int32_t level)
{
    auto group = std::make_unique<CGroup>();
    group->m_strName = std::move(name);
    group->m_nLevel = level;
    group->m_pZone = zone;
    CGroup* added = group.get();
    m_groups.push_back(std::move(group));
    MarkChanged(HintAdded);
    return added;
}

ColorRef CQuorvaneDoc::ZoneColorForLevel(std::int32_t level)
{
    switch (((level % 3) + 3) % 3) {
    case 0:
        return rgbColor(190, 255, 190);
    case 1:
        return rgbColor(255, 255, 190);
    default:
        return rgbColor(190, 190, 255);
    }
}

CCommonObject* CQuorvaneDoc::FindObject(const std::string& address, std::int32_t port) const
{
    // "address:port" strings are equal exactly when both parts are (the
    // port's digits hold no colon): compare the parts, without building a
    // string per object.
    for (const auto& object : m_objects) {
        if (object->m_nPort == port && object->m_strAddress == address)
            return object.get();
    }
    return nullptr;
}

CCommonObject* CQuorvaneDoc::AddCreatedObject(std::unique_ptr<CCommonObject> object, int hint)
{
    CCommonObject* added = object.get();
    m_objects.push_back(std::move(object));
    added->OpenChannel();
    MarkChanged(hint);
    return added;
}

void CQuorvaneDoc::TickSecond()
{
    TickSlice(0, 1);
}

void CQuorvaneDoc::TickSlice(int slice, int slices)
{
    // The polls are the program's own, also when the tick runs inside a
    // box the operator has open.
    const CCommonObject::UnwatchedScope unwatched;
    // Index-based: a tick may not add or remove objects, but keep the walk
    // safe should one ever do so.
    const std::size_t count = m_objects.size();
    const auto bound = [&](int part) {
        return count * static_cast<std::size_t>(part) / static_cast<std::size_t>(slices);
    };
    // One index of the park's names serves every slice of a relinking
    // second (built at its first use: 2,000 names cost a slice's worth of
    // time); made again should an object come, go or change address meanwhile.
    if (m_nTick == 5 && (!m_relinkNames || m_nRelinkGeneration != CCommonObject::AddressGeneration())) {
        m_relinkNames.emplace(*this);
        m_nRelinkGeneration = CCommonObject::AddressGeneration();
    }
    for (std::size_t i = bound(slice); i < bound(slice + 1) && i < m_objects.size(); ++i) {
        CCommonObject& object = *m_objects[i];
        object.Tick();
        if (m_nTick == 5)
            RelinkStep(object, *m_relinkNames);
    }
    SampleHistory(bound(slice), bound(slice + 1), slice, slices);
    // The ledger's feed walks the park in slices of its own in the middle of
    // the second, away from the once-a-second work of the last one.
    const int feedParts = std::min(kLedgerFeedSlices, slices);
    const int firstFeedSlice = (slices - feedParts) / 2;
    if (m_ledgerFeed && slice >= firstFeedSlice && slice < firstFeedSlice + feedParts)
        m_ledgerFeed->Tick(m_objects, m_context.clock->now(), slice - firstFeedSlice, feedParts);
    if (slice + 1 < slices)
        return;
    m_relinkNames.reset(); // what machines report of themselves may change by the next
    m_nTick = (m_nTick + 1) % 6;
    TickRelay();
    WatchDown();
    UpdateFeeds();
    WatchStreams();
    TickUptime();
    m_parkConsole.Tick(m_context.clock->now());
    TickBans();
    for (const CModuleAutoWeb::Notice& notice : m_moduleAutoWeb.CollectOutcomes(m_context.clock->now()))
        emit autoWebNotice(QString::fromStdString(notice.text), notice.outageBegins);
    TickDemos();
    UpdateAllViews(HintTick);
}

void CQuorvaneDoc::WatchDown()
{
    const TroubleCount before = m_downWatch.Count();
    const auto burst = m_downWatch.Update(m_objects, m_context.clock->now());
    if (!(m_downWatch.Count() == before))
        emit troubleChanged(m_downWatch.Count());
    if (burst)
        emit downBurst(*burst);
}

bool CQuorvaneDoc::OnCommand(int id)
{
    switch (id) {
    case ID_LAYOUT_ADDZONE:
        OnAddZone();
        return true;
    case ID_LAYOUT_ADDGROUP:
        OnAddGroup();
        return true;
    case ID_ZONE_DELETE:
        OnDeleteZone();
        return true;
    case ID_ZONE_INCREASELAYER:
        OnIncreaseLayer();
        return true;
    case ID_ZONE_DECREASELAYER:
        OnDecreaseLayer();
        return true;
    case ID_ZONE_MOVEUP:
        OnMoveZoneUp();
        return true;
    case ID_ZONE_MOVEDOWN:
        OnMoveZoneDown();
        return true;
    case ID_ZONE_PROPERTIES:
        OnRenameZone();
        return true;
    case ID_OBJECT_DELETE:
    case ID_HLTV_DELETE:
        OnDeleteObject();
        return true;
    case ID_OBJECT_MOVEUP:
    case ID_HLTV_MOVEUP:
        OnMoveObjectUp();
        return true;
    case ID_OBJECT_MOVEDOWN:
    case ID_HLTV_MOVEDOWN:
        OnMoveObjectDown();
        return true;
    case ID_OBJECTS_ADDSERVER:
        OnAddServer();
        return true;
    case ID_OBJECTS_ADDHLTV:
        OnAddProxy();
        return true;
    case ID_OBJECTS_ADDHUBMANAGER:
        OnAddHubManager();
        return true;
    case ID_OBJECTS_ADDSERVERRANGE:
        OnAddServerRange();
        return true;
    case ID_OBJECTS_ADDHLTVRANGE:
        OnAddProxyRange();
        return true;
    case ID_OBJECT_PROPERTIES:
        OnServerProperties();
        return true;
    case ID_HLTV_PROPERTIES:
        OnProxyProperties();
        return true;
    case ID_HLTV_SERVERPASSWORD:
        OnProxyServerPassword();
        return true;
    case ID_HLTV_SPECPASSWORD:
        OnProxySpecPassword();
        return true;
    case ID_HLTV_PROXYPASSWORD:
        OnProxyProxyPassword();
        return true;
    case ID_HLTV_RCONPASSWORD:
        OnProxyRconPassword();
        return true;
    case ID_HLTV_DISCONNECT:
        OnProxyDisconnect();
        return true;
    case ID_HLTV_RECONNECTNOW:
        if (auto* proxy = dynamic_cast<CHLTV*>(m_pSelectedObject))
            ReconnectNow(*proxy);
        return true;
    case ID_HLTV_RECONNECTAUTO:
        if (auto* proxy = dynamic_cast<CHLTV*>(m_pSelectedObject))
            SetReconnectAuto(*proxy, !proxy->m_bReconnectAuto);
        return true;
    case ID_MODULES_AUTOWEB:
        OnAutoWebSettings();
        return true;
    case ID_MODULES_ADMINBOT:
        OnAdminBotSettings();
        return true;
    case ID_OBJECT_STREAMLOGS:
    case ID_OBJECT_STOPSTREAMING:
        if (CCommonObject* object = m_pSelectedObject; object && CanStreamLogs(*object)) {
            std::string error;
            bool streamed = false;
            {
                const OperatorTrail::Act act(m_trail);
                streamed = StreamLogs(*object, id == ID_OBJECT_STREAMLOGS, error);
            }
            if (!streamed)
                m_context.op->showMessage(error);
        }
        return true;
    default:
        return false;
    }
}

void CQuorvaneDoc::OnAddZone()
{
    std::int32_t highest = 0;
    for (const auto& zone : m_zones)
        highest = std::max(highest, zone->m_nLevel);

    const auto answer = m_context.op->askAddZone({highest});
    if (!answer)
        return;
    AddZone(answer->name, answer->levelIndex + 1);
}

void CQuorvaneDoc::OnAddGroup()
{
    if (m_zones.empty()) {
        m_context.op->showMessage("You must define at least one Zone before any group creation");
        return;
    }
    AddGroupRequest request;
    for (const auto& zone : m_zones)
        request.zoneNames.push_back(zone->m_strName);

    const auto answer = m_context.op->askAddGroup(request);
    if (!answer || answer->zoneIndex < 0 || answer->zoneIndex >= static_cast<int>(m_zones.size()))
        return;
    AddGroup(answer->name, m_zones[static_cast<std::size_t>(answer->zoneIndex)].get(),
             answer->levelIndex + 1);
}

void CQuorvaneDoc::OnDeleteZone()
{
    CZone* target = m_pSelectedZone;
    if (!target)
        return;

    if (const auto index = indexOf(m_groups, target)) {
        const bool holdsObjects =
            std::any_of(m_objects.begin(), m_objects.end(),
                        [target](const auto& object) { return object->m_pGroup == target; });
        if (holdsObjects) {
            m_context.op->showMessage("Cannot delete a Zone/Group that is not empty");
        } else {
            m_groups.erase(m_groups.begin() + static_cast<std::ptrdiff_t>(*index));
            m_pSelectedZone = nullptr;
        }
    } else if (const auto zoneIndex = indexOf(m_zones, target)) {
        const bool holdsGroups = std::any_of(m_groups.begin(), m_groups.end(), [target](const auto& group) {
            return group->m_pZone == target;
        });
        if (holdsGroups) {
            m_context.op->showMessage("Cannot delete a Zone/Group that is not empty");
        } else {
            m_zones.erase(m_zones.begin() + static_cast<std::ptrdiff_t>(*zoneIndex));
            m_pSelectedZone = nullptr;
        }
    }
    MarkChanged(HintLayout);
}

void CQuorvaneDoc::OnIncreaseLayer()
{
    ChangeLayer(+1);
}

void CQuorvaneDoc::OnDecreaseLayer()
{
    ChangeLayer(-1);
}

void CQuorvaneDoc::ChangeLayer(int step)
{
    CZone* target = m_pSelectedZone;
    if (!target)
        return;
    const std::int32_t level = target->m_nLevel + step;
    if (level >= kMinLevel && level <= kMaxLevel) {
        target->m_nLevel = level;
        // A changed level puts the target behind the others of its list.
        if (const auto index = indexOf(m_groups, target))
            moveToTail(m_groups, *index);
        else if (const auto zoneIndex = indexOf(m_zones, target))
            moveToTail(m_zones, *zoneIndex);
    }
    MarkChanged(HintLayout);
}

void CQuorvaneDoc::OnMoveZoneUp()
{
    MoveZone(-1);
}

void CQuorvaneDoc::OnMoveZoneDown()
{
    MoveZone(+1);
}

void CQuorvaneDoc::MoveZone(int direction)
{
    CZone* target = m_pSelectedZone;
    if (!target)
        return;
    if (const auto index = indexOf(m_zones, target)) {
        const auto sibling = nearestSibling(m_zones, *index, direction, [target](const CZone& zone) {
            return zone.m_nLevel == target->m_nLevel;
        });
        if (sibling)
            moveNextTo(m_zones, *index, *sibling);
    } else if (const auto groupIndex = indexOf(m_groups, target)) {
        const CGroup& group = *m_groups[*groupIndex];
        const auto sibling = nearestSibling(m_groups, *groupIndex, direction, [&group](const CGroup& other) {
            return other.m_nLevel == group.m_nLevel && other.m_pZone == group.m_pZone;
        });
        if (sibling)
            moveNextTo(m_groups, *groupIndex, *sibling);
    }
    MarkChanged(HintLayout);
}

void CQuorvaneDoc::OnRenameZone()
{
    CZone* target = m_pSelectedZone;
    if (!target)
        return;
    const auto name = m_context.op->promptLine("Enter new name", target->m_strName);
    if (!name)
        return;
    target->m_strName = *name;
    MarkChanged(HintLayout);
}

void CQuorvaneDoc::OnDeleteObject()
{
    CCommonObject* target = m_pSelectedObject;
    if (!target)
        return;
    const auto index = indexOf(m_objects, target);
    if (!index)
        return;
    ClearLinksTo(*target);
    m_feeds.forget(target->GetName());
    m_streamWatch.stop(target->GetName());
    m_objects.erase(m_objects.begin() + static_cast<std::ptrdiff_t>(*index));
    m_pSelectedObject = nullptr;
    MarkChanged(HintLayout);
}

void CQuorvaneDoc::OnMoveObjectUp()
{
    MoveObject(-1);
}

void CQuorvaneDoc::OnMoveObjectDown()
{
    MoveObject(+1);
}

void CQuorvaneDoc::MoveObject(int direction)
{
    CCommonObject* target = m_pSelectedObject;
    if (!target)
        return;
    const auto index = indexOf(m_objects, target);
    if (!index)
        return;
    const auto sibling = nearestSibling(m_objects, *index, direction, [target](const CCommonObject& other) {
        return other.m_pGroup == target->m_pGroup;
    });
    if (sibling)
        moveNextTo(m_objects, *index, *sibling);
    MarkChanged(HintAdded);
}

void CQuorvaneDoc::SetSelection(CZone* zone, CCommonObject* object)
{
    m_pSelectedZone = zone;
    m_pSelectedObject = object;
}

void CQuorvaneDoc::SetModifiedFlag(bool modified)
{
    if (m_bModified == modified)
        return;
    m_bModified = modified;
    emit modifiedChanged(modified);
}

void CQuorvaneDoc::MarkChanged(int hint)
{
    SetModifiedFlag();
    UpdateAllViews(hint);
}

void CQuorvaneDoc::UpdateAllViews(int hint)
{
    emit viewsUpdated(hint);
}

void CQuorvaneDoc::OnAutoWebSettings()
{
    CModuleAutoWeb& module = m_moduleAutoWeb;
    AutoWebValues current;
    current.enabled = module.m_bEnabled != 0;
    current.ftpServer = module.m_strFtpServer;
    current.login = module.m_strLogin;
    current.password = module.m_strPassword;
    current.remoteFile = module.m_strRemoteFile;
    current.updateInterval = module.m_nUpdateInterval;
    current.lastUpload = [&module] { return module.LastUploadText(); };
    current.uploadNow = [this](const AutoWebValues& typed) {
        UploadAutoWebNow({typed.ftpServer, typed.login, typed.password, typed.remoteFile});
    };
    const auto values = m_context.op->askAutoWeb(current);
    if (!values)
        return;
    module.m_bEnabled = values->enabled ? 1 : 0;
    module.m_strFtpServer = values->ftpServer;
    module.m_strLogin = values->login;
    module.m_strPassword = values->password;
    module.m_strRemoteFile = values->remoteFile;
    module.m_nUpdateInterval = values->updateInterval;
    SetModifiedFlag();
}

void CQuorvaneDoc::OnAdminBotSettings()
{
    const auto enabled = m_context.op->askAdminBot(m_moduleAdminBot.m_bEnabled != 0);
    if (!enabled)
        return;
    m_moduleAdminBot.m_bEnabled = *enabled ? 1 : 0;
    MarkChanged(HintLayout);
}
