// Writes the seed inputs of the fuzz targets: datagrams as the machines of
// a park send them (framed as the datagram targets read them) and layout
// files written by the program's own save. Run once into fuzz/corpus after
// a change of the framing or of the layout format:
//   quorvane-fuzz-seeds fuzz/corpus
#include "FuzzSupport.h"

#include "layout/CQuorvaneDoc.h"
#include "layout/LayoutFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

// One reply body after FF FF FF FF, built field by field.
class Body
{
public:
    explicit Body(char type) { m_bytes.push_back(type); }
    Body& text(std::string_view value)
    {
        m_bytes.append(value);
        m_bytes.push_back('\0');
        return *this;
    }
    Body& raw(std::string_view value)
    {
        m_bytes.append(value);
        return *this;
    }
    Body& byte(std::uint8_t value)
    {
        m_bytes.push_back(static_cast<char>(value));
        return *this;
    }
    Body& int32(std::int32_t value)
    {
        for (int i = 0; i < 4; ++i)
            byte(static_cast<std::uint8_t>((static_cast<std::uint32_t>(value) >> (8 * i)) & 0xFF));
        return *this;
    }
    Body& float32(float value)
    {
        std::uint32_t bits = 0;
        std::memcpy(&bits, &value, sizeof bits);
        return int32(static_cast<std::int32_t>(bits));
    }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

// Records of a datagram input: the control byte, then the body.
class Input
{
public:
    Input& add(std::uint8_t control, const Body& body) { return add(control, body.bytes()); }
    Input& add(std::uint8_t control, std::string_view body)
    {
        if (!m_bytes.empty())
            m_bytes.append(fuzzing::kSeparator);
        m_bytes.push_back(static_cast<char>(control));
        m_bytes.append(body);
        return *this;
    }
    const std::string& bytes() const { return m_bytes; }

private:
    std::string m_bytes;
};

Body print(std::string_view text)
{
    return Body('l').text(text);
}

Body details()
{
    return Body('m')
        .text("127.0.0.1:27015")
        .text("Cup #1")
        .text("de_dust2")
        .text("cstrike")
        .text("Counter-Strike")
        .byte(10)
        .byte(12)
        .byte(47)
        .byte('d')
        .byte('l')
        .byte(1)
        .byte(0)
        .byte(1)
        .byte(0);
}

Body proxyDetails()
{
    return Body('m')
        .text("127.0.0.1:27020")
        .text("Cup TV")
        .text("de_inferno")
        .text("cstrike")
        .text("Counter-Strike")
        .byte(40)
        .byte(128)
        .byte(47)
        .byte('p')
        .byte('l')
        .byte(0)
        .byte(0)
        .byte(1)
        .byte(0);
}

Body info()
{
    return Body('I')
        .byte(48)
        .text("Public \xC3\xA9t\xC3\xA9")
        .text("cs_office")
        .text("valve")
        .text("Half-Life")
        .byte(0)
        .byte(0)
        .byte(4)
        .byte(16)
        .byte(0)
        .byte('d')
        .byte('l')
        .byte(0)
        .byte(1)
        .text("1.1.2.7/Stdio")
        .byte(0x80)
        .raw("\x87\x69");
}

Body players(const std::vector<std::string>& names)
{
    Body body('D');
    body.byte(static_cast<std::uint8_t>(names.size()));
    int index = 0;
    for (const std::string& name : names) {
        ++index;
        body.byte(static_cast<std::uint8_t>(index))
            .text(name)
            .int32(index % 3 == 0 ? -1 : 7 * index)
            .float32(61.5f * static_cast<float>(index));
    }
    return body;
}

const std::vector<std::string> kClanPlayers = {"[ABC]bob", "[ABC]alice", "[ABC]carol", "-=XYZ=-dan",
                                               "-=XYZ=-eve", "-=XYZ=-fay", "Zo\xC3\xAB", "\xC4\xEEo"};

std::string challengeReply(std::string_view digits)
{
    return "challenge rcon " + std::string(digits) + "\n";
}

const char* const kServerStatus = "hostname:  Cup #1\n"
                                  "version :  48/1.1.2.7/Stdio 8684 secure  (10)\n"
                                  "tcp/ip  :  127.0.0.1:27015\n"
                                  "map     :  de_dust2 at: 0 x, 0 y, 0 z\n"
                                  "players :  2 active (12 max)\n"
                                  "\n#      name userid uniqueid frag time ping loss adr\n"
                                  "# 1 \"[ABC]bob\" 12 STEAM_0:1:1234   5 12:01   31    0 127.0.0.1:27005\n"
                                  "# 2 \"-=XYZ=-dan\" 13 STEAM_0:0:99   -1  3:10   48    0 127.0.0.1:27006\n"
                                  "2 users\n";

const char* const kMatchRunning = "nxn_match_report = \"[ABC];-=XYZ=-;15;30;0;2;5;3;0;0\"\n";
const char* const kMatchSecondHalf = "nxn_match_report = \"[ABC];-=XYZ=-;15;12;0;4;9;2;6;1\"\n";
const char* const kMatchOver = "nxn_match_report = \"[ABC];-=XYZ=-;15;0;0;5;9;7;6;8\"\n";

const char* const kOldStatus = "----- Status -----\n"
                               "Name Cup TV, Delay 30, Port 27020, Clients 40/128\n"
                               "Local IP 127.0.0.1:27020, Network In 12.5, Out 310.2\n"
                               "HLTV proxy connected to 127.0.0.1:27015, delay 30s.\n";
const char* const kOldStatusRecording = "----- Status -----\n"
                                        "Name Cup TV, Delay 30, Port 27020, Clients 41/128\n"
                                        "Local IP 127.0.0.1:27020, Network In 12.5 Out 311.0\n"
                                        "HLTV proxy connected to 127.0.0.1:27021, relay.\n"
                                        "Recording to 2003-05-01_20h15_de_dust2_ABC_XYZ.dem (312 sec)\n";
const char* const kOldStatusDisconnected = "----- Status -----\n"
                                           "Name Cup TV, Delay 30, Port 27020, Clients 0/128\n"
                                           "Local IP 127.0.0.1:27020, Network In 0.0, Out 0.0\n"
                                           "HLTV proxy disconnected.\n";
const char* const kCurrentStatus = "--- HLTV Status ---\n"
                                   "Online 01:02:03, FPS 100.0, Version 1.1.2.0/Stdio (Linux)\n"
                                   "Local IP 127.0.0.1:27020, Network In 10.0, Out 250.5, Loss 0.00\n"
                                   "Local Slots 128, Spectators 20 (max 25), Proxies 2\n"
                                   "Total Slots 128, Spectators 20, Proxies 2\n"
                                   "Connected to Game Server 127.0.0.1:27015, Delay 30\n"
                                   "Recording to cupfinal.dem, Length 42.5 sec.\n";
const char* const kCurrentStatusIdle = "--- HLTV Status ---\n"
                                       "Online 00:00:09, FPS 100.0, Version 1.1.2.0/Stdio (Linux)\n"
                                       "Local IP 127.0.0.1:27020, Network In 0.0, Out 0.0, Loss 0.00\n"
                                       "Local Slots 64, Spectators 0 (max 0), Proxies 0\n"
                                       "Total Slots 64, Spectators 0, Proxies 0\n"
                                       "Not connected.\n";
const char* const kCurrentStatusRelay = "--- HLTV Status ---\n"
                                        "Local Slots 64, Spectators 3 (max 9), Proxies 1\n"
                                        "Connected to HLTV Proxy 203.0.113.7:27020\n";

std::string managerInfo(std::string_view keys)
{
    return "managerInfoResponse\n" + std::string(keys);
}

std::string hubInfo(std::string_view keys)
{
    return "hubInfoResponse\n" + std::string(keys);
}

std::string hubBody(const std::string& text)
{
    // A hub reply's text starts right after the four FF bytes; the NUL ends it.
    return text + std::string(1, '\0');
}

std::string hubPrint(std::string_view text)
{
    return hubBody("print\n" + std::string(text));
}

bool writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    return true;
}

