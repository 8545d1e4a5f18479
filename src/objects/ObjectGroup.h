#pragma once

#include "core/ColorRef.h"

#include <cstddef>

class CGroup;

// What an object asks of the group that holds it. The layout's groups
// implement it: objects never reach into the layout itself.
class ObjectGroup
{
public:
    // The colour the object's box is cleared with.
    virtual ColorRef GroupFill() const = 0;
    // The zone the group lies in, as a key: two groups are compared by it
    // (a proxy connects across zones by its external address), it is never
    // followed.
    virtual const void* ZoneKey() const = 0;

protected:
    ~ObjectGroup() = default;
};

// An object's group: the layout's CGroup to the document and the views, an
// ObjectGroup to the object. It is made where CGroup is known (the layout),
// which is where the view is taken.
class GroupLink
{
public:
    GroupLink() = default;
    GroupLink(std::nullptr_t) {}
    template <class Group> GroupLink(Group* group) : m_group(group), m_view(group) {}

    CGroup* get() const { return m_group; }
    CGroup* operator->() const { return m_group; }
    CGroup& operator*() const { return *m_group; }
    operator CGroup*() const { return m_group; }
    const ObjectGroup* view() const { return m_view; }

private:
    CGroup* m_group = nullptr;
    const ObjectGroup* m_view = nullptr;
};
