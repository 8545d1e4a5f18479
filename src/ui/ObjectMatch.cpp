#include "ui/ObjectMatch.h"

#include "core/TextCodec.h"
#include "objects/CHLServer.h"

#include <algorithm>

namespace {

bool holds(const std::string& bytes, const QString& needle)
{
    return !bytes.empty() && decodeText(bytes).contains(needle, Qt::CaseInsensitive);
}

} // namespace

bool objectMatches(const CCommonObject& object, const QString& needle)
{
    if (needle.isEmpty())
        return true;
    if (holds(object.m_strHostname, needle) || holds(object.GetName(), needle))
        return true;
    if (const auto* server = dynamic_cast<const CHLServer*>(&object);
        server && holds(server->m_strMap, needle))
        return true;
    const int count = std::clamp(object.GetPlayerCount(), 0, CCommonObject::kMaxPlayers);
    const auto& names = object.GetPlayerNames();
    return std::any_of(names.begin(), names.begin() + count,
                       [&](const std::string& name) { return holds(name, needle); });
}