class Writer
{
public:
    explicit Writer(const QString& root) : m_root(root) {}

    void write(const char* target, const char* name, const std::string& bytes)
    {
        write(target, name, QByteArray(bytes.data(), static_cast<qsizetype>(bytes.size())));
    }
    void write(const char* target, const char* name, const QByteArray& bytes)
    {
        const QDir dir(m_root + QLatin1Char('/') + QLatin1String(target));
        if (!QDir().mkpath(dir.path()) ||
            !writeFile(dir.filePath(QStringLiteral("seed-") + QLatin1String(name)), bytes))
            m_ok = false;
    }
    bool ok() const { return m_ok; }

private:
    QString m_root;
    bool m_ok = true;
};

void serverSeeds(Writer& out)
{
    const char* t = "fuzz_server_reply";
    out.write(t, "details", Input().add(0, details()).bytes());
    out.write(t, "info", Input().add(1, info()).add(0, Body('I').byte(48).text("cut short")).bytes());
    out.write(t, "players", Input().add(0, players(kClanPlayers)).add(0x14, Body('D').byte(0)).bytes());
    out.write(t, "players-over-limit", Input().add(0, Body('D').byte(40).byte(1).text("x")).bytes());
    out.write(t, "query-challenge",
              Input().add(1, Body('A').int32(0x12345678)).add(0, info()).add(2, Body('A').int32(-1)).bytes());
    out.write(t, "rcon-challenge", Input().add(0, challengeReply("1234567890")).bytes());
    out.write(t, "rcon-challenge-high", Input().add(3, challengeReply("3000000001")).add(0, print(kServerStatus)).bytes());
    out.write(t, "status", Input().add(0, print(kServerStatus)).bytes());
    out.write(t, "match-report", Input().add(0, print(kMatchRunning)).add(4, print(kMatchOver)).bytes());
    out.write(t, "sv-password", Input().add(0, print("\"sv_password\" is \"cup\"\n")).add(0, print("\"sv_password\" is \"open\n")).bytes());
    out.write(t, "no-match", Input().add(0, print(kMatchRunning)).add(1, print("[AMX] No match running.\n")).bytes());
    out.write(t, "bad-password", Input().add(0, challengeReply("42")).add(0, print("Bad rcon_password.\n")).add(7, details()).bytes());
    out.write(t, "timeout", Input().add(0, details()).add(0x0F, "").add(0x08, players({"solo"})).bytes());
    out.write(t, "poll-cycle",
              Input()
                  .add(0, details())
                  .add(1, players(kClanPlayers))
                  .add(1, challengeReply("987654321"))
                  .add(1, print(std::string(kMatchRunning) + "\"sv_password\" is \"cup\"\n" + kServerStatus))
                  .add(1, Body('A').int32(77))
                  .add(7, print(kMatchSecondHalf))
                  .bytes());
}

