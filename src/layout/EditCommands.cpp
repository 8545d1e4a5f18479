#include "layout/EditCommands.h"

#include "core/Clock.h"
#include "layout/CQuorvaneDoc.h"
#include "objects/CHLTV.h"

#include <algorithm>
#include <unordered_map>

namespace {

template <class List, class T> std::size_t indexIn(const List& list, const T* item)
{
    const auto found =
        std::find_if(list.begin(), list.end(), [item](const auto& owned) { return owned.get() == item; });
    return static_cast<std::size_t>(found - list.begin());
}

template <class List, class T> bool holds(const List& list, const T* item)
{
    return indexIn(list, item) < list.size();
}

// Sorts list into the order of wanted; items wanted does not name keep
// their relative order after the others.
template <class List, class T> void reorder(List& list, const std::vector<T*>& wanted)
{
    std::unordered_map<const void*, std::size_t> rank;
    for (std::size_t i = 0; i < wanted.size(); ++i)
        rank.emplace(wanted[i], i);
    const auto rankOf = [&](const auto& item) {
        const auto found = rank.find(item.get());
        return found == rank.end() ? wanted.size() : found->second;
    };
    std::stable_sort(list.begin(), list.end(),
                     [&](const auto& a, const auto& b) { return rankOf(a) < rankOf(b); });
}

} // namespace

DeleteObjectCommand::DeleteObjectCommand(CQuorvaneDoc& document, CCommonObject& object, const QString& text)
    : EditCommand(text), m_document(document), m_object(&object)
{
}

DeleteObjectCommand::~DeleteObjectCommand() = default;

std::optional<std::string> DeleteObjectCommand::RefusalToUndo() const
{
    if (!m_held)
        return std::nullopt;
    const CCommonObject* holder = m_document.FindObject(m_held->m_strAddress, m_held->m_nPort);
    if (!holder)
        return std::nullopt;
    return m_document.TakenSinceMessage("undo", text().toStdString(), *holder);
}

void DeleteObjectCommand::redo()
{
    auto& objects = m_document.m_objects;
    m_index = indexIn(objects, m_object);
    if (m_index >= objects.size())
        return;
    m_links.clear();
    for (const auto& candidate : objects) {
        const auto* proxy = dynamic_cast<const CHLTV*>(candidate.get());
        if (proxy && (proxy->m_pLinked == m_object || m_object->IsNamed(proxy->m_strLinkedAddress)))
            m_links.push_back({candidate.get(), proxy->m_strLinkedAddress, proxy->m_pLinked == m_object});
    }
    m_document.ClearLinksTo(*m_object);
    m_held = std::move(objects[m_index]);
    objects.erase(objects.begin() + static_cast<std::ptrdiff_t>(m_index));
    m_held->CloseChannel();
    if (m_document.m_pSelectedObject == m_object)
        m_document.m_pSelectedObject = nullptr;
    m_document.MarkChanged(CQuorvaneDoc::HintLayout);
}

void DeleteObjectCommand::undo()
{
    if (!m_held || RefusalToUndo())
        return;
    auto& objects = m_document.m_objects;
    objects.insert(objects.begin() + static_cast<std::ptrdiff_t>(std::min(m_index, objects.size())),
                   std::move(m_held));
    m_object->OpenChannel();
    // It was not polled while it was gone: it gets the usual grace before
    // its silence counts as down.
    if (m_object->m_timeLastReply != 0)
        m_object->m_timeLastReply = m_document.context().clock->now();
    for (const ProxyLink& link : m_links) {
        auto* proxy = dynamic_cast<CHLTV*>(link.proxy);
        if (!proxy || !holds(objects, link.proxy))
            continue;
        proxy->m_strLinkedAddress = link.linkedAddress;
        if (link.pointed)
            proxy->m_pLinked = m_object;
    }
    // Hub rows find their parent again through its address.
    m_document.RelinkAll();
    m_document.SetSelection(nullptr, m_object);
    m_document.MarkChanged(CQuorvaneDoc::HintLayout);
}

