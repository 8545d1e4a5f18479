#pragma once

#include <QString>
#include <string>
#include <string_view>

// Texts from the wire and from layout files are kept as bytes. They are
// decoded for display as UTF-8 when they are valid UTF-8 (current servers),
// otherwise as Windows-1252 (older servers and layout files).
bool isValidUtf8(std::string_view bytes);
QString decodeText(std::string_view bytes);

// Text the operator types is stored as UTF-8.
std::string encodeTyped(const QString& text);
