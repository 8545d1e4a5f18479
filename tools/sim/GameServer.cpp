#include "GameServer.h"

#include "ConfigFile.h"
#include "RconRequest.h"

#include <QList>

#include <algorithm>

namespace {

const QList<QByteArray> kMaps{"de_dust2", "de_inferno", "de_nuke", "de_train", "de_aztec", "cs_office"};

QByteArray descriptionFor(const QByteArray& gameDir)
{
    if (gameDir == "cstrike")
        return "Counter-Strike";
    if (gameDir == "valve")
        return "Half-Life";
    return gameDir;
}

// Connected time as the status table shows it: m:ss, or h:mm:ss past an hour.
QByteArray connectedTime(int seconds)
{
    const int hours = seconds / 3600;
    const int minutes = seconds / 60 % 60;
    const QByteArray ss = QByteArray::number(seconds % 60).rightJustified(2, '0');
    if (hours > 0)
        return QByteArray::number(hours) + ':' + QByteArray::number(minutes).rightJustified(2, '0') + ':' +
               ss;
    return QByteArray::number(minutes) + ':' + ss;
}

std::optional<int> wholeNumber(const QByteArray& text, int lowest, int highest)
{
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < lowest || value > highest)
        return std::nullopt;
    return value;
}

} // namespace

GameServer::GameServer(const MachineSettings& settings, int index, int ordinal, quint32 seed,
                       QByteArray controlPassword, const ParkDirectory& park)
    : HalfLifeMachine(settings, index, ordinal, seed, std::move(controlPassword), park),
      m_hostName(settings.hostName.isEmpty() ? "Quorvane Sim Server " + QByteArray::number(ordinal)
                                             : settings.hostName),
      m_map(settings.map.isEmpty() ? kMaps[(ordinal - 1) % kMaps.size()] : settings.map),
      m_description(settings.description.isEmpty() ? descriptionFor(settings.gameDir) : settings.description),
      m_serverPassword(settings.serverPassword), m_roster(random(), settings.maxPlayers),
      m_match(settings.match),
      m_log([this](const QByteArray& datagram, const QHostAddress& address, quint16 port) {
          send(datagram, Peer{address, port});
      }),
      m_bans([this](const QByteArray& uniqueId) {
          int kicked = 0;
          for (const Player& player : std::vector<Player>(m_roster.players())) {
              if (player.uniqueId == uniqueId && m_roster.kick(player.name))
                  ++kicked;
          }
          return kicked;
      })
{
    m_mapFiles = settings.maps.isEmpty() ? kMaps : settings.maps;
    for (int i = 1; i <= settings.extraMaps; ++i)
        m_mapFiles.append("sim_map_" + QByteArray::number(i));
    m_rules = settings.rules;
    const QList<QPair<QByteArray, QByteArray>> stock{
        {"mp_timelimit", "30"}, {"mp_friendlyfire", "0"}, {"mp_freezetime", "3"}, {"mp_roundtime", "5"},
        {"mp_c4timer", "35"},   {"sv_gravity", "800"},    {"sv_maxspeed", "320"}, {"mp_autokick", "1"}};
    for (const auto& rule : stock) {
        if (std::none_of(m_rules.begin(), m_rules.end(),
                         [&](const auto& r) { return r.first == rule.first; }))
            m_rules.append(rule);
    }
    for (int i = 1; i <= settings.extraRules; ++i)
        m_rules.append({"sim_rule_" + QByteArray::number(i), QByteArray::number(i)});
    const int capacity = m_roster.capacity();
    m_roster.reset(settings.players >= 0 ? settings.players
                                         : static_cast<int>(random().bounded(2, capacity * 2 / 3 + 3)));
}

void GameServer::tick()
{
    const std::vector<Player> before = m_roster.players();
    m_roster.tick(moves());
    if (moves()) {
        // slowly: one player in or out every twenty seconds or so
        const int roll = static_cast<int>(random().bounded(40));
        if (roll == 0 && !m_roster.join())
            m_roster.leave();
        else if (roll == 1)
            m_roster.leave();
    }
    m_match.tick(random());
    m_bans.tick();
    if (m_log.streaming())
        logTick(before);
}

