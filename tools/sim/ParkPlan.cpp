#include "ParkPlan.h"

#include "ConfigFile.h"

#include <QCommandLineParser>
#include <QRandomGenerator>
#include <QSet>

namespace {

constexpr int kMaxMachines = 2048;

std::optional<int> countOption(const QCommandLineParser& parser, const QString& name, QString* error)
{
    if (!parser.isSet(name))
        return 0;
    bool ok = false;
    const int value = parser.value(name).toInt(&ok);
    if (!ok || value < 0 || value > kMaxMachines) {
        *error = QStringLiteral("--%1 takes a count from 0 to %2").arg(name).arg(kMaxMachines);
        return std::nullopt;
    }
    return value;
}

// Ports from --ports, one per machine in listing order.
std::optional<QList<quint16>> portList(const QString& text, QString* error)
{
    QList<quint16> ports;
    for (const QString& item : text.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        bool ok = false;
        const uint port = item.trimmed().toUInt(&ok);
        if (!ok || port > 65535) {
            *error = QStringLiteral("--ports: \"%1\" is not a port").arg(item);
            return std::nullopt;
        }
        ports.append(static_cast<quint16>(port));
    }
    return ports;
}

// Gives every machine without a port of its own the next counted port
// (none of those taken by other machines), or a free one when counting
// starts at 0.
bool countPorts(std::vector<MachineSettings>& machines, int first, QString* error)
{
    QSet<int> taken;
    for (const MachineSettings& machine : machines) {
        if (machine.port > 0 && taken.contains(machine.port)) {
            *error = QStringLiteral("port %1 is given to two machines").arg(machine.port);
            return false;
        }
        if (machine.port > 0)
            taken.insert(machine.port);
    }
    int next = first;
    for (MachineSettings& machine : machines) {
        if (machine.port >= 0)
            continue;
        if (first == 0) {
            machine.port = 0;
            continue;
        }
        while (taken.contains(next))
            ++next;
        if (next > 65535) {
            *error = QStringLiteral("counting ports from %1 runs past 65535").arg(first);
            return false;
        }
        machine.port = next++;
    }
    return true;
}

} // namespace