void proxySeeds(Writer& out)
{
    const char* t = "fuzz_proxy_reply";
    out.write(t, "details", Input().add(0, proxyDetails()).add(0, players({"spec1", "spec2"})).bytes());
    out.write(t, "old-status", Input().add(0, challengeReply("1234567890")).add(0, print(kOldStatus)).bytes());
    out.write(t, "old-status-recording", Input().add(0, print(kOldStatusRecording)).add(6, print(kOldStatusDisconnected)).bytes());
    out.write(t, "current-status", Input().add(0, print(kCurrentStatus)).add(2, print(kCurrentStatusIdle)).bytes());
    out.write(t, "current-status-relay", Input().add(0x20, print(kCurrentStatusRelay)).add(0xA5, print(kCurrentStatus)).bytes());
    out.write(t, "auto-record",
              Input()
                  .add(0, proxyDetails())
                  .add(0x10, details())
                  .add(0x10, players(kClanPlayers))
                  .add(0x10, print(kMatchRunning))
                  .add(0, print(kOldStatus))
                  .add(6, print(kOldStatusRecording))
                  .add(0x10, print(kMatchOver))
                  .add(6, print(kCurrentStatus))
                  .bytes());
    out.write(t, "relay-chain",
              Input()
                  .add(0x10, print(kMatchRunning))
                  .add(0x26, print(kCurrentStatusIdle))
                  .add(0xA6, print(kCurrentStatusIdle))
                  .add(0x46, print(kOldStatus))
                  .add(0x66, print("Not recording.\n"))
                  .bytes());
}

