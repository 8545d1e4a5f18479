// The edits the window makes undoable, and the question before a deletion.
#include "layout/CQuorvaneDoc.h"

#include "core/Operator.h"
#include "layout/CommandIds.h"
#include "layout/EditCommands.h"
#include "objects/ObjectReport.h"

#include <algorithm>

namespace {

std::string counted(std::size_t count, const char* what)
{
    return std::to_string(count) + " " + what + (count == 1 ? "" : "s");
}

const char* kindWords(const CCommonObject& object)
{
    const std::string kind = objectKind(object);
    if (kind == "proxy")
        return "HLTV proxy";
    if (kind == "hub")
        return "hub manager";
    return "game server";
}

} // namespace

std::string CQuorvaneDoc::DescribePick() const
{
    if (const CCommonObject* object = m_pSelectedObject) {
        std::string text = std::string("the ") + kindWords(*object) + " " + object->GetName();
        if (!object->m_strHostname.empty())
            text += " (" + object->m_strHostname + ")";
        return text;
    }
    const CZone* area = m_pSelectedZone;
    if (!area)
        return {};
    const bool isGroup = std::any_of(m_groups.begin(), m_groups.end(),
                                     [area](const auto& group) { return group.get() == area; });
    const auto objects = std::count_if(m_objects.begin(), m_objects.end(), [&](const auto& object) {
        return object->m_pGroup == area ||
               (!isGroup && object->m_pGroup && object->m_pGroup->m_pZone == area);
    });
    std::string text = std::string(isGroup ? "the group \"" : "the zone \"") + area->m_strName + "\" with ";
    if (!isGroup) {
        const auto groups = std::count_if(m_groups.begin(), m_groups.end(),
                                          [area](const auto& group) { return group->m_pZone == area; });
        text += counted(static_cast<std::size_t>(groups), "group") + " and ";
    }
    return text + counted(static_cast<std::size_t>(objects), "object");
}

void CQuorvaneDoc::DeletePicked()
{
    if (CCommonObject* object = m_pSelectedObject) {
        if (!m_context.op->askYesNo("Delete " + DescribePick() + "?"))
            return;
        m_undoStack.push(new DeleteObjectCommand(
            *this, *object, QStringLiteral("Delete %1").arg(QString::fromStdString(object->GetName()))));
        return;
    }
    CZone* area = m_pSelectedZone;
    if (!area)
        return;
    const bool holdsSomething =
        std::any_of(m_objects.begin(), m_objects.end(),
                    [area](const auto& object) { return object->m_pGroup == area; }) ||
        std::any_of(m_groups.begin(), m_groups.end(),
                    [area](const auto& group) { return group->m_pZone == area; });
    if (holdsSomething) {
        OnDeleteZone(); // refuses, with its message
        return;
    }
    if (!m_context.op->askYesNo("Delete " + DescribePick() + "?"))
        return;
    m_undoStack.push(new DeleteAreaCommand(
        *this, *area, QStringLiteral("Delete %1").arg(QString::fromStdString(area->m_strName))));
}

bool CQuorvaneDoc::Undo()
{
    const int index = m_undoStack.index();
    if (index <= 0)
        return false;
    if (const auto* command = dynamic_cast<const EditCommand*>(m_undoStack.command(index - 1))) {
        if (const auto refusal = command->RefusalToUndo()) {
            m_context.op->showMessage(*refusal);
            return false;
        }
    }
    m_undoStack.undo();
    return true;
}

bool CQuorvaneDoc::Redo()
{
    const int index = m_undoStack.index();
    if (index >= m_undoStack.count())
        return false;
    if (const auto* command = dynamic_cast<const EditCommand*>(m_undoStack.command(index))) {
        if (const auto refusal = command->RefusalToRedo()) {
            m_context.op->showMessage(*refusal);
            return false;
        }
    }
    m_undoStack.redo();
    return true;
}

CCommonObject* CQuorvaneDoc::FindOtherObject(const std::string& address, std::int32_t port,
                                             const CCommonObject& except) const
{
    for (const auto& object : m_objects) {
        if (object.get() != &except && object->m_nPort == port && object->m_strAddress == address)
            return object.get();
    }
    return nullptr;
}

std::string CQuorvaneDoc::TakenSinceMessage(const std::string& step, const std::string& edit,
                                            const CCommonObject& holder) const
{
    const CGroup* group = holder.m_pGroup;
    const CZone* zone = group ? group->m_pZone : nullptr;
    return "Cannot " + step + " \"" + edit + "\": another object has taken " + holder.GetName() +
           " since.\nGroup : " + (group ? group->m_strName : std::string()) +
           "\nZone : " + (zone ? zone->m_strName : std::string());
}

void CQuorvaneDoc::DropOn(CCommonObject& dragged, CCommonObject& target)
{
    const OperatorTrail::Act act(m_trail);
    if (dragged.CanRecord() && !dragged.IsHubManager())
        m_undoStack.push(new LinkCommand(*this, dragged, target));
    else
        dragged.DropOn(&target);
}

bool CQuorvaneDoc::RunCommand(int id)
{
    switch (id) {
    case ID_ZONE_DELETE:
    case ID_OBJECT_DELETE:
    case ID_HLTV_DELETE:
        DeletePicked();
        return true;
    case ID_ZONE_INCREASELAYER:
    case ID_ZONE_DECREASELAYER:
    case ID_ZONE_MOVEUP:
    case ID_ZONE_MOVEDOWN:
    case ID_OBJECT_MOVEUP:
    case ID_OBJECT_MOVEDOWN:
    case ID_HLTV_MOVEUP:
    case ID_HLTV_MOVEDOWN: {
        ListOrder before = ListOrder::Take(*this);
        OnCommand(id);
        ListOrder after = ListOrder::Take(*this);
        if (!(before == after)) {
            const bool layer = id == ID_ZONE_INCREASELAYER || id == ID_ZONE_DECREASELAYER;
            m_undoStack.push(
                new ReorderCommand(*this, std::move(before), std::move(after),
                                   layer ? QStringLiteral("Change Layer") : QStringLiteral("Move")));
        }
        return true;
    }
    case ID_OBJECT_PROPERTIES:
    case ID_HLTV_PROPERTIES: {
        CCommonObject* object = m_pSelectedObject;
        if (!object)
            return OnCommand(id);
        ObjectSettings before = ObjectSettings::Take(*object);
        OnCommand(id);
        ObjectSettings after = ObjectSettings::Take(*object);
        if (!(before == after)) {
            // Applied again by the push: the same values, the channel kept.
            before.Apply(*object);
            m_undoStack.push(new PropertiesCommand(*this, *object, std::move(before), std::move(after)));
        }
        return true;
    }
    default:
        return OnCommand(id);
    }
}
