#include "layout/CQuorvaneDoc.h"

#include "core/Clock.h"
#include "core/CommandArguments.h"
#include "objects/CHLServer.h"
#include "park/MapChange.h"
#include "park/UnsettlingCommands.h"

#include <algorithm>
#include <unordered_set>

std::vector<CCommonObject*> CQuorvaneDoc::PickedMachines() const
{
    std::unordered_set<const CCommonObject*> wanted(m_parkConsole.picks.objects().begin(),
                                                    m_parkConsole.picks.objects().end());
    if (m_pSelectedObject)
        wanted.insert(m_pSelectedObject);
    const auto* pickedGroup = dynamic_cast<const CGroup*>(m_pSelectedZone);
    std::vector<CCommonObject*> machines;
    for (const auto& object : m_objects) {
        const CGroup* group = object->m_pGroup.get();
        const bool inPickedArea = m_pSelectedZone && group &&
                                  (pickedGroup ? group == pickedGroup : group->m_pZone == m_pSelectedZone);
        if (inPickedArea || wanted.count(object.get()))
            machines.push_back(object.get());
    }
    return machines;
}

std::vector<CCommonObject*> CQuorvaneDoc::GameServersOf(const std::vector<CCommonObject*>& machines)
{
    std::vector<CCommonObject*> servers;
    std::copy_if(machines.begin(), machines.end(), std::back_inserter(servers), [](CCommonObject* object) {
        return object->IsGameServer() && !object->CanRecord() && dynamic_cast<CHLServer*>(object);
    });
    return servers;
}

void CQuorvaneDoc::SendNow(const std::vector<CCommonObject*>& machines,
                           const std::vector<std::string>& commands)
{
    const OperatorTrail::Act act(m_trail);
    // Each command sent goes to the ledger through the trail.
    m_parkConsole.sending.Start(machines, commands, m_context.clock->now());
    // The results window redraws itself; the canvas has nothing new to show.
}

bool CQuorvaneDoc::SendToPicked(const std::vector<std::string>& commands)
{
    const std::vector<CCommonObject*> machines = PickedMachines();
    if (machines.empty() || commands.empty())
        return false;
    if (unsettling::anyUnsettling(commands) &&
        !m_context.op->askYesNo(unsettling::question(commands, machines.size())))
        return false;
    SendNow(machines, commands);
    return true;
}

bool CQuorvaneDoc::RunPreset(const std::string& name)
{
    const Preset* preset = m_parkConsole.presets.Find(name);
    if (!preset)
        return false;
    const std::vector<std::string> commands = preset->commands; // the book may change while asking
    return SendToPicked(commands);
}

bool CQuorvaneDoc::ChangeMapOnPicked(const std::string& map)
{
    const auto command = mapchange::changeLevelCommand(map);
    if (!command) {
        m_context.op->showMessage(
            "\"" + map.substr(0, 64) +
            "\" cannot be a map name: it holds a space, a quote, a semicolon or a control character, or is "
            "longer than 64 bytes.");
        return false;
    }
    const std::vector<CCommonObject*> servers = GameServersOf(PickedMachines());
    if (servers.empty())
        return false;
    // A map change is what the operator asked for by name: no second question.
    SendNow(servers, {*command});
    return true;
}

bool CQuorvaneDoc::RestartRoundOnPicked()
{
    const std::vector<CCommonObject*> servers = GameServersOf(PickedMachines());
    if (servers.empty())
        return false;
    SendNow(servers, {mapchange::kRestartRound});
    return true;
}

int CQuorvaneDoc::AskMapsOfPicked()
{
    int asked = 0;
    const OperatorTrail::Act act(m_trail);
    for (CCommonObject* object : GameServersOf(PickedMachines())) {
        if (object->m_nStatus >= CSStatus_CONTROL && static_cast<CHLServer*>(object)->RequestMapList())
            ++asked;
    }
    return asked;
}

std::vector<std::string> CQuorvaneDoc::MapsOfPicked() const
{
    std::vector<std::vector<std::string>> lists;
    for (CCommonObject* object : GameServersOf(PickedMachines()))
        lists.push_back(static_cast<CHLServer*>(object)->m_mapList.maps());
    return mapchange::unionOfMaps(lists);
}

bool CQuorvaneDoc::SayToPicked(const std::string& text)
{
    if (text.empty())
        return false;
    if (!isSafeCommandArgument(text)) {
        m_context.op->showMessage(
            "Not sent: a chat line cannot hold a double quote, a semicolon or a line break.");
        return false;
    }
    const std::vector<CCommonObject*> machines = PickedMachines();
    if (machines.empty())
        return false;
    SendNow(machines, {"say " + text});
    return true;
}

bool CQuorvaneDoc::SetVariable(CCommonObject& server, const std::string& name, const std::string& value)
{
    const auto command = variables::setCommand(name, value);
    if (!command) {
        m_context.op->showMessage(
            "Not sent: a value cannot hold a double quote, a semicolon, a line break or a "
            "NUL byte, nor a name a space or a quote.");
        return false;
    }
    const OperatorTrail::Act act(m_trail);
    server.SendCommand(*command);
    return true;
}
