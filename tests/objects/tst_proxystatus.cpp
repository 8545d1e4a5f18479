#include "objects/ProxyStatus.h"

#include <QTest>

namespace {

// What a status text leaves, from recognisable previous values so that
// "left unchanged" shows.
struct Expected
{
    int maxClients = 7;
    int clients = 3;
    float outRate = 9.5f;
    std::string linked = "old:1";
    std::string record = "old.dem";
    bool header = false;
    bool recording = false;
};

} // namespace

Q_DECLARE_METATYPE(std::vector<std::string>)
Q_DECLARE_METATYPE(Expected)

class TestProxyStatus : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<std::vector<std::string>>("lines");
        QTest::addColumn<Expected>("expected");
        const auto row = [](const char* name, std::vector<std::string> lines, Expected expected) {
            QTest::addRow("%s", name) << lines << expected;
        };
        row("nothing known", {"hello"}, {});
        row("classic header and clients", {"----- Status -----", "Name My HLTV, Type internet, Clients 12/64"},
            {.maxClients = 64, .clients = 12, .header = true});
        row("clients count without maximum", {"Name x, Clients 5"}, {.clients = 5});
        row("local slots with proxies", {"Local Slots 64, Spectators 10, Proxies 2"},
            {.maxClients = 64, .clients = 12});
        row("the later source of clients wins", {"Local Slots 64, Spectators 10, Proxies 2", "Name x, Clients 1/8"},
            {.maxClients = 8, .clients = 1});
        row("current local slots", {"Local Slots 32, Spectators 6 (max 30), Proxies 1"},
            {.maxClients = 32, .clients = 7});
        row("connected to, classic", {"HLTV proxy connected to 1.2.3.4:27015, delay 30"}, {.linked = "1.2.3.4:27015"});
        row("connected to without comma", {"HLTV proxy connected to 1.2.3.4:27015"}, {.linked = ""});
        row("connected in parentheses", {"Connected to server (1.2.3.4:27015) x"}, {.linked = "1.2.3.4:27015"});
        row("disconnected", {"HLTV proxy disconnected."}, {.linked = ""});
        row("current game server", {"Connected to Game Server 127.0.0.5:27015, Delay 30"},
            {.linked = "127.0.0.5:27015"});
        row("current proxy upstream", {"Connected to HLTV Proxy 127.0.0.6:27020\r"}, {.linked = "127.0.0.6:27020"});
        row("older source line", {"Source Game Server 127.0.0.7:27015, Delay 10"}, {.linked = "127.0.0.7:27015"});
        row("current not connected", {"--- HLTV Status ---", "Not connected."}, {.linked = "", .header = true});
        row("classic recording", {"Recording to demo1.dem (120 sec)"}, {.record = "demo1.dem", .recording = true});
        row("recording line without .dem (", {"Recording to odd"}, {.record = ".dem", .recording = true});
        row("current recording", {"Recording to match-1.dem, Length 45 sec."},
            {.record = "match-1.dem", .recording = true});
        row("rate after Out", {"Local IP 1.2.3.4:27020, Out 12.5"}, {.outRate = 12.5f});
        row("rate from Network In", {"Local IP 1.2.3.4, Network In 3.5 Out 80.25"}, {.outRate = 80.25f});
        // "%f" reads infinities and NaN: none of them may become a rate or a peak.
        for (const char* rate : {"inf", "-inf", "nan", "1e40", "-5", "abc"})
            QTest::addRow("absurd rate %s", rate)
                << std::vector<std::string>{std::string("Local IP x, Out ") + rate,
                                            std::string("Local IP x, Network In 1 Out ") + rate}
                << Expected{};
        row("absurd counts", {"Name x, Clients -4/99999999", "Local Slots -1, Spectators 2000000000, Proxies 9"}, {});
    }

    void lines()
    {
        QFETCH(std::vector<std::string>, lines);
        QFETCH(Expected, expected);
        ProxyStatusFields fields{7, 3, 9.5f, "old:1", "old.dem"};
        ProxyStatusFlags flags{};
        for (const std::string& line : lines)
            readProxyStatusLine(line, fields, flags);
        QCOMPARE(fields.maxClients, expected.maxClients);
        QCOMPARE(fields.clients, expected.clients);
        QCOMPARE(fields.outRate, expected.outRate);
        QCOMPARE(fields.linkedAddress, expected.linked);
        QCOMPARE(fields.recordFile, expected.record);
        QCOMPARE(flags.headerSeen, expected.header);
        QCOMPARE(flags.recordingSeen, expected.recording);
    }
};

QTEST_APPLESS_MAIN(TestProxyStatus)
#include "tst_proxystatus.moc"