void GameServer::logTick(const std::vector<Player>& before)
{
    const auto absent = [](const std::vector<Player>& list, const Player& who) {
        return std::none_of(list.begin(), list.end(),
                            [&](const Player& p) { return p.userId == who.userId; });
    };
    const std::vector<Player>& now = m_roster.players();
    for (const Player& who : before) {
        if (absent(now, who))
            m_log.write(ServerLog::player(who) + " disconnected");
    }
    for (const Player& who : now) {
        if (absent(before, who)) {
            m_log.write(ServerLog::player(who) +
                        " connected, address \"127.0.0.1:" + QByteArray::number(who.clientPort) + '"');
            m_log.write(ServerLog::player(who) + " entered the game");
        }
    }
    if (!moves() || now.size() < 2 || random().bounded(4) != 0)
        return;
    static const QList<QByteArray> kWeapons{"ak47", "m4a1", "awp", "deagle", "usp", "knife"};
    static const QList<QByteArray> kChat{"gg", "nice shot", "rush B", "who has the bomb?", "lol \"quoted\""};
    const Player& one = now[random().bounded(static_cast<int>(now.size()))];
    const Player& other = now[random().bounded(static_cast<int>(now.size()))];
    if (random().bounded(2) == 0 && one.userId != other.userId)
        m_log.write(ServerLog::player(one) + " killed " + ServerLog::player(other) + " with \"" +
                    kWeapons[random().bounded(kWeapons.size())] + '"');
    else
        m_log.write(ServerLog::player(one) + " say \"" + kChat[random().bounded(kChat.size())] + '"');
}

void GameServer::logStart()
{
    m_log.write("Started map \"" + m_map + "\" (CRC \"-1\")");
    m_log.write("World triggered \"Round_Start\"");
    const std::vector<Player>& players = m_roster.players();
    for (const Player& who : players)
        m_log.write(ServerLog::player(who) + " entered the game");
    if (!players.empty())
        m_log.write(ServerLog::player(players.front()) + " say \"hello from the park\"");
}

InfoFacts GameServer::info() const
{
    InfoFacts facts;
    facts.hostName = m_hostName;
    facts.map = m_map;
    facts.gameDir = settings().gameDir;
    facts.description = m_description;
    facts.players = static_cast<int>(m_roster.players().size());
    facts.maxPlayers = m_roster.capacity();
    facts.serverType = 'd';
    facts.passworded = !m_serverPassword.isEmpty();
    return facts;
}

std::vector<Player> GameServer::listedPlayers() const
{
    return m_roster.players();
}

QByteArray GameServer::runCommand(const QByteArray& command)
{
    const QByteArray name = commandName(command);
    const QByteArray argument = commandArgument(command);
    if (name == "status")
        return statusText();
    if (name == "sv_password")
        return cvar("sv_password", &m_serverPassword, argument);
    if (name == "hostname")
        return cvar("hostname", &m_hostName, argument);
    if (name == "nxn_match_report")
        return m_match.report();
    if (name == "say")
        return "Console: " + wireText(unquoted(argument), 190) + '\n';
    if (name == "kick")
        return kick(argument);
    if (const auto output = m_log.runCommand(name, argument)) {
        if (name == "log" && argument == "on")
            logStart();
        return *output;
    }
    if (name == "maps")
        return listMaps(unquoted(argument));
    if (const auto output = m_bans.runCommand(name, argument))
        return *output;
    if (name == "sv_restart") {
        bool ok = false;
        const int seconds = unquoted(argument).toInt(&ok);
        if (!ok || seconds < 1 || seconds > 60)
            return {};
        m_log.write("World triggered \"Restart_Round_(" + QByteArray::number(seconds) +
                    (seconds == 1 ? "_second)\"" : "_seconds)\""));
        return {};
    }
    if (const auto output = ruleCommand(name, argument))
        return *output;
    if (name == "changelevel") {
        const QByteArray map = wireText(unquoted(argument), 31);
        if (map.isEmpty())
            return "changelevel <levelname> : continue game on a new level\n";
        m_map = map;
        m_log.write("Loading map \"" + m_map + '"');
        m_log.write("Started map \"" + m_map + "\" (CRC \"-1\")");
        return {};
    }
    return unknownCommand(command);
}

std::optional<QByteArray> GameServer::runSimCommand(const QByteArray& name,
                                                    const QList<QByteArray>& arguments)
{
    if (name == "sim_players") {
        const auto count = wholeNumber(arguments.value(0), 0, m_roster.capacity());
        if (!count)
            return "Usage: sim_players 0.." + QByteArray::number(m_roster.capacity()) + '\n';
        m_roster.reset(*count);
        return "sim_players " + QByteArray::number(*count) + '\n';
    }
    if (name == "sim_match")
        return simMatch(arguments);
    if (name == "sim_banfull") {
        if (arguments.value(0) != "0" && arguments.value(0) != "1")
            return "Usage: sim_banfull 0|1\n";
        m_bans.setFull(arguments.value(0) == "1");
        return "sim_banfull " + arguments.value(0) + '\n';
    }
    return std::nullopt;
}

