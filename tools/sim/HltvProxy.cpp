#include "HltvProxy.h"

#include "ConfigFile.h"
#include "NamePool.h"
#include "ParkDirectory.h"
#include "RconRequest.h"

#include <algorithm>

namespace {

constexpr int kMaxRelayHops = 16;
// autoretry: a lost server is tried again this often, this many times.
constexpr int kRetrySeconds = 10;
constexpr int kMaxRetries = 4;

QByteArray oneDecimal(double value)
{
    return QByteArray::number(value, 'f', 1);
}

QByteArray clock(int seconds)
{
    const auto two = [](int n) { return QByteArray::number(n).rightJustified(2, '0'); };
    return two(seconds / 3600) + ':' + two(seconds / 60 % 60) + ':' + two(seconds % 60);
}

} // namespace

HltvProxy::HltvProxy(const MachineSettings& settings, int index, int ordinal, quint32 seed,
                     QByteArray controlPassword, const ParkDirectory& park)
    : HalfLifeMachine(settings, index, ordinal, seed, std::move(controlPassword), park),
      m_hostName(settings.hostName.isEmpty() ? "Quorvane Sim HLTV " + QByteArray::number(ordinal)
                                             : settings.hostName),
      m_serverPassword(settings.serverPassword), m_proxyPassword(settings.proxyPassword),
      m_spectatorPassword(settings.spectatorPassword), m_demo(settings.demoDir), m_delay(settings.delay)
{
    m_spectators =
        std::clamp(settings.players >= 0 ? settings.players : static_cast<int>(random().bounded(0, 12)), 0,
                   settings.maxPlayers);
    m_peakSpectators = m_spectators;
}

void HltvProxy::connectAtStart(const QByteArray& address)
{
    takeUpstream(normalisedAddress(address));
    if (const Machine* target = park().machineAt(m_upstream))
        m_serverPassword = target->joinPassword();
    updateRates();
}

void HltvProxy::tick()
{
    ++m_onlineSeconds;
    watchUpstream();
    if (!m_recordFile.isEmpty()) {
        ++m_recordSeconds;
        m_demo.grow(currentMap(), settings().demoBytesPerSecond);
    }
    if (moves() && random().bounded(15) == 0) {
        const int step = random().bounded(2) == 0 ? -1 : 1;
        m_spectators = std::clamp(m_spectators + step, 0, settings().maxPlayers);
    }
    m_peakSpectators = std::max(m_peakSpectators, m_spectators);
    updateRates();
}

void HltvProxy::watchUpstream()
{
    const Machine* machine = park().machineAt(m_upstream);
    if (machine && (!machine->answering() || machine->restarts() != m_upstreamRestarts)) {
        // What HLTV does when its server goes away: "Not connected." and,
        // with autoretry on, a try every few seconds until it gives up.
        m_retryTarget = m_upstream;
        m_retries = 0;
        m_nextRetry = m_onlineSeconds + kRetrySeconds;
        takeUpstream({});
        return;
    }
    if (m_retryTarget.isEmpty() || !m_upstream.isEmpty() || !m_autoRetry || m_onlineSeconds < m_nextRetry)
        return;
    const Machine* target = park().machineAt(m_retryTarget);
    if (target && target->answering()) {
        takeUpstream(m_retryTarget);
        m_retryTarget.clear();
        return;
    }
    m_nextRetry = m_onlineSeconds + kRetrySeconds;
    if (++m_retries >= kMaxRetries)
        m_retryTarget.clear(); // gives up
}

void HltvProxy::updateRates()
{
    if (m_ratesFixed)
        return;
    const bool connected = !m_upstream.isEmpty();
    const double jitter = moves() ? random().bounded(0.6) - 0.3 : 0.0;
    m_inRate = connected ? std::max(0.0, 3.0 + jitter) : 0.0;
    m_outRate = std::max(0.0, (connected ? 0.8 : 0.0) + 2.5 * clients() + jitter);
}

int HltvProxy::clients() const
{
    return m_spectators + park().relaysOf(address());
}

QByteArray HltvProxy::currentMap() const
{
    const Machine* machine = this;
    for (int hop = 0; hop < kMaxRelayHops; ++hop) {
        const Machine* next = park().machineAt(machine->upstream());
        if (!next)
            break;
        if (next->kind() == MachineKind::Server)
            return next->currentMap();
        machine = next;
    }
    return settings().map;
}

