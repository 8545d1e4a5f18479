#include "park/PickSet.h"

#include <algorithm>

void PickSet::Toggle(CCommonObject* object)
{
    if (Contains(object))
        std::erase(m_objects, object);
    else
        Add(object);
}

void PickSet::Add(CCommonObject* object)
{
    if (object && !Contains(object))
        m_objects.push_back(object);
}

bool PickSet::Contains(const CCommonObject* object) const
{
    return std::find(m_objects.begin(), m_objects.end(), object) != m_objects.end();
}

void PickSet::Forget(const CCommonObject& object)
{
    std::erase(m_objects, &object);
}
