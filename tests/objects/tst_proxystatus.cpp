#include "objects/ProxyStatus.h"

#include <QTest>

Q_DECLARE_METATYPE(std::vector<std::string>)

namespace {

struct Reading
{
    ProxyStatusFields fields;
    ProxyStatusFlags flags;
};

// Starts from recognisable previous values so that "left unchanged" shows.
Reading read(const std::vector<std::string>& lines)
{
    Reading reading{{7, 3, 9.5f, "old:1", "old.dem"}, {}};
    for (const std::string& line : lines)
        readProxyStatusLine(line, reading.fields, reading.flags);
    return reading;
}

} // namespace

class TestProxyStatus : public QObject
{
    Q_OBJECT

private slots:
    void lines_data()
    {
        QTest::addColumn<std::vector<std::string>>("lines");
        QTest::addColumn<int>("maxClients");
        QTest::addColumn<int>("clients");
        QTest::addColumn<float>("outRate");
        QTest::addColumn<QByteArray>("linked");
        QTest::addColumn<QByteArray>("record");
        QTest::addColumn<bool>("header");
        QTest::addColumn<bool>("recording");

        QTest::addRow("nothing known") << std::vector<std::string>{"hello"} << 7 << 3 << 9.5f << QByteArray("old:1")
                                       << QByteArray("old.dem") << false << false;
        QTest::addRow("classic header and clients")
            << std::vector<std::string>{"----- Status -----", "Name My HLTV, Type internet, Clients 12/64"} << 64 << 12
            << 9.5f << QByteArray("old:1") << QByteArray("old.dem") << true << false;
        QTest::addRow("clients count without maximum") << std::vector<std::string>{"Name x, Clients 5"} << 7 << 5
                                                       << 9.5f << QByteArray("old:1") << QByteArray("old.dem") << false
                                                       << false;
        QTest::addRow("local slots with proxies") << std::vector<std::string>{"Local Slots 64, Spectators 10, Proxies 2"}
                                                  << 64 << 12 << 9.5f << QByteArray("old:1") << QByteArray("old.dem")
                                                  << false << false;
        QTest::addRow("the later source of clients wins")
            << std::vector<std::string>{"Local Slots 64, Spectators 10, Proxies 2", "Name x, Clients 1/8"} << 8 << 1
            << 9.5f << QByteArray("old:1") << QByteArray("old.dem") << false << false;
        QTest::addRow("current local slots") << std::vector<std::string>{"Local Slots 32, Spectators 6 (max 30), Proxies 1"}
                                             << 32 << 7 << 9.5f << QByteArray("old:1") << QByteArray("old.dem")
                                             << false << false;
        QTest::addRow("connected to, classic") << std::vector<std::string>{"HLTV proxy connected to 1.2.3.4:27015, delay 30"}
                                               << 7 << 3 << 9.5f << QByteArray("1.2.3.4:27015") << QByteArray("old.dem")
                                               << false << false;
        QTest::addRow("connected to without comma") << std::vector<std::string>{"HLTV proxy connected to 1.2.3.4:27015"}
                                                    << 7 << 3 << 9.5f << QByteArray() << QByteArray("old.dem") << false
                                                    << false;
        QTest::addRow("connected in parentheses") << std::vector<std::string>{"Connected to server (1.2.3.4:27015) x"}
                                                  << 7 << 3 << 9.5f << QByteArray("1.2.3.4:27015")
                                                  << QByteArray("old.dem") << false << false;
        QTest::addRow("disconnected") << std::vector<std::string>{"HLTV proxy disconnected."} << 7 << 3 << 9.5f
                                      << QByteArray() << QByteArray("old.dem") << false << false;
        QTest::addRow("current game server") << std::vector<std::string>{"Connected to Game Server 10.0.0.5:27015, Delay 30"}
                                             << 7 << 3 << 9.5f << QByteArray("10.0.0.5:27015") << QByteArray("old.dem")
                                             << false << false;
        QTest::addRow("current proxy upstream") << std::vector<std::string>{"Connected to HLTV Proxy 10.0.0.6:27020\r"}
                                                << 7 << 3 << 9.5f << QByteArray("10.0.0.6:27020")
                                                << QByteArray("old.dem") << false << false;
        QTest::addRow("older source line") << std::vector<std::string>{"Source Game Server 10.0.0.7:27015, Delay 10"}
                                           << 7 << 3 << 9.5f << QByteArray("10.0.0.7:27015") << QByteArray("old.dem")
                                           << false << false;
        QTest::addRow("current not connected") << std::vector<std::string>{"--- HLTV Status ---", "Not connected."} << 7
                                               << 3 << 9.5f << QByteArray() << QByteArray("old.dem") << true << false;
        QTest::addRow("classic recording") << std::vector<std::string>{"Recording to demo1.dem (120 sec)"} << 7 << 3
                                           << 9.5f << QByteArray("old:1") << QByteArray("demo1.dem") << false << true;
        QTest::addRow("recording line without .dem (")
            << std::vector<std::string>{"Recording to odd"} << 7 << 3 << 9.5f << QByteArray("old:1") << QByteArray(".dem")
            << false << true;
        QTest::addRow("current recording") << std::vector<std::string>{"Recording to match-1.dem, Length 45 sec."} << 7
                                           << 3 << 9.5f << QByteArray("old:1") << QByteArray("match-1.dem") << false
                                           << true;
        QTest::addRow("rate after Out") << std::vector<std::string>{"Local IP 1.2.3.4:27020, Out 12.5"} << 7 << 3
                                        << 12.5f << QByteArray("old:1") << QByteArray("old.dem") << false << false;
        QTest::addRow("rate from Network In") << std::vector<std::string>{"Local IP 1.2.3.4, Network In 3.5 Out 80.25"}
                                              << 7 << 3 << 80.25f << QByteArray("old:1") << QByteArray("old.dem")
                                              << false << false;
        // "%f" reads infinities and NaN: none of them may become a rate or a peak.
        for (const char* rate : {"inf", "-inf", "nan", "1e40", "-5"})
            QTest::addRow("absurd rate %s", rate)
                << std::vector<std::string>{std::string("Local IP x, Out ") + rate,
                                            std::string("Local IP x, Network In 1 Out ") + rate}
                << 7 << 3 << 9.5f << QByteArray("old:1") << QByteArray("old.dem") << false << false;
        QTest::addRow("absurd counts") << std::vector<std::string>{"Name x, Clients -4/99999999",
                                                                   "Local Slots -1, Spectators 2000000000, Proxies 9"}
                                       << 7 << 3 << 9.5f << QByteArray("old:1") << QByteArray("old.dem") << false
                                       << false;
        QTest::addRow("rate that does not scan") << std::vector<std::string>{"Local IP x, Out abc"} << 7 << 3 << 9.5f
                                                 << QByteArray("old:1") << QByteArray("old.dem") << false << false;
    }

    void lines()
    {
        QFETCH(std::vector<std::string>, lines);
        const Reading reading = read(lines);
        QTEST(reading.fields.maxClients, "maxClients");
        QTEST(reading.fields.clients, "clients");
        QTEST(reading.fields.outRate, "outRate");
        QTEST(QByteArray::fromStdString(reading.fields.linkedAddress), "linked");
        QTEST(QByteArray::fromStdString(reading.fields.recordFile), "record");
        QTEST(reading.flags.headerSeen, "header");
        QTEST(reading.flags.recordingSeen, "recording");
    }
};

QTEST_APPLESS_MAIN(TestProxyStatus)
#include "tst_proxystatus.moc"
