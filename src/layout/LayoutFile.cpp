#include "layout/LayoutFile.h"

#include "core/CommandArguments.h"
#include "core/Operator.h"
#include "core/ResourceLimits.h"
#include "layout/Archive.h"
#include "layout/CQuorvaneDoc.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "objects/RconNotices.h"

#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <functional>
#include <map>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace layoutfile {

namespace {

constexpr std::uint16_t kZoneSchema = 1;
constexpr std::uint16_t kServerSchema = 10;
constexpr std::uint16_t kProxySchema = 101;
constexpr std::uint16_t kHubSchema = 11;
constexpr std::uint16_t kCommonSchema = 100;
constexpr std::int32_t kNoGroup = -1;

void writeZoneFields(ArchiveWriter& out, const CZone& zone)
{
    out.writeDword(zone.m_crFill);
    out.writeDword(static_cast<std::uint32_t>(zone.m_nLevel));
    out.writeString(zone.m_strName);
    out.writeDword(static_cast<std::uint32_t>(zone.m_nId));
}

void writeObject(ArchiveWriter& out, const CCommonObject& object)
{
    const auto* proxy = dynamic_cast<const CHLTV*>(&object);
    if (proxy)
        out.writeObjectTag("CHLTV", kProxySchema);
    else if (dynamic_cast<const CHLServer*>(&object))
        out.writeObjectTag("CHLServer", kServerSchema);
    else if (dynamic_cast<const CGTV*>(&object))
        out.writeObjectTag("CGTV", kHubSchema);
    else
        out.writeObjectTag("CCommonObject", kCommonSchema);
    out.writeString(object.m_strAddress);
    out.writeDword(static_cast<std::uint32_t>(object.m_nPort));
    out.writeDword(static_cast<std::uint32_t>(object.m_pGroup ? object.m_pGroup->m_nId : kNoGroup));
    out.writeString(object.m_strRconPassword);
    if (proxy) {
        out.writeDword(proxy->m_bExportWeb ? 1 : 0);
        out.writeString(proxy->m_strExternalAddress);
        out.writeDword(static_cast<std::uint32_t>(proxy->m_nExternalPort));
        out.writeString(proxy->m_strProxyPassword);
        out.writeDword(proxy->m_bAutoRecord ? 1 : 0);
    }
}

// What a file holds, read completely before the document is touched.
struct LoadedLayout
{
    CQuorvaneDoc::OwningList<CZone> zones;
    CQuorvaneDoc::OwningList<CGroup> groups;
    CQuorvaneDoc::OwningList<CCommonObject> objects;
    CModuleAutoWeb autoWeb;
    CModuleAdminBot adminBot;
};

std::int32_t asInt(std::uint32_t value)
{
    return static_cast<std::int32_t>(value);
}

bool readZoneFields(ArchiveReader& in, CZone& zone)
{
    const auto fill = in.readDword();
    const auto level = in.readDword();
    auto name = in.readString();
    const auto id = in.readDword();
    if (!fill || !level || !name || !id)
        return false;
    zone.m_crFill = *fill;
    zone.m_nLevel = asInt(*level);
    zone.m_strName = std::move(*name);
    zone.m_nId = asInt(*id);
    return true;
}

template <class T> using Reader = std::function<std::unique_ptr<T>(ArchiveReader&, const ArchiveReader::ClassRecord&)>;

// The index every object read so far received, and the list it went to, so
// that a reference can be resolved.
using ObjectIndex = std::map<std::uint32_t, int>;

template <class T>
bool readList(ArchiveReader& in, int listId, ObjectIndex& seen, CQuorvaneDoc::OwningList<T>& list,
              const Reader<T>& readOne)
{
    using Kind = ArchiveReader::ObjectTag::Kind;
    const auto count = in.readCount();
    if (!count)
        return false;
    // No reserve by the count: the elements must come from the bytes.
    for (std::uint32_t i = 0; i < *count; ++i) {
        const auto tag = in.readObjectTag();
        if (!tag)
            return false;
        if (tag->kind == Kind::Null)
            continue; // nothing to hold
        if (tag->kind == Kind::Reference) {
            // The same element again: the list holds it once already. An
            // object of another list does not belong here.
            const auto found = seen.find(tag->index);
            if (found == seen.end() || found->second != listId)
                return false;
            continue;
        }
        auto element = readOne(in, tag->record);
        if (!element)
            return false;
        seen.emplace(tag->index, listId);
        list.push_back(std::move(element));
    }
    return true;
}

std::unique_ptr<CZone> readZone(ArchiveReader& in, const ArchiveReader::ClassRecord& record)
{
    if (record.name != "CZone" || record.schema != kZoneSchema)
        return nullptr;
    auto zone = std::make_unique<CZone>();
    return readZoneFields(in, *zone) ? std::move(zone) : nullptr;
}

std::unique_ptr<CGroup> readGroup(ArchiveReader& in, const ArchiveReader::ClassRecord& record)
{
    if (record.name != "CGroup" || record.schema != kZoneSchema)
        return nullptr;
    auto group = std::make_unique<CGroup>();
    const auto zoneId = readZoneFields(in, *group) ? in.readDword() : std::nullopt;
    if (!zoneId)
        return nullptr;
    group->m_nZoneId = asInt(*zoneId);
    return group;
}

std::unique_ptr<CCommonObject> makeObject(const CoreContext& context, const ArchiveReader::ClassRecord& record)
{
    if (record.name == "CHLServer" && record.schema == kServerSchema)
        return std::make_unique<CHLServer>(context);
    if (record.name == "CHLTV" && record.schema == kProxySchema)
        return std::make_unique<CHLTV>(context);
    if (record.name == "CGTV" && record.schema == kHubSchema)
        return std::make_unique<CGTV>(context);
    if (record.name == "CCommonObject" && record.schema == kCommonSchema)
        return std::make_unique<CCommonObject>(context);
    return nullptr;
}

std::unique_ptr<CCommonObject> readObject(const CoreContext& context, ArchiveReader& in,
                                          const ArchiveReader::ClassRecord& record)
{
    auto object = makeObject(context, record);
    if (!object)
        return nullptr;
    auto address = in.readString();
    const auto port = in.readDword();
    const auto groupId = in.readDword();
    auto password = in.readString();
    if (!address || !port || !groupId || !password)
        return nullptr;
    object->m_strAddress = std::move(*address);
    object->m_nPort = asInt(*port);
    object->m_nGroupId = asInt(*groupId);
    object->m_strRconPassword = std::move(*password);
    // A file from elsewhere may hold a password no dialog accepts: the
    // object is monitored, and says why its rcon stays off.
    if (!isUsableRconPassword(object->m_strRconPassword))
        object->SuspendRcon(notices::kUnusablePassword);
    if (auto* proxy = dynamic_cast<CHLTV*>(object.get())) {
        const auto exportWeb = in.readDword();
        auto external = in.readString();
        const auto externalPort = in.readDword();
        auto proxyPassword = in.readString();
        const auto autoRecord = in.readDword();
        if (!exportWeb || !external || !externalPort || !proxyPassword || !autoRecord)
            return nullptr;
        proxy->m_bExportWeb = *exportWeb != 0;
        proxy->m_strExternalAddress = std::move(*external);
        proxy->m_nExternalPort = asInt(*externalPort);
        proxy->m_strProxyPassword = std::move(*proxyPassword);
        proxy->m_bAutoRecord = *autoRecord != 0;
    }
    return object;
}

bool readModules(ArchiveReader& in, CModuleAutoWeb& autoWeb, CModuleAdminBot& adminBot)
{
    const auto enabled = in.readDword();
    auto login = in.readString();
    auto password = in.readString();
    const auto interval = in.readDword();
    auto remote = in.readString();
    auto server = in.readString();
    const auto peakBandwidth = in.readDouble();
    const auto peakSpectators = in.readDword();
    const auto adminBotEnabled = in.readDword();
    if (in.failed())
        return false;
    autoWeb.m_bEnabled = asInt(*enabled);
    autoWeb.m_strLogin = std::move(*login);
    autoWeb.m_strPassword = std::move(*password);
    autoWeb.m_nUpdateInterval = asInt(*interval);
    autoWeb.m_strRemoteFile = std::move(*remote);
    autoWeb.m_strFtpServer = std::move(*server);
    // A peak that no page could have reached (NaN or infinite, as an
    // unchecked rate once made them, or below 0) would never be beaten
    // again: it starts over.
    autoWeb.m_fPeakBandwidth = std::isfinite(*peakBandwidth) && *peakBandwidth >= 0.0 ? *peakBandwidth : 0.0;
    autoWeb.m_nPeakSpectators = std::max(0, asInt(*peakSpectators));
    adminBot.m_bEnabled = asInt(*adminBotEnabled);
    return true;
}

bool parse(const CoreContext& context, const QByteArray& bytes, LoadedLayout& layout)
{
    ArchiveReader in(bytes);
    ObjectIndex seen;
    return readList<CZone>(in, 0, seen, layout.zones, readZone) &&
           readList<CGroup>(in, 1, seen, layout.groups, readGroup) &&
           readList<CCommonObject>(in, 2, seen, layout.objects,
                                   [&context](ArchiveReader& reader, const ArchiveReader::ClassRecord& record) {
                                       return readObject(context, reader, record);
                                   }) &&
           readModules(in, layout.autoWeb, layout.adminBot);
}

// A place for what lost its parent: the first zone, or a new one.
CZone* recoveryZone(CQuorvaneDoc& document)
{
    if (document.m_zones.empty())
        document.m_zones.push_back([] {
            auto zone = std::make_unique<CZone>();
            zone->m_strName = "Recovered";
            return zone;
        }());
    return document.m_zones.front().get();
}

// Each id to the element of list that carries it; with an id repeated (a
// file made by hand) the later element wins.
template <class T> std::unordered_map<std::int32_t, T*> byId(const CQuorvaneDoc::OwningList<T>& list)
{
    std::unordered_map<std::int32_t, T*> index;
    index.reserve(list.size());
    for (const auto& element : list)
        index.insert_or_assign(element->m_nId, element.get());
    return index;
}

template <class T> T* lookUp(const std::unordered_map<std::int32_t, T*>& index, std::int32_t id)
{
    const auto found = index.find(id);
    return found == index.end() ? nullptr : found->second;
}

// How many repeated names the message lists before it only counts them.
constexpr std::size_t kRepeatsNamed = 10;

// Two objects on one address and port would share every key (log source,
// feeds, alerts, metrics): of a name the file gives more than once only the
// first object is kept. The operator hears of it once, with the names.
bool dropRepeatedAddresses(const CoreContext& context, CQuorvaneDoc::OwningList<CCommonObject>& objects)
{
    std::unordered_set<std::string> seen;
    seen.reserve(objects.size());
    std::vector<std::string> repeated;
    std::unordered_set<std::string> reported;
    const auto end = std::remove_if(objects.begin(), objects.end(), [&](const auto& object) {
        std::string name = object->GetName();
        if (seen.insert(name).second)
            return false;
        if (reported.insert(name).second)
            repeated.push_back(std::move(name));
        return true;
    });
    if (repeated.empty())
        return false;
    objects.erase(end, objects.end());
    std::string text = "This layout names " + std::to_string(repeated.size()) +
                       (repeated.size() == 1 ? " address" : " addresses") +
                       " more than once; only the first object of each was kept:";
    for (std::size_t i = 0; i < repeated.size() && i < kRepeatsNamed; ++i)
        text += (i == 0 ? " " : ", ") + repeated[i];
    if (repeated.size() > kRepeatsNamed)
        text += " and " + std::to_string(repeated.size() - kRepeatsNamed) + " more";
    context.op->showMessage(text + ".");
    return true;
}

// Links groups to zones and objects to groups; what lost its parent is
// kept (see load). True when something had to be repaired.
bool relink(CQuorvaneDoc& document)
{
    // Through maps from the ids: a layout of a hundred thousand objects
    // opens in well under a second, where comparing every pair took minutes.
    const auto zones = byId(document.m_zones);
    for (const auto& group : document.m_groups) {
        if (CZone* zone = lookUp(zones, group->m_nZoneId))
            group->m_pZone = zone;
    }
    const auto groups = byId(document.m_groups);
    for (const auto& object : document.m_objects) {
        if (CGroup* group = lookUp(groups, object->m_nGroupId))
            object->m_pGroup = group;
    }

    bool repaired = false;
    for (const auto& group : document.m_groups) {
        if (!group->m_pZone) {
            group->m_pZone = recoveryZone(document);
            repaired = true;
        }
    }
    CGroup* recoveryGroup = nullptr;
    for (const auto& object : document.m_objects) {
        if (object->m_pGroup)
            continue;
        document.context().op->showMessage("Omg, cannot restore the correct group for " + object->GetName());
        if (!recoveryGroup) {
            auto group = std::make_unique<CGroup>();
            group->m_strName = "Recovered";
            group->m_pZone = recoveryZone(document);
            recoveryGroup = group.get();
            document.m_groups.push_back(std::move(group));
        }
        object->m_pGroup = recoveryGroup;
        repaired = true;
    }
    return repaired;
}

} // namespace

