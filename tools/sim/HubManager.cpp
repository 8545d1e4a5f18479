#include "HubManager.h"

#include "ConfigFile.h"
#include "NamePool.h"
#include "ParkDirectory.h"
#include "PrintReply.h"
#include "RconRequest.h"
#include "Wire.h"

#include <algorithm>

namespace {

constexpr int kMaxHubs = 32;
constexpr int kSlots = 32;
constexpr int kNamesPerHub = 10; // how far along the pool each further hub's names start
constexpr int kRelayPlayers = 4; // players on a hub opened by gtv_connect to a machine of the park

const QList<QByteArray> kStages{"Main stage", "Second stage", "Cup final", "Practice", "Showmatch", "Ladder"};

// A value of a backslash-separated reply: no backslash (it would start a
// key), no control characters, at most 63 bytes.
QByteArray valueText(const QByteArray& text)
{
    QByteArray value = wireText(text, 63);
    value.replace('\\', '/');
    return value;
}

std::optional<int> wholeNumber(const QByteArray& text, int lowest, int highest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

int poolSize()
{
    return static_cast<int>(names::pool().size());
}

// The pool's name as a hub shows it: a third of the names plain, a third
// behind one colour code, a third with a second code in the middle
// ("^2Zo^5ë"). Codes never split a UTF-8 sequence, and removing every "^0" to
// "^9" gives the pool's name back.
QByteArray colouredName(int poolIndex)
{
    const QByteArray name = names::at(poolIndex);
    const auto code = [](int digit) { return QByteArray("^") + static_cast<char>('0' + digit % 10); };
    switch (poolIndex % 3) {
    case 0:
        return name;
    case 1:
        return code(poolIndex) + name;
    default: {
        qsizetype cut = name.size() / 2;
        while (cut > 0 && (static_cast<unsigned char>(name[cut]) & 0xC0) == 0x80)
            --cut;
        return code(poolIndex) + name.left(cut) + code(poolIndex + 3) + name.mid(cut);
    }
    }
}

} // namespace

HubManager::HubManager(const MachineSettings& settings, int index, int ordinal, quint32 seed,
                       QByteArray controlPassword, const ParkDirectory& park)
    : Machine(settings, index, ordinal, seed, std::move(controlPassword), park),
      m_hostName(valueText(settings.hostName.isEmpty() ? "Quorvane Sim GTV " + QByteArray::number(ordinal)
                                                       : settings.hostName))
{
    m_clients =
        std::clamp(settings.players >= 0 ? settings.players : static_cast<int>(random().bounded(0, 25)), 0,
                   settings.maxPlayers);
    std::vector<HubSettings> hubs;
    if (settings.hubs) {
        hubs = *settings.hubs;
    } else {
        hubs.resize(static_cast<size_t>(random().bounded(1, 5)));
        for (size_t i = 0; i < hubs.size(); ++i)
            hubs[i].number = static_cast<int>(i) + 1;
    }
    for (size_t i = 0; i < hubs.size() && i < static_cast<size_t>(kMaxHubs); ++i)
        m_hubs.push_back(newHub(static_cast<int>(i), hubs[i]));
}

HubManager::Hub HubManager::newHub(int position, const HubSettings& hubSettings)
{
    Hub hub;
    hub.number = hubSettings.number >= 0 ? hubSettings.number : nextNumber();
    hub.description = valueText(hubSettings.description.isEmpty() ? kStages[position % kStages.size()]
                                                                  : hubSettings.description);
    hub.parentReference = hubSettings.parent;
    hub.namesFrom = position * kNamesPerHub % poolSize();
    seat(hub, hubSettings.players >= 0 ? hubSettings.players : static_cast<int>(random().bounded(2, 11)));
    if (hubSettings.following >= -1)
        hub.following = hubSettings.following;
    else if (!hub.seats.empty())
        hub.following = hub.seats[random().bounded(static_cast<quint32>(hub.seats.size()))].slot;
    return hub;
}

bool HubManager::relayAtStart(QString* error)
{
    for (size_t i = 0; i < m_hubs.size(); ++i) {
        Hub& hub = m_hubs[i];
        if (!hub.parentReference) {
            hub.parent = defaultParent(static_cast<int>(i));
            continue;
        }
        if (hub.parentReference->trimmed().isEmpty()) {
            hub.parent.clear();
        } else if (const std::optional<QByteArray> address = park().addressOf(*hub.parentReference)) {
            hub.parent = valueText(normalisedAddress(*address));
        } else {
            *error = QStringLiteral("hub manager %1: hub %2 relays \"%3\", which the park does not have")
                         .arg(ordinal())
                         .arg(hub.number)
                         .arg(QString::fromUtf8(*hub.parentReference));
            return false;
        }
        hub.parentReference.reset();
    }
    return true;
}

QByteArray HubManager::defaultParent(int position) const
{
    // The hubs of a manager take the park's game servers in turn, each
    // manager starting one further along.
    const int servers = park().countOf(MachineKind::Server);
    if (servers == 0)
        return {};
    const int server = (ordinal() - 1 + position) % servers;
    return park().addressOf("server:" + QByteArray::number(server)).value_or(QByteArray());
}

int HubManager::nextNumber() const
{
    int highest = 0;
    for (const Hub& hub : m_hubs)
        highest = std::max(highest, hub.number);
    return highest + 1;
}

HubManager::Hub* HubManager::hubNumbered(int number)
{
    const auto it =
        std::find_if(m_hubs.begin(), m_hubs.end(), [&](const Hub& hub) { return hub.number == number; });
    return it == m_hubs.end() ? nullptr : &*it;
}

void HubManager::seat(Hub& hub, int count)
{
    hub.seats.clear();
    count = std::clamp(count, 0, kSlots);
    for (int k = 0; k < count; ++k)
        hub.seats.push_back(Seat{k, (hub.namesFrom + k) % poolSize()});
    if (hub.following >= count)
        hub.following = -1;
}

bool HubManager::join(Hub& hub)
{
    if (static_cast<int>(hub.seats.size()) >= kSlots)
        return false;
    int slot = 0;
    while (
        std::any_of(hub.seats.begin(), hub.seats.end(), [&](const Seat& seat) { return seat.slot == slot; }))
        ++slot;
    QList<int> absent;
    for (int poolIndex = 0; poolIndex < poolSize(); ++poolIndex) {
        if (std::none_of(hub.seats.begin(), hub.seats.end(),
                         [&](const Seat& seat) { return seat.poolIndex == poolIndex; }))
            absent.append(poolIndex);
    }
    if (absent.isEmpty())
        return false;
    const Seat arrival{slot, absent[random().bounded(static_cast<int>(absent.size()))]};
    hub.seats.insert(std::upper_bound(hub.seats.begin(), hub.seats.end(), arrival,
                                      [](const Seat& a, const Seat& b) { return a.slot < b.slot; }),
                     arrival);
    return true;
}

bool HubManager::leave(Hub& hub)
{
    if (hub.seats.empty())
        return false;
    const auto it = hub.seats.begin() + random().bounded(static_cast<int>(hub.seats.size()));
    // A hub whose player leaves follows nobody until it is told otherwise.
    if (it->slot == hub.following)
        hub.following = -1;
    hub.seats.erase(it);
    return true;
}

void HubManager::tick()
{
    if (!moves())
        return;
    if (random().bounded(15) == 0) {
        const int step = random().bounded(2) == 0 ? -1 : 1;
        m_clients = std::clamp(m_clients + step, 0, settings().maxPlayers);
    }
    // slowly: one player in or out of a hub about every half minute
    for (Hub& hub : m_hubs) {
        const int roll = static_cast<int>(random().bounded(60));
        if (roll == 0 && !join(hub))
            leave(hub);
        else if (roll == 1)
            leave(hub);
    }
}

void HubManager::answer(const QByteArray& datagram, const Peer& peer)
{
    const QByteArray text = queryText(datagram);
    if (text.startsWith("rcon ")) {
        answerRcon(parseChallengelessRcon(text), true, peer);
        return;
    }
    if (banned()) {
        sendBanned(peer);
        return;
    }
    if (silent())
        return;
    const QByteArray query = text.trimmed();
    const QByteArray word = commandName(query);
    const QByteArray argument = commandArgument(query);
    if (word.compare("getManagerInfo", Qt::CaseInsensitive) == 0 && argument.isEmpty()) {
        send(managerInfo(), peer);
    } else if (word.compare("gethubinfo", Qt::CaseInsensitive) == 0) {
        // A hub the manager does not run gets no answer.
        bool ok = false;
        const int number = argument.toInt(&ok);
        if (const Hub* hub = ok ? hubNumbered(number) : nullptr)
            send(hubInfo(*hub), peer);
    }
}

QByteArray HubManager::managerInfo() const
{
    // Two numbers a hub: its number, then how many players it shows.
    QByteArray list;
    for (const Hub& hub : m_hubs) {
        if (!list.isEmpty())
            list += ' ';
        list += QByteArray::number(hub.number) + ' ' + QByteArray::number(hub.seats.size());
    }
    return wire::kPrefix + "managerInfoResponse\n\\hostname\\" + m_hostName + "\\clients\\" +
           QByteArray::number(m_clients) + "\\sv_maxclients\\" + QByteArray::number(settings().maxPlayers) +
           "\\numHubs\\" + QByteArray::number(m_hubs.size()) + "\\hubs\\" + list + '\0';
}

QByteArray HubManager::hubInfo(const Hub& hub) const
{
    QByteArray text =
        "hubInfoResponse\n\\hubNum\\" + QByteArray::number(hub.number) + "\\desc\\" + hub.description;
    if (!hub.parent.isEmpty())
        text += "\\parent\\" + hub.parent;
    if (hub.following >= 0)
        text += "\\following\\" + QByteArray::number(hub.following);
    for (const Seat& seat : hub.seats) {
        const QByteArray key = "\\p" + QByteArray::number(seat.slot);
        // the team: 1 and 2 by turns
        text += key + "t\\" + QByteArray::number(1 + seat.slot % 2) + key + "n\\" +
                valueText(colouredName(seat.poolIndex));
    }
    return wire::kPrefix + text + '\0';
}

QByteArray HubManager::refusal() const
{
    return settings().refusal == Refusal::Silent ? QByteArray() : Machine::refusal();
}

QByteArray HubManager::printHead() const
{
    return print::kHubHead;
}

QByteArray HubManager::runCommand(const QByteArray& command)
{
    const QByteArray name = commandName(command);
    const QByteArray argument = commandArgument(command);
    if (name == "gtv_follow")
        return follow(splitArguments(argument));
    if (name == "gtv_connect")
        return connectTo(argument);
    return unknownCommand(command);
}

QByteArray HubManager::follow(const QList<QByteArray>& arguments)
{
    if (arguments.isEmpty())
        return followState();
    const std::optional<int> slot = wholeNumber(arguments.value(0), 0, kSlots - 1);
    const std::optional<int> number = wholeNumber(arguments.value(1), 0, 65535);
    if (arguments.size() != 2 || !slot || !number)
        return "Usage: gtv_follow [SLOT HUB]\n";
    Hub* hub = hubNumbered(*number);
    if (!hub)
        return "No hub " + QByteArray::number(*number) + '\n';
    if (std::none_of(hub->seats.begin(), hub->seats.end(),
                     [&](const Seat& seat) { return seat.slot == *slot; }))
        return "No player in slot " + QByteArray::number(*slot) + " on hub " + QByteArray::number(*number) +
               '\n';
    hub->following = *slot;
    return "Following player " + QByteArray::number(*slot) + " on hub " + QByteArray::number(*number) + '\n';
}

QByteArray HubManager::followState() const
{
    if (m_hubs.empty())
        return "No hubs\n";
    QByteArray text;
    for (const Hub& hub : m_hubs) {
        const QByteArray whom =
            hub.following >= 0 ? "player " + QByteArray::number(hub.following) : QByteArray("nobody");
        text += "Following " + whom + " on hub " + QByteArray::number(hub.number) + '\n';
    }
    return text;
}

QByteArray HubManager::connectTo(const QByteArray& argument)
{
    const QByteArray requested = valueText(unquoted(argument.trimmed())).trimmed();
    if (requested.isEmpty() || requested.contains(' '))
        return "Usage: gtv_connect <IP:port>\n";
    const QByteArray target = valueText(normalisedAddress(requested));
    if (target == address())
        return "Cannot connect to myself\n";
    for (const Hub& hub : m_hubs) {
        if (hub.parent == target)
            return "Already relaying " + target + " on hub " + QByteArray::number(hub.number) + '\n';
    }
    if (m_hubs.size() >= static_cast<size_t>(kMaxHubs))
        return "No free hub for " + target + '\n';
    // A new hub relays the address; it follows nobody until told.
    HubSettings opened;
    opened.description = "Relay of " + target;
    opened.parent = target;
    opened.players = park().machineAt(target) ? kRelayPlayers : 0;
    opened.following = -1;
    Hub hub = newHub(static_cast<int>(m_hubs.size()), opened);
    hub.parent = target;
    hub.parentReference.reset();
    m_hubs.push_back(hub);
    return "Connecting to " + target + " on hub " + QByteArray::number(hub.number) + '\n';
}

std::optional<QByteArray> HubManager::runSimCommand(const QByteArray& name,
                                                    const QList<QByteArray>& arguments)
{
    if (name == "sim_players")
        return simPlayers(arguments);
    if (name == "sim_hubs")
        return simHubs(arguments);
    if (name == "sim_clients") {
        const std::optional<int> count = wholeNumber(arguments.value(0), 0, settings().maxPlayers);
        if (!count || arguments.size() != 1)
            return "Usage: sim_clients 0.." + QByteArray::number(settings().maxPlayers) + '\n';
        m_clients = *count;
        return "sim_clients " + QByteArray::number(*count) + '\n';
    }
    return std::nullopt;
}

QByteArray HubManager::simPlayers(const QList<QByteArray>& arguments)
{
    const std::optional<int> count = wholeNumber(arguments.value(0), 0, kSlots);
    const std::optional<int> number = wholeNumber(arguments.value(1), 0, 65535);
    if (!count || arguments.size() > 2 || (arguments.size() == 2 && !number))
        return "Usage: sim_players 0.." + QByteArray::number(kSlots) + " [HUB]\n";
    if (arguments.size() == 2) {
        Hub* hub = hubNumbered(*number);
        if (!hub)
            return "No hub " + QByteArray::number(*number) + '\n';
        seat(*hub, *count);
    } else {
        for (Hub& hub : m_hubs)
            seat(hub, *count);
    }
    return "sim_players " + arguments.join(' ') + '\n';
}

QByteArray HubManager::simHubs(const QList<QByteArray>& arguments)
{
    const std::optional<int> count = wholeNumber(arguments.value(0), 0, kMaxHubs);
    if (!count || arguments.size() != 1)
        return "Usage: sim_hubs 0.." + QByteArray::number(kMaxHubs) + '\n';
    if (static_cast<size_t>(*count) < m_hubs.size())
        m_hubs.resize(static_cast<size_t>(*count));
    while (m_hubs.size() < static_cast<size_t>(*count)) {
        const int position = static_cast<int>(m_hubs.size());
        Hub hub = newHub(position, HubSettings{});
        hub.parent = defaultParent(position);
        hub.parentReference.reset();
        m_hubs.push_back(hub);
    }
    return "sim_hubs " + QByteArray::number(*count) + '\n';
}
