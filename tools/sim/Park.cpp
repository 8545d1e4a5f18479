#include "Park.h"

#include "GameServer.h"
#include "HltvProxy.h"
#include "HubManager.h"

#include <algorithm>
#include <map>

namespace {

// "server:N" / "proxy:N" (N from 0, in listing order of that kind).
std::optional<std::pair<MachineKind, int>> machineReference(const QByteArray& text)
{
    const qsizetype colon = text.indexOf(':');
    const QByteArray kind = text.left(colon);
    if (colon < 0 || (kind != "server" && kind != "proxy"))
        return std::nullopt;
    bool ok = false;
    const int number = text.mid(colon + 1).toInt(&ok);
    if (!ok || number < 0)
        return std::nullopt;
    return std::pair{kind == "server" ? MachineKind::Server : MachineKind::Proxy, number};
}

QByteArray kindWord(MachineKind kind)
{
    switch (kind) {
    case MachineKind::Server:
        return "server";
    case MachineKind::Proxy:
        return "proxy";
    case MachineKind::Hub:
        return "hub";
    }
    return "machine";
}

} // namespace

QByteArray normalisedAddress(const QByteArray& text)
{
    constexpr int kDefaultGamePort = 27015;
    QByteArray address = text.trimmed();
    if (!address.contains(':'))
        address += ':' + QByteArray::number(kDefaultGamePort);
    if (address.startsWith("localhost:"))
        address = "127.0.0.1" + address.mid(9);
    return address;
}

Park::Park(const ParkPlan& plan) : m_plan(plan)
{
    int servers = 0;
    int proxies = 0;
    int hubs = 0;
    int index = 0;
    for (const MachineSettings& settings : m_plan.machines) {
        switch (settings.kind) {
        case MachineKind::Server:
            m_machines.push_back(std::make_unique<GameServer>(settings, index, ++servers, m_plan.seed,
                                                              m_plan.controlPassword, *this));
            break;
        case MachineKind::Proxy:
            m_machines.push_back(std::make_unique<HltvProxy>(settings, index, ++proxies, m_plan.seed,
                                                             m_plan.controlPassword, *this));
            break;
        case MachineKind::Hub:
            m_machines.push_back(std::make_unique<HubManager>(settings, index, ++hubs, m_plan.seed,
                                                              m_plan.controlPassword, *this));
            break;
        }
        ++index;
    }
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &Park::tick);
}

Park::~Park() = default;

bool Park::start(QString* error, bool* planError)
{
    for (size_t i = 0; i < m_machines.size(); ++i) {
        Machine& machine = *m_machines[i];
        if (!machine.listen(static_cast<quint16>(m_plan.machines[i].port), error))
            return false;
        m_byPort.insert(machine.port(), &machine);
    }
    if (!connectProxies(error) || !startHubs(error)) {
        // A machine names another that the park does not have: a mistake
        // of the configuration, found once the ports are known.
        if (planError)
            *planError = true;
        return false;
    }
    m_clock.start();
    return true;
}

bool Park::connectProxies(QString* error)
{
    for (size_t i = 0; i < m_machines.size(); ++i) {
        const QByteArray& target = m_plan.machines[i].connectTo;
        auto* proxy = dynamic_cast<HltvProxy*>(m_machines[i].get());
        if (!proxy || target.isEmpty())
            continue;
        const std::optional<QByteArray> address = addressOf(target);
        if (!address) {
            *error = QStringLiteral("proxy %1 connects to \"%2\", which the park does not have")
                         .arg(proxy->ordinal())
                         .arg(QString::fromUtf8(target));
            return false;
        }
        proxy->connectAtStart(*address);
    }
    return true;
}

bool Park::startHubs(QString* error)
{
    for (const auto& machine : m_machines) {
        auto* manager = dynamic_cast<HubManager*>(machine.get());
        if (manager && !manager->relayAtStart(error))
            return false;
    }
    return true;
}

QByteArray Park::listing() const
{
    QByteArray text;
    for (const auto& machine : m_machines)
        text += kindWord(machine->kind()) + ' ' + machine->address() + '\n';
    return text;
}

QByteArray Park::trafficReport() const
{
    std::map<QByteArray, qint64> received;
    std::map<QByteArray, qint64> sent;
    int asked = 0;
    int answered = 0;
    for (const auto& machine : m_machines) {
        const Traffic& traffic = machine->traffic();
        for (const auto& [kind, count] : traffic.received)
            received[kind] += count;
        for (const auto& [type, count] : traffic.sent)
            sent[type] += count;
        asked += traffic.received.empty() ? 0 : 1;
        answered += traffic.sent.empty() ? 0 : 1;
    }
    const auto line = [](const char* head, const std::map<QByteArray, qint64>& counts) {
        QByteArray text = head;
        for (const auto& [key, count] : counts)
            text += ' ' + key + '=' + QByteArray::number(count);
        return text + '\n';
    };
    return line("queries", received) + line("replies", sent) + "machines " +
           QByteArray::number(m_machines.size()) + " asked " + QByteArray::number(asked) + " answered " +
           QByteArray::number(answered) + '\n';
}

const Machine* Park::machineAt(const QByteArray& address) const
{
    const qsizetype colon = address.lastIndexOf(':');
    if (colon < 0)
        return nullptr;
    const QByteArray host = address.left(colon);
    if (host != "127.0.0.1" && host != "localhost")
        return nullptr;
    bool ok = false;
    const uint port = address.mid(colon + 1).toUInt(&ok);
    if (!ok || port == 0 || port > 65535)
        return nullptr;
    return m_byPort.value(static_cast<quint16>(port), nullptr);
}

int Park::relaysOf(const QByteArray& address) const
{
    int relays = 0;
    for (const auto& machine : m_machines) {
        if (machine->kind() == MachineKind::Proxy && machine->upstream() == address)
            ++relays;
    }
    return relays;
}

int Park::countOf(MachineKind kind) const
{
    return static_cast<int>(std::count_if(m_machines.begin(), m_machines.end(),
                                          [&](const auto& machine) { return machine->kind() == kind; }));
}

std::optional<QByteArray> Park::addressOf(const QByteArray& reference) const
{
    const auto machine = machineReference(reference);
    if (!machine)
        return reference;
    int seen = 0;
    for (const auto& candidate : m_machines) {
        if (candidate->kind() == machine->first && seen++ == machine->second)
            return candidate->address();
    }
    return std::nullopt;
}

void Park::tick()
{
    for (const auto& machine : m_machines)
        machine->tick();
}
