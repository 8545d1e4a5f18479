#pragma once

#include <QString>
#include <string_view>

// A text from a machine (a map name, a variable, an answer line) as a cell
// shows it: decoded, control characters written as \xNN, and cut to
// maxChars, so that no reply can change how a row looks or how large it is.
QString plainCell(std::string_view bytes, int maxChars = 200);

// Text that may hold remote words as a tool tip shows it: escaped, so that
// no markup in it is rendered, line ends kept, cut to 4,000 characters.
QString plainToolTip(const QString& text);