DeleteAreaCommand::DeleteAreaCommand(CQuorvaneDoc& document, CZone& area, const QString& text)
    : EditCommand(text), m_document(document), m_area(&area), m_isGroup(holds(document.m_groups, &area))
{
}

DeleteAreaCommand::~DeleteAreaCommand() = default;

void DeleteAreaCommand::redo()
{
    if (m_isGroup) {
        auto& groups = m_document.m_groups;
        m_index = indexIn(groups, m_area);
        if (m_index >= groups.size())
            return;
        m_held = std::move(groups[m_index]);
        groups.erase(groups.begin() + static_cast<std::ptrdiff_t>(m_index));
    } else {
        auto& zones = m_document.m_zones;
        m_index = indexIn(zones, m_area);
        if (m_index >= zones.size())
            return;
        m_held = std::move(zones[m_index]);
        zones.erase(zones.begin() + static_cast<std::ptrdiff_t>(m_index));
    }
    if (m_document.m_pSelectedZone == m_area)
        m_document.m_pSelectedZone = nullptr;
    m_document.MarkChanged(CQuorvaneDoc::HintLayout);
}

void DeleteAreaCommand::undo()
{
    if (!m_held)
        return;
    if (m_isGroup) {
        auto& groups = m_document.m_groups;
        std::unique_ptr<CGroup> group(static_cast<CGroup*>(m_held.release()));
        groups.insert(groups.begin() + static_cast<std::ptrdiff_t>(std::min(m_index, groups.size())),
                      std::move(group));
    } else {
        auto& zones = m_document.m_zones;
        zones.insert(zones.begin() + static_cast<std::ptrdiff_t>(std::min(m_index, zones.size())),
                     std::move(m_held));
    }
    m_document.SetSelection(m_area, nullptr);
    m_document.MarkChanged(CQuorvaneDoc::HintLayout);
}

ListOrder ListOrder::Take(const CQuorvaneDoc& document)
{
    ListOrder order;
    for (const auto& object : document.m_objects)
        order.objects.push_back(object.get());
    for (const auto& group : document.m_groups) {
        order.groups.push_back(group.get());
        order.levels.push_back(group->m_nLevel);
    }
    for (const auto& zone : document.m_zones) {
        order.zones.push_back(zone.get());
        order.levels.push_back(zone->m_nLevel);
    }
    return order;
}

void ListOrder::Apply(CQuorvaneDoc& document) const
{
    reorder(document.m_objects, objects);
    reorder(document.m_groups, groups);
    reorder(document.m_zones, zones);
    std::size_t level = 0;
    for (CZone* area : groups) {
        if (holds(document.m_groups, area))
            area->m_nLevel = levels[level];
        ++level;
    }
    for (CZone* area : zones) {
        if (holds(document.m_zones, area))
            area->m_nLevel = levels[level];
        ++level;
    }
}

ReorderCommand::ReorderCommand(CQuorvaneDoc& document, ListOrder before, ListOrder after, const QString& text)
    : EditCommand(text), m_document(document), m_before(std::move(before)), m_after(std::move(after))
{
}

void ReorderCommand::redo()
{
    m_after.Apply(m_document);
    m_document.MarkChanged(CQuorvaneDoc::HintLayout);
}

void ReorderCommand::undo()
{
    m_before.Apply(m_document);
    m_document.MarkChanged(CQuorvaneDoc::HintLayout);
}

ObjectSettings ObjectSettings::Take(const CCommonObject& object)
{
    ObjectSettings settings;
    settings.address = object.m_strAddress;
    settings.port = object.m_nPort;
    settings.rconPassword = object.m_strRconPassword;
    settings.group = object.m_pGroup;
    if (const auto* proxy = dynamic_cast<const CHLTV*>(&object)) {
        settings.proxyPassword = proxy->m_strProxyPassword;
        settings.externalAddress = proxy->m_strExternalAddress;
        settings.externalPort = proxy->m_nExternalPort;
        settings.exportWeb = proxy->m_bExportWeb;
        settings.autoRecord = proxy->m_bAutoRecord;
    }
    return settings;
}

