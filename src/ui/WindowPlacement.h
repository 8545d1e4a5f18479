#pragma once

#include <QRect>
#include <QSize>

class QSettings;
class QWidget;

// Where the main window opens: where it was last closed (size, position and
// maximised state, kept in QSettings), always inside the available area of
// a screen (work area: without panels and docks), whatever the scale.
namespace windowplacement {

// The rectangle of size wanted, centred in available and shrunk to fit it.
QRect fitted(QSize wanted, const QRect& available);
// Moves and shrinks frame (a window's outer rectangle) into available:
// the same size when it fits, else the largest that does.
QRect keptInside(const QRect& frame, const QRect& available);

// Restores the window from key, or, the first time, gives it preferred
// size centred on its screen; either way inside the screen's available area.
void restore(QWidget& window, QSettings& store, const QString& key, QSize preferred);
void save(const QWidget& window, QSettings& store, const QString& key);

} // namespace windowplacement
