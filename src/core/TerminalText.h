#pragma once

#include <QString>

// Text from a machine written to a terminal: control characters (C0, DEL,
// C1) become \xNN and a backslash becomes \\, so that a host name can
// neither send escape sequences nor start a line of its own. With
// quoted, a double quote becomes \" as well, for a field printed between
// quotes.
QString escapeForTerminal(const QString& text, bool quoted = false);
