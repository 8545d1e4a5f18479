#include "layout/CanvasLayout.h"

#include "layout/CQuorvaneDoc.h"

#include <QSettings>
#include <algorithm>
#include <set>
#include <unordered_map>
#include <vector>

namespace {

constexpr int kMargin = 15;
constexpr int kEmptyLevelWidth = 200;
constexpr int kZoneHeader = 35;
constexpr int kGroupColumnGap = 60;
constexpr int kGroupGap = 10;
constexpr int kEmptyZoneWidth = 300;
constexpr int kEmptyZoneHeight = 200;
constexpr int kGroupPaddingLeft = 10;
constexpr int kGroupHeader = 20;
constexpr int kObjectGap = 10;
constexpr int kEmptyGroupWidth = 100;
constexpr int kEmptyGroupHeight = 200;

// Levels in placing order: 1 to 4 always (an empty one still takes room),
// then the other levels that occur, higher first, so that level 5 stands
// after 4 and level 0 after it.
template <class Items> std::vector<std::pair<int, bool>> levelOrder(const Items& items)
{
    std::vector<std::pair<int, bool>> order; // level, takes room when empty
    for (int level = 1; level <= 4; ++level)
        order.emplace_back(level, true);
    std::set<int, std::greater<>> others;
    for (const auto* item : items)
        if (item->m_nLevel < 1 || item->m_nLevel > 4)
            others.insert(item->m_nLevel);
    for (int level : others)
        order.emplace_back(level, false);
    return order;
}

struct Placer
{
    LayoutOptions options;
    std::unordered_map<const CGroup*, std::vector<CCommonObject*>> objectsOf;
    std::unordered_map<const CZone*, std::vector<CGroup*>> groupsOf;

    void placeGroup(CGroup& group, int left, int top)
    {
        int right = left + kEmptyGroupWidth;
        int bottom = top + kEmptyGroupHeight;
        const auto found = objectsOf.find(&group);
        if (found != objectsOf.end() && !found->second.empty()) {
            int x = left + kGroupPaddingLeft;
            int y = top + kGroupHeader;
            right = left;
            for (CCommonObject* object : found->second) {
                const QSize size = object->GetBoxSize();
                object->Place({x, y, x + size.width(), y + size.height()});
                right = std::max(right, object->m_rcBox.right);
                y = object->m_rcBox.bottom + kObjectGap;
            }
            right += kObjectGap;
            bottom = y; // last bottom + 10
        }
        group.m_rcArea = {left, top, right, bottom};
    }

    void placeZone(CZone& zone, int left, int top)
    {
        const auto found = groupsOf.find(&zone);
        if (found == groupsOf.end() || found->second.empty()) {
            zone.m_rcArea = {left, top, left + kEmptyZoneWidth, top + kEmptyZoneHeight};
            return;
        }
        const std::vector<CGroup*>& groups = found->second;
        if (options.groupsSideBySide) {
            placeSideBySide(zone, groups, left, top);
            return;
        }
        const CGroup* previous = nullptr;
        int right = left;
        int bottom = top;
        for (const auto& [level, unused] : levelOrder(groups)) {
            for (CGroup* group : groups) {
                if (group->m_nLevel != level)
                    continue;
                if (!previous)
                    placeGroup(*group, left + kMargin, top + kZoneHeader);
                else if (group->m_nLevel != previous->m_nLevel)
                    placeGroup(*group, previous->m_rcArea.right + kGroupColumnGap, top + kZoneHeader);
                else
                    placeGroup(*group, previous->m_rcArea.left, previous->m_rcArea.bottom + kGroupGap);
                right = std::max(right, group->m_rcArea.right);
                bottom = std::max(bottom, group->m_rcArea.bottom);
                previous = group;
            }
        }
        zone.m_rcArea = {left, top, right + kMargin, bottom + kMargin};
    }

    void placeSideBySide(CZone& zone, const std::vector<CGroup*>& groups, int left, int top)
    {
        const int limit = options.wrapWidth - kMargin; // the zone's right edge may reach it
        int x = left + kMargin;
        int y = top + kZoneHeader;
        int rowBottom = y;
        int right = left;
        bool rowEmpty = true;
        for (const auto& [level, unused] : levelOrder(groups)) {
            for (CGroup* group : groups) {
                if (group->m_nLevel != level)
                    continue;
                placeGroup(*group, x, y);
                if (!rowEmpty && group->m_rcArea.right + kMargin > limit) {
                    x = left + kMargin;
                    y = rowBottom + kGroupGap;
                    placeGroup(*group, x, y);
                }
                rowEmpty = false;
                x = group->m_rcArea.right + kGroupGap;
                rowBottom = std::max(rowBottom, group->m_rcArea.bottom);
                right = std::max(right, group->m_rcArea.right);
            }
        }
        zone.m_rcArea = {left, top, right + kMargin, rowBottom + kMargin};
    }
};

} // namespace

QSize RecalcLayout(CQuorvaneDoc& document)
{
    return RecalcLayout(document, LayoutOptions{});
}

namespace {
QSettings layoutSettings()
{
    return QSettings(QStringLiteral("Quorvane"), QStringLiteral("Quorvane"));
}
} // namespace

LayoutOptions savedLayoutOptions()
{
    QSettings store = layoutSettings();
    LayoutOptions options;
    options.groupsSideBySide = store.value(QStringLiteral("View/GroupColumns"), false).toBool();
    options.wrapWidth = std::clamp(store.value(QStringLiteral("View/GroupColumnsWidth"), 1280).toInt(), 200, 100000);
    return options;
}

void saveLayoutOptions(const LayoutOptions& options)
{
    QSettings store = layoutSettings();
    store.setValue(QStringLiteral("View/GroupColumns"), options.groupsSideBySide);
    store.setValue(QStringLiteral("View/GroupColumnsWidth"), options.wrapWidth);
}

QSize RecalcLayout(CQuorvaneDoc& document, const LayoutOptions& options)
{
    Placer placer;
    placer.options = options;
    for (const auto& object : document.m_objects)
        placer.objectsOf[object->m_pGroup].push_back(object.get());
    for (const auto& group : document.m_groups)
        placer.groupsOf[group->m_pZone].push_back(group.get());

    std::vector<CZone*> zones;
    for (const auto& zone : document.m_zones)
        zones.push_back(zone.get());

    int x = 0;
    int height = 0;
    for (const auto& [level, takesRoom] : levelOrder(zones)) {
        const CZone* previous = nullptr;
        int right = x;
        for (CZone* zone : zones) {
            if (zone->m_nLevel != level)
                continue;
            if (!previous)
                placer.placeZone(*zone, x + kMargin, kMargin);
            else
                placer.placeZone(*zone, previous->m_rcArea.left, previous->m_rcArea.bottom + kMargin);
            right = std::max(right, zone->m_rcArea.right);
            height = std::max(height, zone->m_rcArea.bottom);
            previous = zone;
        }
        if (previous)
            x = std::max(x, right);
        else if (takesRoom)
            x += kEmptyLevelWidth;
    }
    return {x + kMargin, height + kMargin};
}
