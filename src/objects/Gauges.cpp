#include "objects/Gauges.h"

#include "core/Painting.h"

#include <QPainter>
#include <algorithm>
#include <cmath>

namespace {

int clampFill(long long fill, int height)
{
    return static_cast<int>(std::clamp<long long>(fill, 0, height));
}

constexpr int kFullPlayers = 14;
constexpr float kFullRate = 1500.0f;

} // namespace

int playerGaugeFill(int height, int players)
{
    return clampFill(static_cast<long long>(height) * std::min(players, kFullPlayers) / kFullPlayers, height);
}

int ratioGaugeFill(int height, int value, int maximum)
{
    if (maximum == 0)
        return 0;
    return clampFill(static_cast<long long>(height) * value / maximum, height);
}

int rateGaugeFill(int height, float rate)
{
    rate = std::min(rate, kFullRate);
    if (!(rate > 0.0f)) // also NaN
        return 0;
    const double fill = height * std::log10(static_cast<double>(rate)) / std::log10(static_cast<double>(kFullRate));
    return clampFill(static_cast<long long>(fill), height);
}

void drawGauge(QPainter& painter, const Rect& icon, int x, int fill, const QColor& color)
{
    fillBox(painter, Rect{x, icon.top, x + 7, icon.bottom}, QColor(170, 170, 170));
    if (fill > 0)
        fillBox(painter, Rect{x, icon.bottom - fill, x + 7, icon.bottom}, color);
}

int statusMarkBitmap(CSStatus status)
{
    switch (status) {
    case CSStatus_MONITORING:
        return 144;
    case CSStatus_CONTROL:
        return 143;
    case CSStatus_FULLCONTROL:
        return 145;
    default:
        return 142;
    }
}
