#include "ui/DownAlert.h"

#include "core/TextCodec.h"
#include "layout/CQuorvaneDoc.h"

#include <QStringList>

namespace {

// Lines in the body before "and N more".
constexpr int kListed = 8;

QString machines(std::size_t count)
{
    return count == 1 ? QStringLiteral("1 machine") : QStringLiteral("%1 machines").arg(count);
}

void listNames(QStringList& lines, const char* state, const std::vector<std::string>& names,
               const CQuorvaneDoc& document)
{
    int shown = 0;
    for (const std::string& name : names) {
        if (shown == kListed) {
            lines.append(
                QStringLiteral("and %1 more %2").arg(names.size() - kListed).arg(QLatin1String(state)));
            return;
        }
        QString line = QStringLiteral("%1: %2").arg(QLatin1String(state), decodeText(name));
        for (const auto& object : document.m_objects) {
            if (object->IsNamed(name) && !object->m_strHostname.empty()) {
                line += QStringLiteral(" (%1)").arg(decodeText(object->m_strHostname));
                break;
            }
        }
        lines.append(line);
        ++shown;
    }
}

} // namespace

DownAlert describeBurst(const DownWatch::Burst& burst, const CQuorvaneDoc& document)
{
    QStringList parts;
    if (!burst.wentDown.empty())
        parts.append(machines(burst.wentDown.size()) + QStringLiteral(" down"));
    if (!burst.cameBack.empty())
        parts.append(machines(burst.cameBack.size()) + QStringLiteral(" back"));
    if (!burst.relayLost.empty())
        parts.append(QStringLiteral("%1 relay lost").arg(burst.relayLost.size()));
    if (!burst.relayBack.empty())
        parts.append(QStringLiteral("%1 relaying again").arg(burst.relayBack.size()));
    if (!burst.unreachable.empty())
        parts.append(machines(burst.unreachable.size()) + QStringLiteral(" unreachable"));
    QStringList lines;
    listNames(lines, "down", burst.wentDown, document);
    listNames(lines, "back", burst.cameBack, document);
    listNames(lines, "relay lost", burst.relayLost, document);
    listNames(lines, "relaying again", burst.relayBack, document);
    listNames(lines, "unreachable", burst.unreachable, document);
    const std::string now = burst.now.words();
    lines.append(now.empty() ? QStringLiteral("Nothing down now")
                             : QString::fromStdString(now) + QStringLiteral(" now"));
    return {parts.join(QStringLiteral(", ")), lines.join(QLatin1Char('\n'))};
}