QByteArray save(CQuorvaneDoc& document)
{
    std::int32_t id = 0;
    for (const auto& zone : document.m_zones)
        zone->m_nId = id++;
    for (const auto& group : document.m_groups)
        group->m_nId = id++;

    ArchiveWriter out;
    out.writeCount(static_cast<std::uint32_t>(document.m_zones.size()));
    for (const auto& zone : document.m_zones) {
        out.writeObjectTag("CZone", kZoneSchema);
        writeZoneFields(out, *zone);
    }
    out.writeCount(static_cast<std::uint32_t>(document.m_groups.size()));
    for (const auto& group : document.m_groups) {
        out.writeObjectTag("CGroup", kZoneSchema);
        writeZoneFields(out, *group);
        out.writeDword(static_cast<std::uint32_t>(group->m_pZone ? group->m_pZone->m_nId : kNoGroup));
    }
    out.writeCount(static_cast<std::uint32_t>(document.m_objects.size()));
    for (const auto& object : document.m_objects)
        writeObject(out, *object);

    const CModuleAutoWeb& autoWeb = document.m_moduleAutoWeb;
    out.writeDword(static_cast<std::uint32_t>(autoWeb.m_bEnabled));
    out.writeString(autoWeb.m_strLogin);
    out.writeString(autoWeb.m_strPassword);
    out.writeDword(static_cast<std::uint32_t>(autoWeb.m_nUpdateInterval));
    out.writeString(autoWeb.m_strRemoteFile);
    out.writeString(autoWeb.m_strFtpServer);
    out.writeDouble(autoWeb.m_fPeakBandwidth);
    out.writeDword(static_cast<std::uint32_t>(autoWeb.m_nPeakSpectators));
    out.writeDword(static_cast<std::uint32_t>(document.m_moduleAdminBot.m_bEnabled));
    return out.bytes();
}

