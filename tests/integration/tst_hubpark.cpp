// Hub managers end to end on loopback, against the simulated park.
#include "layout/CQuorvaneDoc.h"
#include "objects/CGTV.h"
#include "support/SimulatedPark.h"
#include "support/TestContext.h"
#include "support/TickUntil.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTest>
#include <map>

namespace {

const char* const kParkConfig = R"({
  "seed": 3,
  "servers": [{"hostname": "Final", "moves": false, "players": 2}],
  "proxies": [{"hostname": "Cup TV", "rcon": "tv", "framing": "backtick", "moves": false}],
  "hubs": [{"hostname": "Cup GTV", "rcon": "gtv", "clients": 7, "max_clients": 40, "moves": false,
            "hubs": [{"num": 2, "desc": "Final stage", "parent": "server:0", "players": 4, "following": 1},
                     {"num": 5, "desc": "Warm-up", "parent": "", "players": 0, "following": -1}]}]
})";

} // namespace

class TestHubPark : public QObject
{
    Q_OBJECT

    TestContext env;
    SimulatedPark park;
    std::unique_ptr<CQuorvaneDoc> doc;

    std::string serverName() const { return "127.0.0.1:" + std::to_string(park.serverPorts()[0]); }

    template <class Done> bool tickUntil(Done done, int maxTicks)
    {
        return ::tickUntil(env.clock, *doc, done, maxTicks);
    }

    // The park's own view of one hub, colour codes removed.
    std::map<QByteArray, QByteArray> parkHub(int number)
    {
        ParkProbe probe(park.hubPorts()[0], SimulatedPark::Kind::Hub);
        const auto text = probe.ask("gethubinfo " + QByteArray::number(number));
        std::map<QByteArray, QByteArray> values;
        for (const auto& [key, value] : ParkProbe::keyValues(text.value_or(QByteArray())))
            values[key] =
                QString::fromUtf8(value).remove(QRegularExpression(QStringLiteral("\\^[0-9]"))).toUtf8();
        return values;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(park.startWithConfig(kParkConfig), qPrintable(park.errorString()));
        QCOMPARE(park.hubPorts().size(), 1);
    }

    void init()
    {
        env.op = ScriptedOperator{};
        doc = std::make_unique<CQuorvaneDoc>(env.context());
        doc->OnNewDocument();
    }

    void hubsFollowAndLink()
    {
        CCommonObject* server =
            doc->AddServer("127.0.0.1", park.serverPorts()[0], "", doc->m_groups[0].get());
        auto* manager = static_cast<CGTV*>(
            doc->AddHubManager("127.0.0.1", park.hubPorts()[0], "gtv", doc->m_groups[2].get()));
        QVERIFY(tickUntil([&] { return manager->m_nStatus == CSStatus_CONTROL; }, 6));
        // Both hubs' replies, which arrive one after the other.
        QVERIFY(tickUntil(
            [&] {
                return manager->m_nHubs == 2 && manager->m_hubs[0].m_nCount == 4 &&
                       !manager->m_hubs[1].m_strDesc.empty();
            },
            12));
        QCOMPARE(manager->m_strHostname, std::string("Cup GTV"));
        QCOMPARE(manager->m_nSvClients, 7);
        QCOMPARE(manager->m_nSvMaxClients, 40);

        CHubInfo& final = manager->m_hubs[0];
        QCOMPARE(final.m_nHubNum, 2);
        QCOMPARE(final.m_strDesc, std::string("Final stage"));
        QCOMPARE(final.m_strParent, serverName());
        const auto parkView = parkHub(2);
        for (int i = 0; i < final.m_nCount; ++i) {
            const QByteArray key =
                "p" + QByteArray::number(final.m_nSlots[static_cast<std::size_t>(i)]) + "n";
            QCOMPARE(QByteArray::fromStdString(final.m_strNames[static_cast<std::size_t>(i)]),
                     parkView.at(key));
        }
        QCOMPARE(final.m_nFollowing, 1);
        QVERIFY(final.FollowedName());
        QCOMPARE(manager->m_hubs[1].m_strDesc, std::string("Warm-up"));
        QCOMPARE(manager->m_hubs[1].FollowedName(), nullptr);

        // Linked to the server its parent names, within six ticks.
        QVERIFY(tickUntil([&] { return final.m_pLinked == server; }, 6));
        QCOMPARE(manager->m_hubs[1].m_pLinked, nullptr);

        // Change POV: the park follows the new slot, the next reply says so.
        manager->m_pSelectedHub = &final;
        int other = 0;
        while (final.m_nSlots[static_cast<std::size_t>(other)] == final.m_nFollowing)
            ++other;
        const std::int32_t slot = final.m_nSlots[static_cast<std::size_t>(other)];
        manager->ChangePOV(final.m_strNames[static_cast<std::size_t>(other)]);
        QVERIFY(QTest::qWaitFor([&] { return final.m_nFollowing == slot; }, 3000));
        QCOMPARE(parkHub(2).at("following"), QByteArray::number(slot));
        QCOMPARE(*final.FollowedName(), final.m_strNames[static_cast<std::size_t>(other)]);

        // Deleting the server clears the link.
        doc->SetSelection(nullptr, server);
        doc->OnDeleteObject();
        QCOMPARE(final.m_pLinked, nullptr);
        QVERIFY(env.op.messages.empty());
        manager->SendCommand("gtv_follow 1 2"); // leave the park as configured
    }

