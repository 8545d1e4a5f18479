#include "layout/GroupMove.h"

#include "layout/CQuorvaneDoc.h"

#include <QUndoCommand>
#include <algorithm>

namespace {

// Where a group stands: its zone, its level and its place in the list.
struct GroupPlace
{
    CZone* zone = nullptr;
    std::int32_t level = 1;
    std::size_t index = 0;
    bool operator==(const GroupPlace&) const = default;
};

GroupPlace placeOf(const CQuorvaneDoc& document, const CGroup& group)
{
    const auto& groups = document.m_groups;
    const auto found = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.get() == &group; });
    return {group.m_pZone, group.m_nLevel, static_cast<std::size_t>(found - groups.begin())};
}

void putAt(CQuorvaneDoc& document, CGroup& group, const GroupPlace& place)
{
    auto& groups = document.m_groups;
    const auto found = std::find_if(groups.begin(), groups.end(), [&](const auto& g) { return g.get() == &group; });
    if (found == groups.end())
        return;
    auto held = std::move(*found);
    groups.erase(found);
    groups.insert(groups.begin() + static_cast<std::ptrdiff_t>(std::min(place.index, groups.size())),
                  std::move(held));
    group.m_pZone = place.zone;
    group.m_nLevel = place.level;
    document.SetModifiedFlag(true);
    document.UpdateAllViews(CQuorvaneDoc::HintLayout);
}

class MoveGroupCommand : public QUndoCommand
{
public:
    MoveGroupCommand(CQuorvaneDoc& document, CGroup& group, GroupPlace before, GroupPlace after)
        : QUndoCommand(QStringLiteral("Move Group")), m_document(document), m_group(group), m_before(before),
          m_after(after)
    {
    }
    void redo() override { putAt(m_document, m_group, m_after); }
    void undo() override { putAt(m_document, m_group, m_before); }

private:
    CQuorvaneDoc& m_document;
    CGroup& m_group;
    GroupPlace m_before;
    GroupPlace m_after;
};

} // namespace

bool dropGroup(CQuorvaneDoc& document, CGroup& group, QPoint point)
{
    const GroupPlace before = placeOf(document, group);
    GroupPlace after = before;
    const CGroup* onto = nullptr;
    for (const auto& other : document.m_groups)
        if (other.get() != &group && other->m_rcArea.contains(point)) {
            onto = other.get();
            break;
        }
    if (onto) {
        after.zone = onto->m_pZone;
        after.level = onto->m_nLevel;
        // Its place once the dragged group is out of the list: just before
        // the group it was dropped on.
        const GroupPlace target = placeOf(document, *onto);
        after.index = target.index > before.index ? target.index - 1 : target.index;
    } else {
        CZone* zone = nullptr;
        for (const auto& candidate : document.m_zones)
            if (candidate->m_rcArea.contains(point)) {
                zone = candidate.get();
                break;
            }
        if (!zone || zone == group.m_pZone)
            return false;
        after.zone = zone;
        after.index = document.m_groups.size() - 1;
    }
    if (after == before)
        return false;
    // Pushing runs redo: the move is made here.
    document.undoStack().push(new MoveGroupCommand(document, group, before, after));
    return true;
}
