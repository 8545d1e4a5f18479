// The Prometheus endpoint of a headless instance watching a simulated park:
// label escaping, what /metrics serves, promtool's verdict on
// it, and a real Prometheus server scraping it.
#include "metrics/MetricsText.h"
#include "support/SimulatedPark.h"

#include <QEventLoop>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

namespace {

quint16 freeTcpPort()
{
    QTcpServer probe;
    return probe.listen(QHostAddress::LocalHost, 0) ? probe.serverPort() : 0;
}

struct Reply
{
    int status = 0;
    QByteArray body;
};

Reply request(const QByteArray& verb, const QString& url)
{
    QNetworkAccessManager manager;
    QNetworkReply* reply = manager.sendCustomRequest(QNetworkRequest(QUrl(url)), verb);
    QEventLoop loop;
    QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(5000, &loop, &QEventLoop::quit);
    loop.exec();
    Reply result{reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt(), reply->readAll()};
    reply->deleteLater();
    return result;
}

} // namespace

class TestMetrics : public QObject
{
    Q_OBJECT

private:
    SimulatedPark park;
    QProcess quorvane;
    QString metricsUrl;

private slots:
    void escaping_data()
    {
        QTest::addColumn<QByteArray>("value");
        QTest::addColumn<QByteArray>("escaped");
        QTest::addRow("plain") << QByteArray("Cup #1") << QByteArray("Cup #1");
        QTest::addRow("quote") << QByteArray("Big \"Q\"") << QByteArray("Big \\\"Q\\\"");
        QTest::addRow("backslash") << QByteArray("a\\b") << QByteArray("a\\\\b");
        QTest::addRow("line feed") << QByteArray("x\ny") << QByteArray("x\\ny");
        QTest::addRow("UTF-8 kept") << QByteArray("J\xC3\xBCrgen") << QByteArray("J\xC3\xBCrgen");
    }

    void escaping()
    {
        QFETCH(QByteArray, value);
        QTEST(escapeLabelValue(std::string_view(value.constData(), static_cast<std::size_t>(value.size()))),
              "escaped");
    }

    void initTestCase()
    {
        const QString options = QStringLiteral("--servers 2 --proxies 1 --hubs 1 --port 0 --rcon secret");
        QVERIFY2(park.start(options.split(u' ')), qPrintable(park.errorString()));
        const quint16 port = freeTcpPort();
        QVERIFY(port != 0);
        metricsUrl = QStringLiteral("http://127.0.0.1:%1/metrics").arg(port);
        QStringList arguments{QStringLiteral("--headless"), QStringLiteral("--metrics"),
                              QString::number(port)};
        for (const SimulatedPark::Machine& machine : park.machines()) {
            arguments << (machine.kind == SimulatedPark::Kind::Server  ? QStringLiteral("--server")
                          : machine.kind == SimulatedPark::Kind::Proxy ? QStringLiteral("--proxy")
                                                                       : QStringLiteral("--hub"))
                      << QStringLiteral("127.0.0.1:%1").arg(machine.port) << QStringLiteral("--rcon")
                      << QStringLiteral("secret");
        }
        quorvane.start(QStringLiteral(QUORVANE_BINARY), arguments);
        QVERIFY(quorvane.waitForStarted(10000));
        // Every machine up once it has answered.
        const auto upCount = [this] {
            int up = 0;
            for (const QByteArray& line : request("GET", metricsUrl).body.split('\n'))
                up += line.startsWith("quorvane_up{") && line.endsWith("} 1") ? 1 : 0;
            return up;
        };
        QTRY_COMPARE_WITH_TIMEOUT(upCount(), static_cast<int>(park.machines().size()), 20000);
    }

    void cleanupTestCase()
    {
        quorvane.kill();
        quorvane.waitForFinished(5000);
    }

    void servesTheParksMetrics()
    {
        const Reply metrics = request("GET", metricsUrl);
        QCOMPARE(metrics.status, 200);
        QVERIFY(metrics.body.contains("quorvane_proxy_slots{object=\"127.0.0.1:"));
        // Once its status is read under rcon, whether the proxy relays.
        QTRY_VERIFY_WITH_TIMEOUT(
            request("GET", metricsUrl).body.contains("quorvane_proxy_relaying{object=\"127.0.0.1:"), 15000);
        QVERIFY(metrics.body.contains("quorvane_hub_clients{object=\"127.0.0.1:"));
        QVERIFY(metrics.body.contains("quorvane_max_players{object=\"127.0.0.1:"));
        QVERIFY(metrics.body.contains("quorvane_log_datagrams_dropped_total{reason=\"stranger\"} 0"));
    }

    void promtoolAccepts()
    {
        const QString promtool = QStandardPaths::findExecutable(QStringLiteral("promtool"));
        if (promtool.isEmpty())
            QSKIP("promtool is not installed");
        QProcess check;
        check.start(promtool, {QStringLiteral("check"), QStringLiteral("metrics")});
        QVERIFY(check.waitForStarted());
        check.write(request("GET", metricsUrl).body);
        check.closeWriteChannel();
        QVERIFY(check.waitForFinished(20000));
        QVERIFY2(check.exitCode() == 0,
                 (check.readAllStandardOutput() + check.readAllStandardError()).constData());
    }

    void prometheusScrapes()
    {
        const QString binary = QStandardPaths::findExecutable(QStringLiteral("prometheus"));
        if (binary.isEmpty())
            QSKIP("prometheus is not installed");
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const quint16 port = freeTcpPort();
        QFile config(dir.filePath(QStringLiteral("prometheus.yml")));
        QVERIFY(config.open(QIODevice::WriteOnly));
        config.write("global:\n  scrape_interval: 1s\nscrape_configs:\n  - job_name: quorvane\n"
                     "    static_configs:\n      - targets: ['" +
                     QUrl(metricsUrl).authority().toUtf8() + "']\n");
        config.close();
        QProcess prometheus;
        prometheus.setProcessChannelMode(QProcess::MergedChannels);
        prometheus.start(binary,
                         {QStringLiteral("--config.file=") + config.fileName(),
                          QStringLiteral("--storage.tsdb.path=") + dir.filePath(QStringLiteral("data")),
                          QStringLiteral("--web.listen-address=127.0.0.1:%1").arg(port)});
        QVERIFY(prometheus.waitForStarted(10000));
        const QString query = QStringLiteral("http://127.0.0.1:%1/api/v1/query?query=quorvane_up").arg(port);
        QJsonArray result;
        const auto scraped = [&] {
            const QJsonObject answer = QJsonDocument::fromJson(request("GET", query).body).object();
            result = answer.value(QLatin1String("data")).toObject().value(QLatin1String("result")).toArray();
            return result.size() == park.machines().size();
        };
        const bool done = QTest::qWaitFor(scraped, 60000);
        prometheus.terminate();
        if (!prometheus.waitForFinished(10000))
            prometheus.kill();
        QVERIFY2(done, prometheus.readAll().right(2000).constData());
        QSet<QString> objects;
        for (const QJsonValue& series : result) {
            const QJsonObject metric = series.toObject().value(QLatin1String("metric")).toObject();
            objects.insert(metric.value(QLatin1String("object")).toString());
            QVERIFY(metric.contains(QLatin1String("kind")));
        }
        for (const SimulatedPark::Machine& machine : park.machines())
            QVERIFY(objects.contains(QStringLiteral("127.0.0.1:%1").arg(machine.port)));
    }
};

QTEST_GUILESS_MAIN(TestMetrics)
#include "tst_metrics.moc"
