// Links between objects (proxies relaying servers) and the proxy commands.
#include "layout/CQuorvaneDoc.h"

#include "core/Clock.h"
#include "core/CommandArguments.h"
#include "core/Operator.h"
#include "objects/CGTV.h"
#include "objects/CHLTV.h"
#include "objects/RconCommandText.h"

CCommonObject* CQuorvaneDoc::NameLookup::FirstNamed(const std::string& name)
{
    if (!m_index) {
        // Inserted in list order: the first object with a name keeps it.
        m_index.emplace();
        for (const auto& object : m_document.m_objects) {
            m_index->emplace(object->GetName(), object.get());
            if (const auto* proxy = dynamic_cast<const CHLTV*>(object.get()))
                m_index->emplace(proxy->GetExternalName(), object.get());
        }
        // What machines report of themselves comes last: a typed name is
        // never taken over by a machine that claims it.
        for (const auto& object : m_document.m_objects) {
            if (const auto* server = dynamic_cast<const CHLServer*>(object.get());
                server && !server->m_strReportedAddress.empty())
                m_index->emplace(server->m_strReportedAddress, object.get());
        }
    }
    const auto found = m_index->find(name);
    return found == m_index->end() ? nullptr : found->second;
}

void CQuorvaneDoc::RelinkStep(CCommonObject& object, NameLookup& names)
{
    if (auto* proxy = dynamic_cast<CHLTV*>(&object)) {
        if (!proxy->m_strLinkedAddress.empty() && !proxy->m_pLinked &&
            proxy->m_timeRelink < m_context.clock->now())
            proxy->m_pLinked = names.FirstNamed(proxy->m_strLinkedAddress);
    } else if (auto* manager = dynamic_cast<CGTV*>(&object)) {
        for (int i = 0; i < manager->m_nHubs; ++i) {
            CHubInfo& hub = manager->m_hubs[static_cast<std::size_t>(i)];
            if (!hub.m_strParent.empty() && !hub.m_pLinked)
                hub.m_pLinked = names.FirstNamed(hub.m_strParent);
        }
    }
}

void CQuorvaneDoc::RelinkAll()
{
    NameLookup names(*this);
    for (const auto& object : m_objects)
        RelinkStep(*object, names);
}

void CQuorvaneDoc::ClearLinksTo(const CCommonObject& object)
{
    if (m_ledgerFeed)
        m_ledgerFeed->Forget(object);
    m_parkConsole.Forget(object);
    for (const auto& candidate : m_objects) {
        if (auto* manager = dynamic_cast<CGTV*>(candidate.get())) {
            // Every entry, also those beyond the hub count: none may keep
            // a pointer to a deleted object.
            for (CHubInfo& hub : manager->m_hubs) {
                if (hub.m_pLinked == &object)
                    hub.m_pLinked = nullptr;
            }
        }
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

std::optional<std::string> CQuorvaneDoc::SendQuotedToProxy(const std::string& prompt, const std::string& verb)
{
    auto* proxy = dynamic_cast<CHLTV*>(m_pSelectedObject);
    if (!proxy)
        return std::nullopt;
    auto text = m_context.op->promptLine(prompt, "");
    if (!text)
        return std::nullopt;
    const auto command = rconcmd::quotedPassword(verb, *text);
    if (!command) {
        m_context.op->showMessage(std::string(kPasswordRefusedText));
        return std::nullopt;
    }
    const OperatorTrail::Act act(m_trail);
    proxy->SendCommand(*command);
    return text;
}

void CQuorvaneDoc::OnProxyServerPassword()
{
    SendQuotedToProxy("Enter remote server password", "serverpassword");
}

void CQuorvaneDoc::OnProxySpecPassword()
{
    SendQuotedToProxy("Enter spectator password", "spectatorpassword");
}

void CQuorvaneDoc::OnProxyProxyPassword()
{
    auto* proxy = dynamic_cast<CHLTV*>(m_pSelectedObject);
    if (const auto text = SendQuotedToProxy("Enter proxy password", "proxypassword"); text && proxy) {
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
    if (!isUsableRconPassword(*text)) {
        m_context.op->showMessage(std::string(kPasswordRefusedText));
        return;
    }
    proxy->SetRconPassword(*text); // also forgets the challenge
    SetModifiedFlag();
}

void CQuorvaneDoc::OnProxyDisconnect()
{
    auto* proxy = dynamic_cast<CHLTV*>(m_pSelectedObject);
    if (!proxy)
        return;
    const OperatorTrail::Act act(m_trail);
    proxy->SendCommand("disconnect");
    proxy->m_timeRelink = m_context.clock->now() + 10;
    proxy->m_pLinked = nullptr;
    // Disconnected on purpose: nothing to heal.
    proxy->ForgetUpstream();
    KeepRelayPlan(*proxy, m_context.clock->now());
}

void CQuorvaneDoc::ForEachProxy(const std::function<void(CHLTV&)>& visit) const
{
    for (const auto& object : m_objects) {
        if (auto* proxy = dynamic_cast<CHLTV*>(object.get()))
            visit(*proxy);
    }
}
