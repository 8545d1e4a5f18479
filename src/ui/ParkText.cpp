#include "ui/ParkText.h"

#include "core/TerminalText.h"
#include "core/TextCodec.h"

QString plainCell(std::string_view bytes, int maxChars)
{
    QString text = escapeForTerminal(decodeText(bytes.substr(0, static_cast<std::size_t>(maxChars) * 4)));
    if (text.size() > maxChars)
        text = text.left(maxChars - 1) + QChar(0x2026);
    return text;
}

QString plainToolTip(const QString& text)
{
    return QStringLiteral("<p style='white-space:pre-wrap'>%1</p>").arg(text.left(4000).toHtmlEscaped());
}