bool load(CQuorvaneDoc& document, const QByteArray& bytes, Channels channels)
{
    // An empty file holds nothing to read: the layout stays as it is.
    if (bytes.isEmpty())
        return true;
    LoadedLayout layout;
    if (!parse(document.context(), bytes, layout)) {
        document.context().op->showMessage("Unexpected file format.");
        document.OnNewDocument();
        return false;
    }
    document.DeleteContents();
    document.m_zones = std::move(layout.zones);
    document.m_groups = std::move(layout.groups);
    document.m_objects = std::move(layout.objects);
    document.m_moduleAutoWeb = std::move(layout.autoWeb);
    document.m_moduleAdminBot = std::move(layout.adminBot);
    const bool dropped = dropRepeatedAddresses(document.context(), document.m_objects);
    const bool repaired = relink(document);
    // What was repaired differs from the file: saving keeps the repair.
    document.SetModifiedFlag(dropped || repaired);
    if (channels == Channels::Open) {
        for (const auto& object : document.m_objects)
            object->OpenChannel();
    }
    document.UpdateAllViews(CQuorvaneDoc::HintLayout);
    return true;
}

bool saveToFile(CQuorvaneDoc& document, const QString& path, QString& error)
{
    // Past the file size limit a write must fail with an error, not end
    // the program with SIGXFSZ.
    ignoreFileSizeSignal();
    const QByteArray bytes = save(document);
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        error = file.errorString();
        return false;
    }
    file.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
    // Writes are buffered: an error of the buffered part (a full disk, the
    // file size limit) shows only when the buffer goes out, and some Qt
    // versions then replace the file all the same. So the buffer is flushed
    // and checked before the file may replace the previous one.
    errno = 0;
    if (file.write(bytes) != bytes.size() || !file.flush() || file.error() != QFileDevice::NoError) {
        // The system's own words (errorString() is not always set by a
        // failed flush).
        const int cause = errno;
        error = cause != 0 ? QString::fromLocal8Bit(std::strerror(cause)) : file.errorString();
        file.cancelWriting();
        return false;
    }
    if (!file.commit()) {
        error = file.errorString();
        return false;
    }
    document.SetModifiedFlag(false);
    return true;
}

bool openFile(CQuorvaneDoc& document, const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = file.errorString();
        return false;
    }
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        error = file.errorString();
        return false;
    }
    return load(document, bytes);
}

} // namespace layoutfile