void ObjectSettings::Apply(CCommonObject& object) const
{
    const bool moved = object.m_strAddress != address || object.m_nPort != port;
    object.m_strAddress = address;
    object.m_nPort = port;
    object.m_strRconPassword = rconPassword;
    object.m_pGroup = group;
    if (auto* proxy = dynamic_cast<CHLTV*>(&object)) {
        proxy->m_strProxyPassword = proxyPassword;
        proxy->m_strExternalAddress = externalAddress;
        proxy->m_nExternalPort = externalPort;
        proxy->m_bExportWeb = exportWeb;
        proxy->m_bAutoRecord = autoRecord;
    }
    if (moved) {
        // Another address is another machine: nothing known about it yet.
        object.m_timeLastReply = 0;
        object.m_nStatus = CSStatus_TIMEOUT;
        object.OpenChannel();
    }
}

PropertiesCommand::PropertiesCommand(CQuorvaneDoc& document, CCommonObject& object, ObjectSettings before,
                                     ObjectSettings after)
    : EditCommand(QStringLiteral("Properties of %1").arg(QString::fromStdString(object.GetName()))),
      m_document(document), m_object(object), m_before(std::move(before)), m_after(std::move(after))
{
}

std::optional<std::string> PropertiesCommand::RefusalToApply(const ObjectSettings& settings,
                                                              const char* step) const
{
    const CCommonObject* holder = m_document.FindOtherObject(settings.address, settings.port, m_object);
    if (!holder)
        return std::nullopt;
    return m_document.TakenSinceMessage(step, text().toStdString(), *holder);
}

std::optional<std::string> PropertiesCommand::RefusalToUndo() const
{
    return RefusalToApply(m_before, "undo");
}

std::optional<std::string> PropertiesCommand::RefusalToRedo() const
{
    return RefusalToApply(m_after, "redo");
}

void PropertiesCommand::redo()
{
    if (RefusalToRedo())
        return;
    m_after.Apply(m_object);
    m_document.MarkChanged(CQuorvaneDoc::HintLayout);
}

void PropertiesCommand::undo()
{
    if (RefusalToUndo())
        return;
    m_before.Apply(m_object);
    m_document.MarkChanged(CQuorvaneDoc::HintLayout);
}

LinkCommand::LinkCommand(CQuorvaneDoc& document, CCommonObject& proxy, CCommonObject& target)
    : EditCommand(
          QStringLiteral("Link %1 to %2")
              .arg(QString::fromStdString(proxy.GetName()), QString::fromStdString(target.GetName()))),
      m_document(document), m_proxy(proxy), m_target(&target)
{
    const auto* hltv = dynamic_cast<const CHLTV*>(&proxy);
    m_previous = hltv ? hltv->m_pLinked : nullptr;
    m_previousAddress = hltv ? hltv->m_strLinkedAddress : std::string();
}

void LinkCommand::redo()
{
    const OperatorTrail::Act act(m_document.trail());
    if (holds(m_document.m_objects, m_target))
        m_proxy.DropOn(m_target);
    m_document.UpdateAllViews(CQuorvaneDoc::HintLayout);
}

void LinkCommand::undo()
{
    const OperatorTrail::Act act(m_document.trail());
    auto* proxy = dynamic_cast<CHLTV*>(&m_proxy);
    if (!proxy)
        return;
    if (m_previous && holds(m_document.m_objects, m_previous)) {
        proxy->DropOn(m_previous);
    } else {
        proxy->SendCommand("disconnect");
        proxy->m_timeRelink = m_document.context().clock->now() + 10;
    }
    proxy->m_pLinked = m_previous && holds(m_document.m_objects, m_previous) ? m_previous : nullptr;
    proxy->m_strLinkedAddress = m_previousAddress;
    m_document.UpdateAllViews(CQuorvaneDoc::HintLayout);
}