std::optional<ParkPlan> planFromCommandLine(const QStringList& arguments, QString* error, QString* helpText)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("A simulated park of Half-Life game servers, HLTV proxies and GTV hub managers\n"
                       "answering on 127.0.0.1. Prints one line per machine (\"server 127.0.0.1:PORT\",\n"
                       "\"proxy 127.0.0.1:PORT\", \"hub 127.0.0.1:PORT\"), then \"ready\", once every\n"
                       "machine listens."));
    const QCommandLineOption help(QStringList{QStringLiteral("h"), QStringLiteral("help")},
                                  QStringLiteral("Show this help."));
    parser.addOption(help);
    parser.addOptions({
        {QStringLiteral("servers"), QStringLiteral("Number of game servers."), QStringLiteral("N")},
        {QStringLiteral("proxies"), QStringLiteral("Number of HLTV proxies."), QStringLiteral("N")},
        {QStringLiteral("hubs"), QStringLiteral("Number of GTV hub managers."), QStringLiteral("N")},
        {QStringLiteral("port"),
         QStringLiteral("First port, counted up (servers, proxies, hubs); 0 picks free ports."),
         QStringLiteral("FIRST"), QStringLiteral("27015")},
        {QStringLiteral("ports"), QStringLiteral("Exact ports, one per machine in listing order."),
         QStringLiteral("P1,P2,...")},
        {QStringLiteral("rcon"), QStringLiteral("Rcon password of every machine."),
         QStringLiteral("PASSWORD")},
        {QStringLiteral("control"), QStringLiteral("Password for the sim_ commands (default \"sim\")."),
         QStringLiteral("PASSWORD")},
        {QStringLiteral("proxy-style"), QStringLiteral("Status text of the proxies: old or current."),
         QStringLiteral("STYLE"), QStringLiteral("old")},
        {QStringLiteral("proxy-framing"),
         QStringLiteral("Byte the proxies put before a print text: none, backtick or nul."),
         QStringLiteral("BYTE"), QStringLiteral("none")},
        {QStringLiteral("hub-refusal"),
         QStringLiteral("How hub managers answer a wrong rcon password: print or silent."),
         QStringLiteral("HOW"), QStringLiteral("print")},
        {QStringLiteral("modern-only"),
         QStringLiteral("Game servers ignore the old details and players queries.")},
        {QStringLiteral("challenge"), QStringLiteral("Game servers demand a challenge on the info query.")},
        {QStringLiteral("config"), QStringLiteral("JSON file describing further machines."),
         QStringLiteral("FILE")},
        {QStringLiteral("seed"), QStringLiteral("Seed of everything random."), QStringLiteral("N")},
        {QStringLiteral("still"), QStringLiteral("Nothing moves by itself (players, spectators, rates).")},
        {QStringLiteral("matches"),
         QStringLiteral("Matches on the command line's servers run by themselves.")},
        {QStringLiteral("demo-dir"),
         QStringLiteral("Folder the proxies write their demo files to, as a proxy does."),
         QStringLiteral("DIR")},
        {QStringLiteral("count-queries"),
         QStringLiteral("On exit, print the queries received and replies sent to standard error.")},
    });
    if (!parser.parse(arguments)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(help)) {
        *helpText = parser.helpText();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first());
        return std::nullopt;
    }

    const auto servers = countOption(parser, QStringLiteral("servers"), error);
    const auto proxies = countOption(parser, QStringLiteral("proxies"), error);
    const auto hubs = countOption(parser, QStringLiteral("hubs"), error);
    if (!servers || !proxies || !hubs)
        return std::nullopt;
    bool ok = false;
    const uint first = parser.value(QStringLiteral("port")).toUInt(&ok);
    if (!ok || first > 65535) {
        *error = QStringLiteral("--port takes a port from 0 to 65535");
        return std::nullopt;
    }

    ParkPlan plan;
    plan.countQueries = parser.isSet(QStringLiteral("count-queries"));
    if (parser.isSet(QStringLiteral("control")))
        plan.controlPassword = parser.value(QStringLiteral("control")).toUtf8();

    MachineSettings serverDefaults;
    serverDefaults.kind = MachineKind::Server;
    serverDefaults.rconPassword = parser.value(QStringLiteral("rcon")).toUtf8();
    serverDefaults.modernOnly = parser.isSet(QStringLiteral("modern-only"));
    serverDefaults.demandChallenge = parser.isSet(QStringLiteral("challenge"));
    serverDefaults.moves = !parser.isSet(QStringLiteral("still"));
    serverDefaults.match.moves = parser.isSet(QStringLiteral("matches"));

    MachineSettings proxyDefaults;
    proxyDefaults.kind = MachineKind::Proxy;
    proxyDefaults.rconPassword = serverDefaults.rconPassword;
    proxyDefaults.moves = serverDefaults.moves;
    proxyDefaults.maxPlayers = 128;
    proxyDefaults.demoDir = parser.value(QStringLiteral("demo-dir"));
    const QString style = parser.value(QStringLiteral("proxy-style"));
    if (style == QLatin1String("current")) {
        proxyDefaults.style = ProxyStyle::Current;
    } else if (style != QLatin1String("old")) {
        *error = QStringLiteral("--proxy-style takes old or current");
        return std::nullopt;
    }
    const QString framing = parser.value(QStringLiteral("proxy-framing"));
    if (framing == QLatin1String("backtick")) {
        proxyDefaults.framing = Framing::Backtick;
    } else if (framing == QLatin1String("nul")) {
        proxyDefaults.framing = Framing::Nul;
    } else if (framing != QLatin1String("none")) {
        *error = QStringLiteral("--proxy-framing takes none, backtick or nul");
        return std::nullopt;
    }

    MachineSettings hubDefaults;
    hubDefaults.kind = MachineKind::Hub;
    hubDefaults.rconPassword = serverDefaults.rconPassword;
    hubDefaults.moves = serverDefaults.moves;
    hubDefaults.maxPlayers = 64;
    const QString refusal = parser.value(QStringLiteral("hub-refusal"));
    if (refusal == QLatin1String("silent")) {
        hubDefaults.refusal = Refusal::Silent;
    } else if (refusal != QLatin1String("print")) {
        *error = QStringLiteral("--hub-refusal takes print or silent");
        return std::nullopt;
    }

    ParkConfig config;
    if (parser.isSet(QStringLiteral("config"))) {
        // Matches of the configured servers run only where the file says so.
        MachineSettings configuredServer = serverDefaults;
        configuredServer.match.moves = false;
        auto loaded = loadConfig(parser.value(QStringLiteral("config")), configuredServer, proxyDefaults,
                                 hubDefaults, error);
        if (!loaded)
            return std::nullopt;
        config = std::move(*loaded);
    }

    for (const MachineSettings& machine : config.servers)
        plan.machines.push_back(machine);
    plan.machines.insert(plan.machines.end(), static_cast<size_t>(*servers), serverDefaults);
    for (const MachineSettings& machine : config.proxies)
        plan.machines.push_back(machine);
    plan.machines.insert(plan.machines.end(), static_cast<size_t>(*proxies), proxyDefaults);
    for (const MachineSettings& machine : config.hubs)
        plan.machines.push_back(machine);
    plan.machines.insert(plan.machines.end(), static_cast<size_t>(*hubs), hubDefaults);
    if (plan.machines.size() > static_cast<size_t>(kMaxMachines)) {
        *error = QStringLiteral("more than %1 machines").arg(kMaxMachines);
        return std::nullopt;
    }

    // Old-style proxies that do not say how they write their rate line take
    // turns, so that a park shows both forms.
    int oldProxies = 0;
    for (MachineSettings& machine : plan.machines) {
        if (machine.kind != MachineKind::Proxy || machine.style != ProxyStyle::Old)
            continue;
        if (!machine.rateLineSet)
            machine.rateLine = oldProxies % 2 == 0 ? RateLine::Comma : RateLine::Plain;
        ++oldProxies;
    }

    if (parser.isSet(QStringLiteral("ports"))) {
        const auto ports = portList(parser.value(QStringLiteral("ports")), error);
        if (!ports)
            return std::nullopt;
        if (static_cast<size_t>(ports->size()) != plan.machines.size()) {
            *error = QStringLiteral("--ports lists %1 ports for %2 machines")
                         .arg(ports->size())
                         .arg(plan.machines.size());
            return std::nullopt;
        }
        for (size_t i = 0; i < plan.machines.size(); ++i)
            plan.machines[i].port = ports->at(static_cast<qsizetype>(i));
    }
    if (!countPorts(plan.machines, static_cast<int>(first), error))
        return std::nullopt;

    if (parser.isSet(QStringLiteral("seed"))) {
        const qulonglong seed = parser.value(QStringLiteral("seed")).toULongLong(&ok);
        if (!ok || seed > 0xFFFFFFFFull) {
            *error = QStringLiteral("--seed takes a number from 0 to 4294967295");
            return std::nullopt;
        }
        plan.seed = static_cast<quint32>(seed);
    } else {
        plan.seed = config.seed ? *config.seed : QRandomGenerator::global()->generate();
    }
    return plan;
}
