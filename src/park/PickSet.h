#pragma once

#include <vector>

class CCommonObject;

// The machines picked beside the one in the control panel (Ctrl+click,
// a rubber band): non-owning, in the order picked, each once.
class PickSet
{
public:
    // Adds object, or takes it out when it was in.
    void Toggle(CCommonObject* object);
    void Add(CCommonObject* object);
    void Clear() { m_objects.clear(); }
    bool Contains(const CCommonObject* object) const;
    void Forget(const CCommonObject& object);

    const std::vector<CCommonObject*>& objects() const { return m_objects; }
    bool empty() const { return m_objects.empty(); }

private:
    std::vector<CCommonObject*> m_objects;
};