InfoFacts HltvProxy::info() const
{
    InfoFacts facts;
    facts.hostName = m_hostName;
    facts.map = currentMap();
    facts.gameDir = settings().gameDir;
    facts.description = settings().description.isEmpty() ? QByteArray("HLTV") : settings().description;
    facts.players = m_spectators;
    facts.maxPlayers = settings().maxPlayers;
    facts.serverType = 'p';
    facts.passworded = !m_spectatorPassword.isEmpty();
    return facts;
}

std::vector<Player> HltvProxy::listedPlayers() const
{
    std::vector<Player> spectators;
    for (int i = 0; i < std::min(m_spectators, 32); ++i) {
        Player spectator;
        spectator.name = names::at(i);
        spectator.seconds = std::max(0, m_onlineSeconds - 7 * i);
        spectators.push_back(spectator);
    }
    return spectators;
}

QByteArray HltvProxy::refusal() const
{
    // Today's proxies do not answer a wrong rcon password at all.
    return settings().style == ProxyStyle::Current ? QByteArray() : Machine::refusal();
}

QByteArray HltvProxy::printHead() const
{
    switch (settings().framing) {
    case Framing::Backtick:
        return "l`";
    case Framing::Nul:
        return QByteArray("l\0", 2);
    case Framing::None:
        break;
    }
    return "l";
}

QByteArray HltvProxy::runCommand(const QByteArray& command)
{
    const QByteArray name = commandName(command);
    const QByteArray argument = commandArgument(command);
    if (name == "status")
        return statusText();
    if (name == "connect")
        return connectTo(argument);
    if (name == "disconnect") {
        takeUpstream({});
        m_retryTarget.clear();
        return "Disconnected.\n";
    }
    if (name == "autoretry") {
        const QByteArray value = argument.trimmed();
        if (value == "0" || value == "1")
            m_autoRetry = value == "1";
        return "autoretry is " + QByteArray(m_autoRetry ? "1" : "0") + '\n';
    }
    if (name == "record")
        return record(argument);
    if (name == "stoprecord")
        return stopRecording();
    if (name == "serverpassword") {
        m_serverPassword = wireText(unquoted(argument), 127);
        return {};
    }
    if (name == "proxypassword") {
        m_proxyPassword = wireText(unquoted(argument), 127);
        return {};
    }
    if (name == "spectatorpassword") {
        m_spectatorPassword = wireText(unquoted(argument), 127);
        return {};
    }
    if (name == "delay") {
        bool ok = false;
        const int delay = argument.toInt(&ok);
        if (!ok || delay < 0 || delay > 3600)
            return "Usage: delay <seconds>\n";
        m_delay = delay;
        return {};
    }
    return unknownCommand(command);
}

std::optional<QByteArray> HltvProxy::runSimCommand(const QByteArray& name, const QList<QByteArray>& arguments)
{
    if (name == "sim_players") {
        bool ok = false;
        const int count = arguments.value(0).toInt(&ok);
        if (!ok || count < 0 || count > settings().maxPlayers)
            return "Usage: sim_players 0.." + QByteArray::number(settings().maxPlayers) + '\n';
        m_spectators = count;
        m_peakSpectators = std::max(m_peakSpectators, count);
        updateRates();
        return "sim_players " + QByteArray::number(count) + '\n';
    }
    if (name == "sim_rate" && arguments.value(0) == "auto") {
        m_ratesFixed = false;
        updateRates();
        return QByteArray("sim_rate auto\n");
    }
    if (name == "sim_rate") {
        bool outOk = false;
        bool inOk = arguments.size() < 2;
        const double out = arguments.value(0).toDouble(&outOk);
        const double in = arguments.size() < 2 ? m_inRate : arguments[1].toDouble(&inOk);
        if (!outOk || !inOk || out < 0 || in < 0 || out > 1e6 || in > 1e6)
            return "Usage: sim_rate OUT [IN] | sim_rate auto\n";
        m_outRate = out;
        m_inRate = in;
        m_ratesFixed = true;
        return "sim_rate " + oneDecimal(out) + ' ' + oneDecimal(in) + '\n';
    }
    return std::nullopt;
}

QByteArray HltvProxy::connectTo(const QByteArray& argument)
{
    const QByteArray requested = wireText(unquoted(argument), 63);
    if (requested.trimmed().isEmpty())
        return "Usage: connect <IP:port>\n";
    const QByteArray target = normalisedAddress(requested);
    if (target == address())
        return "Cannot connect to myself.\n";
    QByteArray output = "Connecting to " + target + "...\n";
    const Machine* machine = park().machineAt(target);
    if (machine && !machine->joinPassword().isEmpty() && machine->joinPassword() != m_serverPassword) {
        takeUpstream({});
        return output + "Connection refused: bad password.\n";
    }
    takeUpstream(target);
    return output;
}