    void headlessReportsHubs()
    {
        QProcess quorvane;
        quorvane.start(QStringLiteral(QUORVANE_BINARY),
                       {QStringLiteral("--headless"), QStringLiteral("--once"), QStringLiteral("--json"),
                        QStringLiteral("--server"), QString::fromStdString(serverName()),
                        QStringLiteral("--hub"), QStringLiteral("127.0.0.1:%1").arg(park.hubPorts()[0]),
                        QStringLiteral("--rcon"), QStringLiteral("gtv")});
        QVERIFY(quorvane.waitForFinished(30000));
        QCOMPARE(quorvane.exitCode(), 0);
        QJsonObject hubReport;
        for (const QByteArray& line : quorvane.readAllStandardOutput().split('\n')) {
            const QJsonObject report = QJsonDocument::fromJson(line).object();
            if (report.value(QLatin1String("kind")).toString() == QLatin1String("hub"))
                hubReport = report;
        }
        QCOMPARE(hubReport.value(QLatin1String("status")).toString(), QStringLiteral("Rcon Controled"));
        QCOMPARE(hubReport.value(QLatin1String("clients")).toInt(), 7);
        QCOMPARE(hubReport.value(QLatin1String("maxclients")).toInt(), 40);
        const QJsonArray hubList = hubReport.value(QLatin1String("hubs")).toArray();
        QCOMPARE(hubList.size(), 2);
        const QJsonObject final = hubList[0].toObject();
        QCOMPARE(final.value(QLatin1String("num")).toInt(), 2);
        QCOMPARE(final.value(QLatin1String("desc")).toString(), QStringLiteral("Final stage"));
        QCOMPARE(final.value(QLatin1String("parent")).toString(), QString::fromStdString(serverName()));
        QCOMPARE(final.value(QLatin1String("linked")).toString(), QString::fromStdString(serverName()));
        QVERIFY(final.value(QLatin1String("following")).isString());
        QCOMPARE(final.value(QLatin1String("players")).toArray().size(), 4);
        const QJsonObject warmUp = hubList[1].toObject();
        QVERIFY(warmUp.value(QLatin1String("linked")).isNull());
        QVERIFY(warmUp.value(QLatin1String("following")).isNull());
    }

    // Wrong passwords: neither machine is under control, and neither is sent
    // its refused command again on every poll.
    void headlessWrongPasswordsMonitorOnly()
    {
        const quint16 proxyPort = park.proxyPorts()[0];
        const quint16 hubPort = park.hubPorts()[0];
        ParkProbe(proxyPort).control("sim_history clear");
        ParkProbe(hubPort, SimulatedPark::Kind::Hub).control("sim_history clear");
        QProcess quorvane;
        quorvane.start(QStringLiteral(QUORVANE_BINARY),
                       {QStringLiteral("--headless"), QStringLiteral("--proxy"),
                        QStringLiteral("127.0.0.1:%1").arg(proxyPort), QStringLiteral("--rcon"),
                        QStringLiteral("wrong"), QStringLiteral("--hub"),
                        QStringLiteral("127.0.0.1:%1").arg(hubPort), QStringLiteral("--rcon"),
                        QStringLiteral("wrong"), QStringLiteral("--json"), QStringLiteral("--once")});
        QVERIFY(quorvane.waitForFinished(30000));
        QCOMPARE(quorvane.exitCode(), 0);
        std::map<QString, QString> statuses;
        for (const QByteArray& line : quorvane.readAllStandardOutput().split('\n')) {
            const QJsonObject report = QJsonDocument::fromJson(line).object();
            if (!report.isEmpty())
                statuses[report.value(QLatin1String("kind")).toString()] =
                    report.value(QLatin1String("status")).toString();
        }
        QCOMPARE(statuses[QStringLiteral("proxy")], QStringLiteral("Monitor only"));
        QCOMPARE(statuses[QStringLiteral("hub")], QStringLiteral("Monitor only"));
        const QByteArray proxyHistory = ParkProbe(proxyPort).control("sim_history").value_or(QByteArray());
        const QByteArray hubHistory =
            ParkProbe(hubPort, SimulatedPark::Kind::Hub).control("sim_history").value_or(QByteArray());
        QCOMPARE(proxyHistory.count("(refused) status"), 1);
        QCOMPARE(hubHistory.count("(refused) gtv_follow"), 1);
    }
};

QTEST_GUILESS_MAIN(TestHubPark)
#include "tst_hubpark.moc"