QByteArray GameServer::simMatch(const QList<QByteArray>& arguments)
{
    static const QByteArray kUsage(
        "Usage: sim_match STATE [TEAMA TEAMB [A1 A2 B1 B2]] | sim_match moving 0|1\n");
    if (arguments.value(0) == "moving") {
        const QByteArray flag = arguments.value(1);
        if (flag != "0" && flag != "1")
            return kUsage;
        m_match.setMoving(flag == "1");
        return "sim_match moving " + flag + '\n';
    }
    const auto state = wholeNumber(arguments.value(0), 0, 5);
    if (!state || arguments.size() == 2 ||
        (arguments.size() != 1 && arguments.size() != 3 && arguments.size() != 7))
        return kUsage;
    std::optional<int> scores[4];
    for (int i = 0; i < 4 && arguments.size() == 7; ++i) {
        scores[i] = wholeNumber(arguments[3 + i], 0, 999);
        if (!scores[i])
            return kUsage;
    }
    const auto team = [&](int i) {
        QByteArray name = wireText(arguments.value(i), 31);
        return name.replace(';', QByteArray()).replace('"', QByteArray());
    };
    m_match.set(*state, team(1), team(2));
    if (arguments.size() == 7)
        m_match.setScores(*scores[0], *scores[1], *scores[2], *scores[3]);
    return m_match.report();
}

QByteArray GameServer::listMaps(const QByteArray& argument) const
{
    if (argument.isEmpty())
        return "Usage:  maps <substring>\nmaps * for full listing\n";
    QByteArray text = "-------------\n";
    for (const QByteArray& map : m_mapFiles) {
        if (argument == "*" || map.contains(argument))
            text += map + ".bsp\n";
    }
    return text;
}

std::optional<QByteArray> GameServer::ruleCommand(const QByteArray& name, const QByteArray& argument)
{
    for (auto& [rule, value] : m_rules) {
        if (rule != name)
            continue;
        if (argument.isEmpty())
            return '"' + rule + "\" is \"" + value + "\"\n";
        value = wireText(unquoted(argument), 127);
        return QByteArray();
    }
    return std::nullopt;
}

QByteArray GameServer::cvar(const char* name, QByteArray* value, const QByteArray& argument)
{
    if (argument.isEmpty())
        return '"' + QByteArray(name) + "\" is \"" + *value + "\"\n";
    *value = wireText(unquoted(argument), 127);
    return {};
}

QByteArray GameServer::kick(const QByteArray& argument)
{
    const QByteArray wanted = unquoted(argument);
    if (wanted.isEmpty())
        return "Usage: kick < name > | < # userid >\n";
    QByteArray name = wanted;
    if (wanted.startsWith('#')) {
        bool ok = false;
        const int userId = wanted.mid(1).toInt(&ok);
        for (const Player& player : m_roster.players()) {
            if (ok && player.userId == userId)
                name = player.name;
        }
    }
    if (!m_roster.kick(name))
        return "Couldn't find player \"" + wireText(wanted, 63) + "\"\n";
    return "Kicked \"" + name + "\"\n";
}

QByteArray GameServer::statusText() const
{
    const auto& players = m_roster.players();
    QByteArray text;
    text += "hostname:  " + m_hostName + '\n';
    text += "version :  48/1.1.2.7/Stdio 8684 secure  (10)\n";
    text += "tcp/ip  :  " + address() + '\n';
    text += "map     :  " + m_map + " at: 0 x, 0 y, 0 z\n";
    text += "players :  " + QByteArray::number(players.size()) + " active (" +
            QByteArray::number(m_roster.capacity()) + " max)\n";
    text += "\n#      name userid uniqueid frag time ping loss adr\n";
    int slot = 1;
    for (const Player& player : players) {
        text += '#' + QByteArray::number(slot++).rightJustified(2) + " \"" + player.name + "\" " +
                QByteArray::number(player.userId) + ' ' + player.uniqueId + ' ' +
                QByteArray::number(player.frags).rightJustified(3) + ' ' +
                connectedTime(player.seconds).rightJustified(5) + ' ' +
                QByteArray::number(player.ping).rightJustified(4) +
                "    0 127.0.0.1:" + QByteArray::number(player.clientPort) + '\n';
    }
    text += QByteArray::number(players.size()) + " users\n";
    return text;
}

void GameServer::restart()
{
    HalfLifeMachine::restart();
    m_log.forget();
    m_bans.forget();
}

void GameServer::rconRefused(const RconRequest& request, const Peer& peer)
{
    m_log.write("Bad Rcon: \"rcon " + QByteArray::number(request.challenge) + " \"" +
                wireText(request.password, 64) + "\" " + wireText(request.command, 200) + "\" from \"" +
                peer.address.toString().toLatin1() + ':' + QByteArray::number(peer.port) + '"');
}
