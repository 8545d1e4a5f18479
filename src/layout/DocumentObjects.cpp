// The document's commands that create objects and edit their properties.
#include "layout/CQuorvaneDoc.h"

#include "core/HostAddress.h"
#include "core/Operator.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"

#include <array>
#include <cstdio>

namespace {

// A new object of kind T with the four values every object is made with.
template <class T>
std::unique_ptr<T> makeObject(const CoreContext& context, const std::string& address, std::int32_t port,
                              CGroup* group, const std::string& rconPassword)
{
    auto object = std::make_unique<T>(context);
    object->m_strAddress = address;
    object->m_nPort = port;
    object->m_pGroup = group;
    object->m_strRconPassword = rconPassword;
    return object;
}

constexpr const char* kPortRangeRefusal = "The port must be a number from 1 to 65535.";

// Ranges above this many objects are made only when the operator confirms.
constexpr std::uint64_t kRangeConfirmAbove = 1024;

// Takes "host:port" typed into the address field apart (its port replaces
// the port field's); false, after telling the operator, when the address
// cannot be used, so that no object is made of it.
bool takeTypedAddress(Operator& op, std::string& address, std::uint32_t& port)
{
    address::HostAndPort typed = address::splitHostPort(address);
    if (!address::isUsableHost(typed.host)) {
        op.showMessage(address::kUnusableMessage);
        return false;
    }
    address = std::move(typed.host);
    if (typed.port)
        port = *typed.port;
    return true;
}

} // namespace

std::string CQuorvaneDoc::GroupLabel(const CGroup& group)
{
    return (group.m_pZone ? group.m_pZone->m_strName : std::string()) + "/" + group.m_strName;
}

std::vector<std::string> CQuorvaneDoc::GroupLabels() const
{
    std::vector<std::string> labels;
    labels.reserve(m_groups.size());
    for (const auto& group : m_groups)
        labels.push_back(GroupLabel(*group));
    return labels;
}

CGroup* CQuorvaneDoc::GroupAt(int index) const
{
    if (index < 0 || index >= static_cast<int>(m_groups.size()))
        return nullptr;
    return m_groups[static_cast<std::size_t>(index)].get();
}

std::string CQuorvaneDoc::PreselectedGroupLabel() const
{
    for (const auto& group : m_groups) {
        if (group.get() == m_pSelectedZone)
            return GroupLabel(*group);
    }
    return {};
}

std::string CQuorvaneDoc::DuplicateMessage(const CCommonObject& holder)
{
    const CGroup* group = holder.m_pGroup;
    const CZone* zone = group ? group->m_pZone : nullptr;
    return "This Object already exists\nGroup : " + (group ? group->m_strName : std::string()) +
           "\nZone : " + (zone ? zone->m_strName : std::string());
}

bool CQuorvaneDoc::RefuseDuplicate(const std::string& address, std::int32_t port)
{
    const CCommonObject* existing = FindObject(address, port);
    if (!existing)
        return false;
    m_context.op->showMessage(DuplicateMessage(*existing));
    return true;
}

CCommonObject* CQuorvaneDoc::AddServer(const std::string& address, std::int32_t port,
                                       const std::string& rconPassword, CGroup* group)
{
    if (RefuseDuplicate(address, port))
        return nullptr;
    return AddCreatedObject(makeObject<CHLServer>(m_context, address, port, group, rconPassword), HintLayout);
}

CCommonObject* CQuorvaneDoc::AddProxy(const std::string& address, std::int32_t port, CGroup* group,
                                      const std::string& rconPassword, const std::string& proxyPassword,
                                      const std::string& externalAddress, std::int32_t externalPort,
                                      bool exportWeb, bool autoRecord)
{
    if (RefuseDuplicate(address, port))
        return nullptr;
    auto proxy = makeObject<CHLTV>(m_context, address, port, group, rconPassword);
    proxy->m_strProxyPassword = proxyPassword;
    proxy->m_strExternalAddress = externalAddress;
    proxy->m_nExternalPort = externalPort;
    proxy->m_bExportWeb = exportWeb;
    proxy->m_bAutoRecord = autoRecord;
    return AddCreatedObject(std::move(proxy), HintLayout);
}

CCommonObject* CQuorvaneDoc::AddHubManager(const std::string& address, std::int32_t port,
                                           const std::string& rconPassword, CGroup* group)
{
    if (RefuseDuplicate(address, port))
        return nullptr;
    return AddCreatedObject(makeObject<CGTV>(m_context, address, port, group, rconPassword), HintLayout);
}

CCommonObject* CQuorvaneDoc::AddObject(int type, const std::string& rconPassword, const std::string& address,
                                       std::int32_t port, CGroup* group)
{
    if (RefuseDuplicate(address, port))
        return nullptr;
    std::unique_ptr<CCommonObject> object;
    if (type == 0 || type == 2)
        object = std::make_unique<CHLServer>(m_context);
    else if (type == 1)
        object = std::make_unique<CHLTV>(m_context);
    if (!object) {
        MarkChanged(HintAdded);
        return nullptr;
    }
    object->m_strAddress = address;
    object->m_nPort = port;
    object->m_pGroup = group;
    object->m_strRconPassword = rconPassword;
    return AddCreatedObject(std::move(object), HintAdded);
}

