#pragma once

#include "layout/CZone.h"
#include "objects/ObjectGroup.h"

// A named area inside one zone that holds monitored objects.
class CGroup : public CZone, public ObjectGroup
{
public:
    CGroup() { m_crFill = 0xFFFFFF; }

    ColorRef GroupFill() const override { return m_crFill; }
    const void* ZoneKey() const override { return m_pZone; }

    std::int32_t m_nZoneId = 0; // the zone's id as read from a file
    CZone* m_pZone = nullptr;   // not owned
};
