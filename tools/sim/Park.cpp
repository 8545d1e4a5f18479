#include "Park.h"

#include "GameServer.h"
#include "HltvProxy.h"

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

} // namespace

Park::Park(const ParkPlan& plan) : m_plan(plan)
{
    int servers = 0;
    int proxies = 0;
    int index = 0;
    for (const MachineSettings& settings : m_plan.machines) {
        if (settings.kind == MachineKind::Server)
            m_machines.push_back(std::make_unique<GameServer>(settings, index, ++servers, m_plan.seed,
                                                              m_plan.controlPassword, *this));
        else
            m_machines.push_back(std::make_unique<HltvProxy>(settings, index, ++proxies, m_plan.seed,
                                                             m_plan.controlPassword, *this));
        ++index;
    }
    m_clock.setInterval(1000);
    connect(&m_clock, &QTimer::timeout, this, &Park::tick);
}

Park::~Park() = default;

bool Park::start(QString* error)
{
    for (size_t i = 0; i < m_machines.size(); ++i) {
        Machine& machine = *m_machines[i];
        if (!machine.listen(static_cast<quint16>(m_plan.machines[i].port), error))
            return false;
        m_byPort.insert(machine.port(), &machine);
    }
    if (!connectProxies(error))
        return false;
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
        QByteArray address = target;
        if (const auto reference = machineReference(target)) {
            address.clear();
            int seen = 0;
            for (const auto& machine : m_machines) {
                if (machine->kind() == reference->first && seen++ == reference->second)
                    address = machine->address();
            }
            if (address.isEmpty()) {
                *error = QStringLiteral("proxy %1 connects to \"%2\", which the park does not have")
                             .arg(proxy->ordinal())
                             .arg(QString::fromUtf8(target));
                return false;
            }
        }
        proxy->connectAtStart(address);
    }
    return true;
}

QByteArray Park::listing() const
{
    QByteArray text;
    for (const auto& machine : m_machines)
        text += (machine->kind() == MachineKind::Server ? "server " : "proxy ") + machine->address() + '\n';
    return text;
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

void Park::tick()
{
    for (const auto& machine : m_machines)
        machine->tick();
}
