#include "BenchPark.h"

#include "core/ResourceLimits.h"
#include "layout/CQuorvaneDoc.h"
#include "objects/CGTV.h"
#include "objects/CHLServer.h"
#include "objects/CHLTV.h"

#include <QGuiApplication>
#include <benchmark/benchmark.h>
#include <ctime>

namespace bench {

namespace {

std::string oob(std::string_view body)
{
    std::string datagram(4, '\xFF');
    datagram.append(body);
    return datagram;
}

std::string cString(const std::string& text)
{
    return text + '\0';
}

constexpr int kZones = 4;
constexpr int kGroupsPerZone = 5;

} // namespace

std::string detailsReply(const std::string& address, const std::string& hostname, const std::string& map,
                         int players, int maxPlayers)
{
    std::string body = "m" + cString(address) + cString(hostname) + cString(map) + cString("cstrike") +
                       cString("Counter-Strike");
    body += static_cast<char>(players);
    body += static_cast<char>(maxPlayers);
    body += std::string("\x2F" "dl\0\0\x01\0", 7);
    return oob(body);
}

std::string infoReply(const std::string& hostname, const std::string& map, int players, int maxPlayers)
{
    std::string body = "I\x30" + cString(hostname) + cString(map) + cString("cstrike") + cString("Counter-Strike");
    body += std::string("\x0A\0", 2); // application id
    body += static_cast<char>(players);
    body += static_cast<char>(maxPlayers);
    body += std::string("\0dl\0\x01", 5);
    body += cString("1.1.2.7");
    return oob(body);
}

std::string playersReply(const std::vector<std::string>& names)
{
    std::string body = "D";
    body += static_cast<char>(names.size());
    for (std::size_t i = 0; i < names.size(); ++i) {
        body += static_cast<char>(i + 1);
        body += cString(names[i]);
        body += std::string("\x0C\0\0\0\0\0\x48\x43", 8); // frags 12, 200 s connected
    }
    return oob(body);
}

std::string printReply(const std::string& text)
{
    return oob("l" + cString(text));
}

std::string hubManagerReply(const std::string& hostname, int hubs)
{
    std::string text = "managerInfoResponse\n\\hostname\\" + hostname + "\\clients\\120\\sv_maxclients\\256" +
                       "\\numHubs\\" + std::to_string(hubs) + "\\hubs\\";
    for (int i = 0; i < hubs; ++i)
        text += (i ? " " : "") + std::to_string(i + 1) + " 10";
    return oob(cString(text));
}

std::string hubInfoReply(int hubNumber, const std::string& parent, int players)
{
    std::string text = "hubInfoResponse\n\\hubNum\\" + std::to_string(hubNumber) + "\\desc\\Stage " +
                       std::to_string(hubNumber) + "\\parent\\" + parent + "\\following\\2";
    const auto names = playerNames(players);
    for (int i = 0; i < players; ++i) {
        const std::string slot = std::to_string(i);
        text += "\\p" + slot + "t\\" + std::to_string(1 + i % 2) + "\\p" + slot + "n\\^" + std::to_string(i % 10) +
                names[static_cast<std::size_t>(i)];
    }
    return oob(cString(text));
}

std::vector<std::string> playerNames(int count)
{
    static const char* const kPool[] = {
        "[ABC]bob", "[ABC]alice", "-=XYZ=-Zoe", "-=XYZ=-Kai", "Дмитрий", "Zoë", "player", "(1)player",
        "[ABC]carl", "-=XYZ=-Nia", "Łukasz", "Ana", "Bruno", "[ABC]dora", "-=XYZ=-Eli", "Frank",
    };
    std::vector<std::string> names;
    for (int i = 0; i < count; ++i)
        names.push_back(std::string(kPool[i % 16]) + (i >= 16 ? "#2" : ""));
    return names;
}

std::string serverStatusText(int players)
{
    std::string text = "hostname:  Cup #1\nversion :  48/1.1.2.7/Stdio 8684 secure  (10)\n"
                       "tcp/ip  :  127.0.0.1:27015\nmap     :  de_dust2 at: 0 x, 0 y, 0 z\n"
                       "players :  " +
                       std::to_string(players) + " active (32 max)\n\n#      name userid uniqueid frag time ping loss adr\n";
    const auto names = playerNames(players);
    for (int i = 0; i < players; ++i)
        text += "#" + std::to_string(i + 1) + " \"" + names[static_cast<std::size_t>(i)] + "\" " +
                std::to_string(100 + i) + " STEAM_0:1:" + std::to_string(4000 + i) + "  12  3:20   45    0 127.0.0.1:27005\n";
    text += std::to_string(players) + " users\n";
    return text;
}

std::string proxyStatusText(const std::string& upstream)
{
    return "----- Status -----\nName Cup TV, Delay 30, Port 27020, Clients 87/128\n"
           "Local IP 127.0.0.1:27020, Network In 24.5, Out 310.2\n"
           "HLTV proxy connected to " +
           upstream + ", delay 30s.\nRecording to cup-final-de_dust2.dem (620 sec)\n";
}

std::string loopbackAddress(int index)
{
    return "127.0." + std::to_string(index / 250) + "." + std::to_string(index % 250 + 1);
}

void feedBusyReplies(CCommonObject& object, int round)
{
    const std::string address = object.m_strAddress + ":" + std::to_string(object.m_nPort);
    // Each round's host name differs at its start, as those that show the
    // score do: the box draws differently every poll cycle.
    const std::string score = round == 0 ? "" : "[" + std::to_string(round) + "] ";
    if (auto* hub = dynamic_cast<CGTV*>(&object)) {
        hub->OnReply(hubManagerReply(score + "Cup GTV " + address, 4));
        for (int i = 1; i <= 4; ++i)
            hub->OnReply(hubInfoReply(i, "127.0.0.1:27015", 10));
        for (int i = 0; i < CConsoleLog::kCapacity; ++i)
            hub->OnReply(oob(cString("print\nFollowing player " + std::to_string(i % 10) + " on hub 1\n")));
        return;
    }
    object.OnReply(oob(cString("challenge rcon 2147483647\n")));
    if (dynamic_cast<CHLTV*>(&object)) {
        object.OnReply(detailsReply(address, score + "Cup TV " + address, "de_dust2", 87, 128));
        for (int i = 0; i < 10; ++i)
            object.OnReply(printReply(proxyStatusText("127.0.0.1:27015")));
        return;
    }
    object.OnReply(detailsReply(address, score + "Cup #" + address, "de_dust2", 32, 32));
    object.OnReply(infoReply(score + "Cup #" + address, "de_dust2", 32, 32));
    object.OnReply(playersReply(playerNames(32)));
    object.OnReply(printReply("nxn_match_report = \"[ABC];-=XYZ=-;0;0;0;2;7;0;5;0\"\n"));
    object.OnReply(printReply(serverStatusText(32)));
    object.OnReply(printReply(serverStatusText(32)));
}

void fillPark(CQuorvaneDoc& document, int count, std::uint16_t port, bool openChannels)
{
    document.DeleteContents();
    std::vector<CGroup*> groups;
    for (int z = 0; z < kZones; ++z) {
        CZone* zone = document.AddZone("Zone " + std::to_string(z + 1), 1 + z % 4);
        for (int g = 0; g < kGroupsPerZone; ++g)
            groups.push_back(document.AddGroup("Group " + std::to_string(g + 1), zone, 1 + g % 2));
    }
    const int perGroup = (count + static_cast<int>(groups.size()) - 1) / static_cast<int>(groups.size());
    for (int i = 0; i < count; ++i) {
        CGroup* group = groups[static_cast<std::size_t>(i / perGroup)];
        const std::string address = loopbackAddress(i);
        std::unique_ptr<CCommonObject> object;
        switch (i % 20) {
        case 16:
        case 17:
        case 18: {
            auto proxy = std::make_unique<CHLTV>(document.context());
            proxy->m_strProxyPassword = "relay";
            proxy->m_bAutoRecord = true;
            object = std::move(proxy);
            break;
        }
        case 19:
            object = std::make_unique<CGTV>(document.context());
            break;
        default:
            object = std::make_unique<CHLServer>(document.context());
            break;
        }
        object->m_strAddress = address;
        object->m_nPort = port;
        object->m_strRconPassword = "secret";
        object->m_pGroup = group;
        if (openChannels)
            object->OpenChannel();
        feedBusyReplies(*object);
        document.m_objects.push_back(std::move(object));
    }
    document.RelinkAll();
}

double threadCpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) + static_cast<double>(now.tv_nsec) * 1e-9;
}

int runBenchmarks(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // As the program runs: Qt's own event dispatcher, the descriptor limit raised.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    raiseOpenFileLimit();
    QGuiApplication application(argc, argv);
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace bench