void CQuorvaneDoc::OnAddServer()
{
    ObjectDialogRequest request;
    request.serverMode = true;
    request.values.address = m_strLastAddress;
    request.values.port = 27015;
    request.groupLabels = GroupLabels();
    request.preselectLabel = PreselectedGroupLabel();
    auto answer = m_context.op->askObject(request);
    if (!answer || !GroupAt(answer->groupIndex) ||
        !takeTypedAddress(*m_context.op, answer->address, answer->port))
        return;
    m_strLastAddress = answer->address;
    AddServer(answer->address, static_cast<std::int32_t>(answer->port), answer->rconPassword,
              GroupAt(answer->groupIndex));
}

void CQuorvaneDoc::OnAddProxy()
{
    ObjectDialogRequest request;
    request.values.address = request.values.externalAddress = m_strLastAddress;
    request.values.port = request.values.externalPort = 27020;
    request.values.exportWeb = true;
    request.groupLabels = GroupLabels();
    request.preselectLabel = PreselectedGroupLabel();
    request.autoRecordEnabled = m_moduleAdminBot.m_bEnabled != 0;
    auto answer = m_context.op->askObject(request);
    if (!answer || !GroupAt(answer->groupIndex) ||
        !takeTypedAddress(*m_context.op, answer->address, answer->port))
        return;
    if (!answer->useExternalAddress) {
        answer->externalAddress = answer->address;
        answer->externalPort = answer->port;
    }
    m_strLastAddress = answer->address;
    AddProxy(answer->address, static_cast<std::int32_t>(answer->port), GroupAt(answer->groupIndex),
             answer->rconPassword, answer->proxyPassword, answer->externalAddress,
             static_cast<std::int32_t>(answer->externalPort), answer->exportWeb, answer->autoRecord);
}

void CQuorvaneDoc::OnAddHubManager()
{
    ObjectDialogRequest request;
    request.serverMode = true; // address, port, group and rcon password, as for a server
    request.values.address = m_strLastAddress;
    request.values.port = kHubManagerPort;
    request.groupLabels = GroupLabels();
    request.preselectLabel = PreselectedGroupLabel();
    auto answer = m_context.op->askObject(request);
    if (!answer || !GroupAt(answer->groupIndex) ||
        !takeTypedAddress(*m_context.op, answer->address, answer->port))
        return;
    m_strLastAddress = answer->address;
    AddHubManager(answer->address, static_cast<std::int32_t>(answer->port), answer->rconPassword,
                  GroupAt(answer->groupIndex));
}

void CQuorvaneDoc::OnAddServerRange()
{
    AddRange(false);
}

void CQuorvaneDoc::OnAddProxyRange()
{
    AddRange(true);
}

void CQuorvaneDoc::AddRange(bool proxyCommand)
{
    RangeDialogRequest request;
    std::array<int, 4> bytes{};
    if (std::sscanf(m_strLastAddress.c_str(), "%d.%d.%d.%d", &bytes[0], &bytes[1], &bytes[2], &bytes[3]) == 4)
        request.presetAddress = m_strLastAddress;
    request.groupLabels = GroupLabels();
    request.preselectLabel = PreselectedGroupLabel();
    request.firstPort = request.lastPort = proxyCommand ? 27020 : 27015;
    request.typeIndex = proxyCommand ? RangeTypeHLTV : RangeTypeServer;
    const auto answer = m_context.op->askRange(request);
    if (!answer || !GroupAt(answer->groupIndex))
        return;
    CGroup* group = GroupAt(answer->groupIndex);
    const std::uint64_t count = static_cast<std::uint64_t>(answer->lastByte - answer->firstByte + 1) *
                                (std::uint64_t{answer->lastPort} - answer->firstPort + 1);
    if (count > kRangeConfirmAbove &&
        !m_context.op->askYesNo("This range makes " + std::to_string(count) + " objects. Add them all?"))
        return;

    for (int lastByte = answer->firstByte; lastByte <= answer->lastByte; ++lastByte) {
        const std::string address = answer->prefix + std::to_string(lastByte);
        // Ports are unsigned 32-bit: the walk must stop at the last one even
        // when it is the largest value there is.
        for (std::uint32_t port = answer->firstPort;; ++port) {
            const auto storedPort = static_cast<std::int32_t>(port);
            if (answer->typeIndex == RangeTypeGTV)
                AddHubManager(address, storedPort, answer->rconPassword, group);
            else if (!proxyCommand)
                AddObject(answer->typeIndex + 1, answer->rconPassword, address, storedPort, group);
            else if (answer->typeIndex == RangeTypeServer)
                AddObject(2, answer->rconPassword, address, storedPort, group);
            else
                AddProxy(address, storedPort, group, answer->rconPassword, "", address, storedPort, false,
                         false);
            if (port >= answer->lastPort)
                break;
        }
    }
    m_strLastAddress = answer->prefix + std::to_string(answer->firstByte);
}

