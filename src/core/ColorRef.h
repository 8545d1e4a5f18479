#pragma once

#include <QColor>
#include <cstdint>

// Colours are kept as 32-bit values with red in the low byte (0x00BBGGRR),
// the form layout files store them in.
using ColorRef = std::uint32_t;

constexpr ColorRef rgbColor(int red, int green, int blue)
{
    return static_cast<ColorRef>(red & 0xFF) | (static_cast<ColorRef>(green & 0xFF) << 8) |
           (static_cast<ColorRef>(blue & 0xFF) << 16);
}

inline QColor toQColor(ColorRef color)
{
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}
