// Links between objects (proxies relaying servers) and the proxy commands.
#include "layout/CQuorvaneDoc.h"

#include "core/Clock.h"
#include "core/Operator.h"
#include "objects/CHLTV.h"

void CQuorvaneDoc::RelinkStep(CCommonObject& object)
{
    auto* proxy = dynamic_cast<CHLTV*>(&object);
    if (!proxy || proxy->m_strLinkedAddress.empty() || proxy->m_pLinked ||
        proxy->m_timeRelink >= m_context.clock->now())
        return;
    for (const auto& candidate : m_objects) {
        if (candidate->IsNamed(proxy->m_strLinkedAddress)) {
            proxy->m_pLinked = candidate.get();
            return;
        }
    }
}

void CQuorvaneDoc::ClearLinksTo(const CCommonObject& object)
{
    for (const auto& candidate : m_objects) {
        auto* proxy = dynamic_cast<CHLTV*>(candidate.get());
        if (!proxy)
            continue;
        if (object.IsNamed(proxy->m_strLinkedAddress)) {
            proxy->m_pLinked = nullptr;
            proxy->m_strLinkedAddress.clear();
        }
        // A proxy dropped on another proxy links it without an address; it
        // must not keep a pointer to a deleted object either.
        if (proxy->m_pLinked == &object)
            proxy->m_pLinked = nullptr;
    }
}

std::optional<std::string> CQuorvaneDoc::SendQuotedToProxy(const std::string& prompt, const std::string& literal)
{
    auto* proxy = dynamic_cast<CHLTV*>(m_pSelectedObject);
    if (!proxy)
        return std::nullopt;
    auto text = m_context.op->promptLine(prompt, "");
    if (text)
        proxy->SendCommand(literal + "\"" + *text + "\"");
    return text;
}

void CQuorvaneDoc::OnProxyServerPassword()
{
    SendQuotedToProxy("Enter remote server password", "serverpassword ");
}

void CQuorvaneDoc::OnProxySpecPassword()
{
    SendQuotedToProxy("Enter spectator password", "spectatorpassword ");
}

void CQuorvaneDoc::OnProxyProxyPassword()
{
    auto* proxy = dynamic_cast<CHLTV*>(m_pSelectedObject);
    if (const auto text = SendQuotedToProxy("Enter proxy password", "proxypassword "); text && proxy) {
        proxy->m_strProxyPassword = *text;
        SetModifiedFlag();
    }
}

void CQuorvaneDoc::OnProxyRconPassword()
{
    auto* proxy = dynamic_cast<CHLTV*>(m_pSelectedObject);
    if (!proxy)
        return;
    const auto text = m_context.op->promptLine("Try another rcon password:", proxy->m_strRconPassword);
    if (!text)
        return;
    proxy->m_strRconPassword = *text;
    proxy->m_nChallenge = 0;
    SetModifiedFlag();
}

void CQuorvaneDoc::OnProxyDisconnect()
{
    auto* proxy = dynamic_cast<CHLTV*>(m_pSelectedObject);
    if (!proxy)
        return;
    proxy->SendCommand("disconnect");
    proxy->m_timeRelink = m_context.clock->now() + 10;
    proxy->m_pLinked = nullptr;
}
