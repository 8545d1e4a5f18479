#include "core/CanvasTone.h"

#include <algorithm>

namespace {

CanvasTone g_tone = CanvasTone::Light;

// The dark look's range of lightness: white maps to the darkest, black to the
// lightest. Close to the usual dark desktop themes (#202124 on #e8eaed).
constexpr int kDarkest = 34;
constexpr int kLightest = 232;

} // namespace

CanvasTone activeCanvasTone()
{
    return g_tone;
}

QColor canvasColor(const QColor& light)
{
    return canvasColor(light, g_tone);
}

QColor canvasColor(const QColor& light, CanvasTone tone)
{
    if (tone == CanvasTone::Light || !light.isValid())
        return light;
    const QColor hsl = light.toHsl();
    const int lightness = kDarkest + (255 - hsl.lightness()) * (kLightest - kDarkest) / 255;
    // Full saturation at low lightness glares; soften it.
    const int saturation = hsl.hslSaturation() * 6 / 10;
    QColor dark = QColor::fromHsl(std::max(0, hsl.hslHue()), saturation, lightness, light.alpha());
    return dark.toRgb();
}

ScopedCanvasTone::ScopedCanvasTone(CanvasTone tone) : m_previous(g_tone)
{
    g_tone = tone;
}

ScopedCanvasTone::~ScopedCanvasTone()
{
    g_tone = m_previous;
}
