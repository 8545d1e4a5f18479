#pragma once

#include "core/ColorRef.h"
#include "core/Geometry.h"

#include <cstdint>
#include <string>

class QPainter;

// A named, coloured area of the canvas with a level from 1 to 5.
class CZone
{
public:
    CZone() = default;
    virtual ~CZone() = default;

    CZone(const CZone&) = delete;
    CZone& operator=(const CZone&) = delete;

    // The area with a 1-pixel frame and its name centred at the top.
    void Draw(QPainter& painter) const;
    // The same with a 4-pixel frame: the look of the picked zone or group.
    virtual void DrawHighlighted(QPainter& painter) const;
    // The frame (1 or 4 pixels) and the name alone, over a fill of the area
    // painted already: with it, the same pixels as Draw or DrawHighlighted.
    void DrawOverFill(QPainter& painter, bool highlighted) const;

    ColorRef m_crFill = 0xBEFFFF; // pale yellow
    Rect m_rcArea;                // placed by the canvas at each layout pass
    std::int32_t m_nLevel = 1;
    std::string m_strName;
    std::int32_t m_nId = 0; // serial number, meaningful only while saving or loading

protected:
    void DrawFramed(QPainter& painter, int penWidth) const;
    void DrawName(QPainter& painter) const;
};
