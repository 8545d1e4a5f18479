#pragma once

#include "layout/CQuorvaneDoc.h"

#include <string>
#include <vector>

// The names of a document's zones or groups, in list order.
std::vector<std::string> names(const auto& list)
{
    std::vector<std::string> result;
    for (const auto& item : list)
        result.push_back(item->m_strName);
    return result;
}

// The "address:port" names of a document's objects, in list order.
inline std::vector<std::string> objectNames(const CQuorvaneDoc& doc)
{
    std::vector<std::string> result;
    for (const auto& object : doc.m_objects)
        result.push_back(object->GetName());
    return result;
}