void HltvProxy::takeUpstream(const QByteArray& address)
{
    // A demo ends when the game it records goes away.
    if (address != m_upstream && !m_recordFile.isEmpty())
        stopRecording();
    m_upstream = address;
    const Machine* machine = park().machineAt(address);
    m_upstreamIsProxy = machine && machine->kind() == MachineKind::Proxy;
    m_upstreamRestarts = machine ? machine->restarts() : 0;
    if (!address.isEmpty())
        m_retryTarget.clear();
}

QByteArray HltvProxy::record(const QByteArray& argument)
{
    QByteArray name = wireText(unquoted(argument.trimmed()), 96);
    if (name.endsWith(".dem"))
        name.chop(4);
    if (name.isEmpty())
        return "Usage: record <filename>\n";
    if (m_upstream.isEmpty())
        return "Cannot record, not connected to a server.\n";
    if (!m_recordFile.isEmpty())
        return "Already recording to " + m_recordFile + ".\n";
    m_recordFile = name + ".dem";
    m_recordSeconds = 0;
    m_demo.start(name, currentMap());
    return "Start recording to " + m_recordFile + ".\n";
}

QByteArray HltvProxy::stopRecording()
{
    if (m_recordFile.isEmpty())
        return "Not recording.\n";
    const QByteArray output =
        "Completed demo " + m_recordFile + " (" + QByteArray::number(m_recordSeconds) + " sec).\n";
    m_recordFile.clear();
    m_recordSeconds = 0;
    m_demo.stop();
    return output;
}

QByteArray HltvProxy::statusText() const
{
    return settings().style == ProxyStyle::Current ? currentStatus() : oldStatus();
}

QByteArray HltvProxy::oldStatus() const
{
    QByteArray text = "----- Status -----\n";
    text += "Name " + m_hostName + ", Delay " + QByteArray::number(m_delay) + ", Port " +
            QByteArray::number(port()) + ", Clients " + QByteArray::number(clients()) + '/' +
            QByteArray::number(settings().maxPlayers) + '\n';
    text += "Local IP " + address() + ", Network In " + oneDecimal(m_inRate) +
            (settings().rateLine == RateLine::Plain ? " Out " : ", Out ") + oneDecimal(m_outRate) + '\n';
    if (m_upstream.isEmpty())
        text += "HLTV proxy disconnected.\n";
    else
        text += "HLTV proxy connected to " + m_upstream +
                (m_upstreamIsProxy ? QByteArray(", relay.\n")
                                   : ", delay " + QByteArray::number(m_delay) + "s.\n");
    if (!m_recordFile.isEmpty())
        text += "Recording to " + m_recordFile + " (" + QByteArray::number(m_recordSeconds) + " sec)\n";
    return text;
}

QByteArray HltvProxy::currentStatus() const
{
    const QByteArray relays = QByteArray::number(park().relaysOf(address()));
    const QByteArray slotCount = QByteArray::number(settings().maxPlayers);
    const QByteArray spectators = QByteArray::number(m_spectators);
    QByteArray text = "--- HLTV Status ---\n";
    text += "Online " + clock(m_onlineSeconds) + ", FPS 100.0, Version 1.1.2.0/Stdio (Linux)\n";
    text += "Local IP " + address() + ", Network In " + oneDecimal(m_inRate) + ", Out " +
            oneDecimal(m_outRate) + ", Loss 0.00\n";
    text += "Local Slots " + slotCount + ", Spectators " + spectators + " (max " +
            QByteArray::number(m_peakSpectators) + "), Proxies " + relays + '\n';
    text += "Total Slots " + slotCount + ", Spectators " + spectators + ", Proxies " + relays + '\n';
    if (m_upstream.isEmpty())
        text += "Not connected.\n";
    else if (m_upstreamIsProxy)
        text += "Connected to HLTV Proxy " + m_upstream + '\n';
    else
        text += "Connected to Game Server " + m_upstream + ", Delay " + QByteArray::number(m_delay) + '\n';
    if (!m_recordFile.isEmpty())
        text += "Recording to " + m_recordFile + ", Length " + oneDecimal(m_recordSeconds) + " sec.\n";
    return text;
}
