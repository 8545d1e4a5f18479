#pragma once

#include <QImage>

class QPainter;

// The program's pictures, looked up by their resource number (130 computer,
// 142-145 status marks, 151/155 recording marks, 153 proxy, 154/160 game
// servers, 157 match mark, 161 hub manager). Transparency is in the images'
// alpha channel.
const QImage& iconImage(int resourceId);

// Draws the picture with its top-left corner at (x, y), at its own size.
void drawIcon(QPainter& painter, int resourceId, int x, int y);