void hubSeeds(Writer& out)
{
    const char* t = "fuzz_hub_reply";
    const std::string manager =
        hubBody(managerInfo("\\hostname\\Cup GTV\\clients\\12\\sv_maxclients\\48\\numHubs\\2\\hubs\\1 10 5 0"));
    const std::string hub1 = hubBody(
        hubInfo("\\hubNum\\1\\desc\\Cup final\\parent\\127.0.0.1:27015\\following\\4\\p0t\\1\\p0n\\[ABC]bob"
                "\\p1t\\2\\p1n\\^1[ABC]alice\\p2t\\1\\p2n\\^2Zo^5\xC3\xAB\\p4t\\2\\p4n\\\xD0\x94\xD0\xBC\xD0\xB8"));
    const std::string hub5 = hubBody(hubInfo("\\hubNum\\5\\desc\\Idle hub"));
    out.write(t, "manager-info", Input().add(0, manager).bytes());
    out.write(t, "hub-info", Input().add(0, manager).add(1, hub1).add(0, hub5).bytes());
    out.write(t, "follow", Input().add(0, manager).add(0, hub1).add(0x10, hubPrint("Following player 4 on hub 1\n")).add(0x30, hub5).bytes());
    out.write(t, "print", Input().add(0, hubPrint("  Following nobody on hub 5\n")).add(2, hubPrint("No hubs")).bytes());
    out.write(t, "no-hubs", Input().add(0, hubBody(managerInfo("\\hostname\\Empty\\clients\\0\\sv_maxclients\\64\\numHubs\\0\\hubs\\"))).bytes());
    out.write(t, "many-hubs",
              Input()
                  .add(0, hubBody(managerInfo("\\hostname\\Big\\clients\\4096\\sv_maxclients\\4096\\numHubs\\40\\hubs\\"
                                              "1 1 2 2 3 3 x 4 5")))
                  .add(7, hubBody(hubInfo("\\hubNum\\3\\p31t\\1\\p31n\\last\\p0t\\2\\p0n\\^9first")))
                  .add(0x18, hubBody(managerInfo("\\numHubs\\-3")))
                  .bytes());
    out.write(t, "timeout", Input().add(0, manager).add(0x0F, "").add(0x0F, hubPrint("Unknown command: x\n")).bytes());
}

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

QByteArray str(const char* text)
{
    return QByteArray(1, static_cast<char>(std::strlen(text))) + text;
}

void layoutSeeds(Writer& out, fuzzing::Environment& env)
{
    const char* t = "fuzz_layout_reader";
    CQuorvaneDoc doc(env.context());
    doc.OnNewDocument();
    out.write(t, "default", layoutfile::save(doc));

    doc.AddServer("127.0.0.1", 27015, "secret", doc.m_groups[0].get());
    doc.AddServer("127.0.0.1", 27016, "", doc.m_groups[0].get());
    doc.AddProxy("127.0.0.1", 27020, doc.m_groups[1].get(), "secret", "relay", "203.0.113.7", 27020, true, true);
    doc.AddProxy("127.0.0.1", 27021, doc.m_groups[2].get(), "", "", "", 0, false, false);
    doc.AddHubManager("127.0.0.1", 27500, "hub", doc.m_groups[2].get());
    doc.m_moduleAutoWeb.m_bEnabled = 1;
    doc.m_moduleAutoWeb.m_strLogin = "user";
    doc.m_moduleAutoWeb.m_strPassword = "pass";
    doc.m_moduleAutoWeb.m_fPeakBandwidth = 1234.5;
    doc.m_moduleAutoWeb.m_nPeakSpectators = 77;
    doc.m_moduleAdminBot.m_bEnabled = 1;
    doc.AddZone("Caf\xC3\xA9 LAN", 3);
    doc.AddGroup("Empty", doc.m_zones.back().get(), 5);
    const QByteArray park = layoutfile::save(doc);
    out.write(t, "park", park);

    // The same park with the first group in zone 9 and the first server in
    // group 42: both are recovered on load.
    QByteArray lost = park;
    lost.replace(lost.indexOf(QByteArray("Servers")) + 7 + 4, 4, hex("09000000"));
    lost.replace(lost.indexOf(QByteArray("127.0.0.1")) + 9 + 4, 4, hex("2A000000"));
    out.write(t, "lost-parents", lost);

    // Forms the program never writes but reads: a wide string, the same
    // zone again by reference, a long class tag, a null element, a string
    // with the long length form.
    const QByteArray handWritten =
        hex("0400") + hex("FFFF 0100 0500") + "CZone" + hex("FFFFBE00 01000000 FF FEFF 02 5A00 E900 00000000") +
        hex("0200") + hex("FF7F 01000080") + hex("BEBEFF00 02000000") + str("Long tag") + hex("01000000") +
        hex("0000") + hex("0100 FFFF 0100 0600") + "CGroup" + hex("FFFFFF00 01000000") +
        hex("FF FFFF 01000000") + "G" + hex("02000000 01000000") + hex("0000") + hex("00000000") + str("") +
        str("") + hex("2D000000") + str("/somepath/Quorvane.html") + str("ftp.example.invalid") +
        hex("0000000000000000 00000000") + hex("00000000");
    out.write(t, "hand-written", handWritten);
    out.write(t, "truncated", park.left(park.size() / 2));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_ROOT\n", argv[0]);
        return 2;
    }
    Writer out(QString::fromLocal8Bit(argv[1]));
    fuzzing::Environment env;
    serverSeeds(out);
    proxySeeds(out);
    hubSeeds(out);
    layoutSeeds(out, env);
    return out.ok() ? 0 : 1;
}
