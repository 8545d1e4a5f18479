#pragma once

#include "core/Geometry.h"

#include <QUndoCommand>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class CCommonObject;
class CQuorvaneDoc;
class CZone;

// The undoable edits of the layout. Each command is pushed after (or as) its
// edit is made; undo and redo rely on the stack being linear: every object a
// command points to is either in the document or held by a command that
// undo will reach first.
//
// No two objects share an address and port: a step that would put an object
// onto one that another object has taken since is refused. The document's
// Undo and Redo ask first and leave the stack where it is; a command run
// directly while refused changes nothing.
class EditCommand : public QUndoCommand
{
public:
    using QUndoCommand::QUndoCommand;

    // Why undo (redo) cannot run as the layout stands now; nothing when it can.
    virtual std::optional<std::string> RefusalToUndo() const { return std::nullopt; }
    virtual std::optional<std::string> RefusalToRedo() const { return std::nullopt; }
};

// Takes an object out of the document and keeps it, closed, for undo; undo
// puts it back at its place, reopens its channel and restores the links that
// other objects had to it.
class DeleteObjectCommand : public EditCommand
{
public:
    DeleteObjectCommand(CQuorvaneDoc& document, CCommonObject& object, const QString& text);
    ~DeleteObjectCommand() override;

    std::optional<std::string> RefusalToUndo() const override;

    void redo() override;
    void undo() override;

private:
    // A proxy linked to the deleted object: it lost its upstream address
    // or pointer with the deletion.
    struct ProxyLink
    {
        CCommonObject* proxy;
        std::string linkedAddress;
        bool pointed;
    };

    CQuorvaneDoc& m_document;
    CCommonObject* m_object;
    std::unique_ptr<CCommonObject> m_held;
    std::size_t m_index = 0;
    std::vector<ProxyLink> m_links;
};

// Takes an empty zone or group out of the document and keeps it for undo.
class DeleteAreaCommand : public EditCommand
{
public:
    DeleteAreaCommand(CQuorvaneDoc& document, CZone& area, const QString& text);
    ~DeleteAreaCommand() override;

    void redo() override;
    void undo() override;

private:
    CQuorvaneDoc& m_document;
    CZone* m_area;
    bool m_isGroup;
    std::unique_ptr<CZone> m_held;
    std::size_t m_index = 0;
};

// The order of the three lists and the levels of zones and groups, as before
// and after a move or a change of layer.
struct ListOrder
{
    std::vector<CCommonObject*> objects;
    std::vector<CZone*> groups;
    std::vector<CZone*> zones;
    std::vector<std::int32_t> levels; // of groups, then zones

    static ListOrder Take(const CQuorvaneDoc& document);
    void Apply(CQuorvaneDoc& document) const;
    friend bool operator==(const ListOrder&, const ListOrder&) = default;
};

class ReorderCommand : public EditCommand
{
public:
    ReorderCommand(CQuorvaneDoc& document, ListOrder before, ListOrder after, const QString& text);

    void redo() override;
    void undo() override;

private:
    CQuorvaneDoc& m_document;
    ListOrder m_before;
    ListOrder m_after;
};

// What the Properties dialog of an object changes.
struct ObjectSettings
{
    std::string address;
    std::int32_t port = 0;
    std::string rconPassword;
    class CGroup* group = nullptr;
    // Proxies only.
    std::string proxyPassword;
    std::string externalAddress;
    std::int32_t externalPort = 0;
    bool exportWeb = false;
    bool autoRecord = false;

    static ObjectSettings Take(const CCommonObject& object);
    // Reopens the channel when the address or port changes.
    void Apply(CCommonObject& object) const;
    friend bool operator==(const ObjectSettings&, const ObjectSettings&) = default;
};

class PropertiesCommand : public EditCommand
{
public:
    PropertiesCommand(CQuorvaneDoc& document, CCommonObject& object, ObjectSettings before,
                      ObjectSettings after);

    std::optional<std::string> RefusalToUndo() const override;
    std::optional<std::string> RefusalToRedo() const override;

    void redo() override;
    void undo() override;

private:
    // Why settings cannot be applied now: their address and port are
    // another object's.
    std::optional<std::string> RefusalToApply(const ObjectSettings& settings, const char* step) const;

    CQuorvaneDoc& m_document;
    CCommonObject& m_object;
    ObjectSettings m_before;
    ObjectSettings m_after;
};

// A proxy dropped on an object: redo sends it there, undo sends it back to
// the upstream it had (or disconnects it when it had none).
class LinkCommand : public EditCommand
{
public:
    LinkCommand(CQuorvaneDoc& document, CCommonObject& proxy, CCommonObject& target);

    void redo() override;
    void undo() override;

private:
    CQuorvaneDoc& m_document;
    CCommonObject& m_proxy;
    CCommonObject* m_target;
    CCommonObject* m_previous;
    std::string m_previousAddress;
};