std::optional<std::string> CQuorvaneDoc::AddressRefusal(const CCommonObject& object, const std::string& address,
                                                         std::uint32_t port) const
{
    if (address == object.m_strAddress && port == static_cast<std::uint32_t>(object.m_nPort))
        return std::nullopt;
    if (address != object.m_strAddress && !address::isUsableHost(address))
        return std::string(address::kUnusableMessage);
    if (port < 1 || port > 65535)
        return std::string(kPortRangeRefusal);
    if (const CCommonObject* holder = FindOtherObject(address, static_cast<std::int32_t>(port), object))
        return DuplicateMessage(*holder);
    return std::nullopt;
}

void CQuorvaneDoc::Readdress(CCommonObject& object, const std::string& address, std::int32_t port)
{
    if (address == object.m_strAddress && port == object.m_nPort)
        return;
    object.m_strAddress = address;
    object.m_nPort = port;
    // Another address is another machine: nothing is known about it yet.
    object.m_nStatus = CSStatus_TIMEOUT;
    object.m_timeLastReply = 0;
    object.OpenChannel();
}

// Asks for an object's properties with the document's address check in the
// dialog, and checks the answer again (an operator may answer without the
// dialog): a refused address applies nothing at all.
std::optional<ObjectDialogValues> CQuorvaneDoc::AskProperties(CCommonObject& object, ObjectDialogRequest& request)
{
    request.refuseAddress = [this, &object](const std::string& address, std::uint32_t port) {
        return AddressRefusal(object, address, port);
    };
    auto answer = m_context.op->askObject(request);
    if (!answer || !GroupAt(answer->groupIndex))
        return std::nullopt;
    if (const auto refusal = AddressRefusal(object, answer->address, answer->port)) {
        m_context.op->showMessage(*refusal);
        return std::nullopt;
    }
    return answer;
}

void CQuorvaneDoc::OnServerProperties()
{
    // Hub managers too: their rcon password, once refused, can only be given
    // again here.
    CCommonObject* server = m_pSelectedObject;
    if (!dynamic_cast<CHLServer*>(server) && !dynamic_cast<CGTV*>(server))
        return;
    ObjectDialogRequest request;
    request.propertiesMode = true;
    request.editedObject = "game server " + server->GetName();
    request.serverMode = true;
    request.values.address = server->m_strAddress;
    request.values.port = static_cast<std::uint32_t>(server->m_nPort);
    request.values.rconPassword = server->m_strRconPassword;
    request.groupLabels = GroupLabels();
    request.preselectLabel = server->m_pGroup ? GroupLabel(*server->m_pGroup) : std::string();
    const auto answer = AskProperties(*server, request);
    if (!answer)
        return;
    Readdress(*server, answer->address, static_cast<std::int32_t>(answer->port));
    server->SetRconPassword(answer->rconPassword);
    server->m_pGroup = GroupAt(answer->groupIndex);
    MarkChanged(HintLayout);
}

void CQuorvaneDoc::OnProxyProperties()
{
    auto* proxy = dynamic_cast<CHLTV*>(m_pSelectedObject);
    if (!proxy)
        return;
    ObjectDialogRequest request;
    request.propertiesMode = true;
    request.editedObject = "HLTV proxy " + proxy->GetName();
    ObjectDialogValues& values = request.values;
    values.address = proxy->m_strAddress;
    values.port = static_cast<std::uint32_t>(proxy->m_nPort);
    values.rconPassword = proxy->m_strRconPassword;
    values.proxyPassword = proxy->m_strProxyPassword;
    values.externalAddress = proxy->m_strExternalAddress;
    values.externalPort = static_cast<std::uint32_t>(proxy->m_nExternalPort);
    values.useExternalAddress =
        proxy->m_strExternalAddress != proxy->m_strAddress || proxy->m_nExternalPort != proxy->m_nPort;
    values.exportWeb = proxy->m_bExportWeb;
    values.autoRecord = proxy->m_bAutoRecord;
    request.groupLabels = GroupLabels();
    request.preselectLabel = proxy->m_pGroup ? GroupLabel(*proxy->m_pGroup) : std::string();
    request.autoRecordEnabled = m_moduleAdminBot.m_bEnabled != 0;
    auto answer = AskProperties(*proxy, request);
    if (!answer)
        return;
    Readdress(*proxy, answer->address, static_cast<std::int32_t>(answer->port));
    if (!answer->useExternalAddress) {
        answer->externalAddress = proxy->m_strAddress;
        answer->externalPort = static_cast<std::uint32_t>(proxy->m_nPort);
    }
    proxy->SetRconPassword(answer->rconPassword);
    proxy->m_pGroup = GroupAt(answer->groupIndex);
    proxy->m_strExternalAddress = answer->externalAddress;
    proxy->m_bExportWeb = answer->exportWeb;
    proxy->m_nExternalPort = static_cast<std::int32_t>(answer->externalPort);
    proxy->m_strProxyPassword = answer->proxyPassword;
    proxy->m_bAutoRecord = answer->autoRecord;
    MarkChanged(HintLayout);
}
