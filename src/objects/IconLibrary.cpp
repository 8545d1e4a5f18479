#include "objects/IconLibrary.h"

#include <QPaintDevice>
#include <QPainter>
#include <QString>
#include <cmath>
#include <map>

namespace {

const QImage& loadImage(int resourceId, bool twice)
{
    static std::map<std::pair<int, bool>, QImage> cache;
    const auto key = std::make_pair(resourceId, twice);
    auto found = cache.find(key);
    if (found == cache.end()) {
        const QString name = twice ? QStringLiteral(":/icons/%1@2x.png") : QStringLiteral(":/icons/%1.png");
        found = cache.emplace(key, QImage(name.arg(resourceId))).first;
    }
    return found->second;
}

// Device pixels per canvas pixel: the screen's ratio times the zoom.
double deviceScale(const QPainter& painter)
{
    const QTransform& transform = painter.deviceTransform();
    return std::max(std::hypot(transform.m11(), transform.m12()), std::hypot(transform.m21(), transform.m22()));
}

} // namespace

const QImage& iconImage(int resourceId)
{
    return loadImage(resourceId, false);
}

void drawIcon(QPainter& painter, int resourceId, int x, int y)
{
    const QImage& image = iconImage(resourceId);
    if (image.isNull())
        return;
    // Where a canvas pixel covers more than one device pixel, the picture
    // drawn at twice the size keeps its edges sharp.
    if (deviceScale(painter) > 1.01) {
        const QImage& twice = loadImage(resourceId, true);
        if (!twice.isNull()) {
            painter.save();
            painter.setRenderHint(QPainter::SmoothPixmapTransform);
            painter.drawImage(QRect(QPoint(x, y), image.size()), twice);
            painter.restore();
            return;
        }
    }
    painter.drawImage(QPoint(x, y), image);
}
