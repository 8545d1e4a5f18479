#include "core/TerminalText.h"

QString escapeForTerminal(const QString& text, bool quoted)
{
    QString escaped;
    escaped.reserve(text.size());
    for (const QChar c : text) {
        const char16_t code = c.unicode();
        if (code < 0x20 || code == 0x7F || (code >= 0x80 && code <= 0x9F)) {
            escaped += QStringLiteral("\\x%1").arg(static_cast<int>(code), 2, 16, QLatin1Char('0'));
        } else if (c == QLatin1Char('\\')) {
            escaped += QStringLiteral("\\\\");
        } else if (quoted && c == QLatin1Char('"')) {
            escaped += QStringLiteral("\\\"");
        } else {
            escaped += c;
        }
    }
    return escaped;
}
