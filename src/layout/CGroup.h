#pragma once

#include "layout/CZone.h"

// A named area inside one zone that holds monitored objects.
class CGroup : public CZone
{
public:
    CGroup() { m_crFill = 0xFFFFFF; }

    std::int32_t m_nZoneId = 0; // the zone's id as read from a file
    CZone* m_pZone = nullptr;   // not owned
};
