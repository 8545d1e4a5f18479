#include "objects/IconLibrary.h"

#include <QPainter>
#include <QString>
#include <map>

const QImage& iconImage(int resourceId)
{
    static std::map<int, QImage> cache;
    auto found = cache.find(resourceId);
    if (found == cache.end()) {
        QImage image(QStringLiteral(":/icons/%1.png").arg(resourceId));
        found = cache.emplace(resourceId, std::move(image)).first;
    }
    return found->second;
}

void drawIcon(QPainter& painter, int resourceId, int x, int y)
{
    const QImage& image = iconImage(resourceId);
    if (!image.isNull())
        painter.drawImage(QPoint(x, y), image);
}
