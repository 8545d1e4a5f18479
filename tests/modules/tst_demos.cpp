// Demo collection: the names demos are kept under, the page's demo list, and
// the collector driven by recording lines against a real FTP server.
#include "core/Clock.h"
#include "modules/CModuleAutoWeb.h"
#include "modules/DemoCollector.h"
#include "modules/DemoFileName.h"
#include "modules/DemoSection.h"
#include "modules/PageSource.h"
#include "objects/CHLTV.h"
#include "support/FtpServer.h"
#include "support/TestBytes.h"
#include "transfer/CFtpJobManager.h"
#include "transfer/DemoTransfers.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <utime.h>

class TestDemos : public QObject
{
    Q_OBJECT

private:
    FtpServer m_ftp;

    std::string folderUrl() const { return "ftp://127.0.0.1:" + std::to_string(m_ftp.port()) + "/demos/"; }

    DemoTransfers::Settings transferSettings(const QTemporaryDir& dir,
                                             const QByteArray& password = FtpServer::kPassword)
    {
        const QString path = dir.filePath(QStringLiteral("netrc"));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write("machine 127.0.0.1 login " + QByteArray(FtpServer::kUser) + " password \"" + password +
                       "\"\n");
        DemoTransfers::Settings settings;
        settings.netrcFile = path.toStdString();
        settings.timeouts.connect = std::chrono::milliseconds(5000);
        return settings;
    }

    // Ticks the collector once a (manual) second until done or maxTicks.
    template <class Done>
    static bool tickUntil(ManualClock& clock, DemoCollector& collector,
                          const std::vector<DemoCollector::Observation>& seen,
                          std::vector<DemoCollector::Report>& reports, Done done, int maxTicks = 60)
    {
        for (int i = 0; i < maxTicks; ++i) {
            clock.advance(1);
            for (auto& report : collector.Tick(seen, {}))
                reports.push_back(std::move(report));
            if (QTest::qWaitFor(done, 200))
                return true;
        }
        return false;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(m_ftp.start(), qPrintable(m_ftp.errorString()));
        QVERIFY(QDir(m_ftp.home()).mkpath(QStringLiteral("start/demos")));
    }

    void safeNames_data()
    {
        QTest::addColumn<QByteArray>("server");
        QTest::addColumn<QByteArray>("map");
        QTest::addColumn<QByteArray>("teamA");
        QTest::addColumn<QByteArray>("teamB");
        QTest::addColumn<QString>("expected"); // after the date and time; empty: only the rules are checked
        const auto row = [](const char* name, const QByteArray& server, const QByteArray& map,
                            const QByteArray& teamA, const QByteArray& teamB, const char* expected) {
            QTest::addRow("%s", name) << server << map << teamA << teamB << QString::fromUtf8(expected);
        };
        row("plain", "Cup Server #1", "de_dust2", "Team A", "[NxN] Wolves",
            "Cup-Server-1_de_dust2_Team-A-vs-NxN-Wolves.dem");
        row("slashes and dots", "../../etc/passwd", "..", "/", "a/../b",
            "etc-passwd_unknown_unknown-vs-a-b.dem");
        row("NUL and markup", QByteArray("srv\0<script>", 12), "<b>map</b>", "\"><img src=x>", "'&amp;'",
            "srv-script_b-map-b_img-src-x-vs-amp.dem");
        const QByteArray a500(500, 'A');
        row("500 characters", a500, a500, a500, a500, "");
        row("other scripts", "Сервер", "de_аztec", "チーム", "-rf", "unknown_de_ztec_unknown-vs-rf.dem");
        row("empty", "", "", "", "", "unknown_unknown_unknown-vs-unknown.dem");
    }
    void safeNames()
    {
        QFETCH(QByteArray, server);
        QFETCH(QByteArray, map);
        QFETCH(QByteArray, teamA);
        QFETCH(QByteArray, teamB);
        QFETCH(QString, expected);
        const std::string name = DemoFileName::Build({1'765'135'800, server.toStdString(), map.toStdString(),
                                                      teamA.toStdString(), teamB.toStdString()});
        QVERIFY2(DemoFileName::IsSafe(name), name.c_str());
        QVERIFY(name.size() <= DemoFileName::kMaxName);
        QVERIFY(name.find('/') == std::string::npos && name.find('\0') == std::string::npos);
        QVERIFY(name.find("..") == std::string::npos);
        // "YYYYMMDD_HHMMSS_" first.
        QVERIFY(QByteArray::fromStdString(name.substr(0, 16)).contains('_'));
        if (!expected.isEmpty())
            QCOMPARE(QString::fromStdString(name.substr(16)), expected);
        // Inside the folder, whatever the parts held.
        QTemporaryDir dir;
        const QString path = QDir(dir.path()).filePath(QString::fromStdString(name));
        QCOMPARE(QFileInfo(path).absoluteDir().absolutePath(), QDir(dir.path()).absolutePath());
        QVERIFY(DemoFileName::Build({0, "s", "m", "a", "b"}, 2).ends_with("_2.dem"));
    }

    void recordingFiles()
    {
        QVERIFY(DemoCollector::BelongsTo("cup", "cup-2612071930-de_dust2.dem"));
        QVERIFY(DemoCollector::BelongsTo("cup", "cup.dem"));
        QVERIFY(!DemoCollector::BelongsTo("cup", "cupx-2612071930-de_dust2.dem"));
        QVERIFY(!DemoCollector::BelongsTo("cup", "cup-2612071930-de_dust2.dem.part"));
        QCOMPARE(DemoCollector::MapOfRemoteName("cup", "cup-2612071930-de_dust2.dem"),
                 std::string("de_dust2"));
        QCOMPARE(DemoCollector::MapOfRemoteName("cup", "cup-26120719-de_dust2.dem"), std::string());
        QCOMPARE(DemoCollector::MapOfRemoteName("cup", "cup.dem"), std::string());
    }

    // The demos section: escaped, newest first, at most 50; a template
    // without it gives the page it gave before.
    void pageSection()
    {
        const std::string plain =
            "[SECTION_ALWAYS]top [/SECTION_ALWAYS][SECTION_HLTV]h[SECTION_HLTV_LOOP]r[/SECTION_HLTV_LOOP]t"
            "[/SECTION_HLTV][SECTION_STATS]s[/SECTION_STATS][SECTION_ALWAYS]end[/SECTION_ALWAYS]";
        std::string withDemos = plain;
        withDemos.insert(withDemos.find("[SECTION_ALWAYS]end"),
                         "[SECTION_DEMOS]<ul>[SECTION_DEMOS_LOOP]<li>[#DEMO_DATE]|[#DEMO_NAME]|[#DEMO_URL]|"
                         "[#DEMO_MAP]|[#DEMO_TEAMS]|[#DEMO_SCORE]|[#DEMO_SIZE]</li>[/SECTION_DEMOS_LOOP]</ul>"
                         "[/SECTION_DEMOS]");
        struct NoProxies : PageSource
        {
            void ForEachProxy(const std::function<void(CHLTV&)>&) const override {}
            bool AdminBotEnabled() const override { return false; }
            const CoreContext& context() const override { return m_context; }
            CFtpJobManager& UploadQueue() override { return m_jobs; }
            CoreContext m_context;
            CFtpJobManager m_jobs;
        } source;
        CModuleAutoWeb module;
        std::vector<PublishedDemo> demos;
        for (int i = 0; i < 60; ++i)
            demos.push_back({"demos/d" + std::to_string(i) + ".dem", "d" + std::to_string(i) + ".dem",
                             1'765'000'000 + i * 60, "de_dust2", "A vs B", "16:14", 1'500'000});
        demos.push_back({"demos/x.dem\"><script>", "<script>alert(1)</script>", 1'766'000'000, "<i>m</i>",
                         "A&B vs <C>", "1:0", 999});
        const std::string before = module.GeneratePage(source, plain, "now");
        module.SetPublishedDemos(demos);
        QCOMPARE(module.GeneratePage(source, plain, "now"), before);

        const QString page = QString::fromStdString(module.GeneratePage(source, withDemos, "now"));
        QCOMPARE(page.count(QStringLiteral("<li>")), 50);
        QVERIFY(!page.contains(QStringLiteral("<script>")));
        QVERIFY(!page.contains(QStringLiteral("<i>m")));
        QVERIFY(page.contains(QStringLiteral("&lt;script&gt;alert(1)&lt;/script&gt;")));
        QVERIFY(page.contains(QStringLiteral("A&amp;B vs &lt;C&gt;")));
        // Newest first: the hostile one, then d59 down to d11.
        QVERIFY(page.indexOf(QStringLiteral("alert")) < page.indexOf(QStringLiteral("|d59.dem|")));
        QVERIFY(page.indexOf(QStringLiteral("|d59.dem|")) < page.indexOf(QStringLiteral("|d58.dem|")));
        QVERIFY(page.contains(QStringLiteral("|d11.dem|")));
        QVERIFY(!page.contains(QStringLiteral("|d10.dem|")));
        QVERIFY(page.contains(QStringLiteral("|1.5 MB</li>")));
        QVERIFY(page.endsWith(QStringLiteral("</ul>end")));

        // Those of earlier runs (newest first from the ledger) join the collector's list once
        // each, oldest first as it publishes; every change is counted for the page to follow.
        DemoTransfers transfers;
        ManualClock clock;
        DemoCollector collector(transfers, clock);
        collector.AddPublished({demos[1], demos[0]});
        QCOMPARE(collector.PublishedChanges(), std::size_t{1});
        std::vector<std::string> names;
        for (const PublishedDemo& demo : collector.Published())
            names.push_back(demo.name);
        QCOMPARE(names, (std::vector<std::string>{"d0.dem", "d1.dem"}));
        collector.AddPublished({demos[0]});
        QCOMPARE(collector.PublishedChanges(), std::size_t{1});
    }

    // A recording ends: every file of it (one per map) is downloaded, named
    // after the match, hashed; the proxy's other files are left alone.
    void collectsARecording()
    {
        QTemporaryDir local;
        const QByteArray first = demoBytes(150'000, 11);
        const QByteArray second = demoBytes(90'000, 12);
        QVERIFY(m_ftp.putFile(QStringLiteral("/start/demos/final-2612072100-de_dust2.dem"), first));
        QVERIFY(m_ftp.putFile(QStringLiteral("/start/demos/final-2612072140-de_inferno.dem"), second));
        QVERIFY(
            m_ftp.putFile(QStringLiteral("/start/demos/other-2612072100-de_dust2.dem"), demoBytes(10, 13)));

        ManualClock clock(1'765'140'000);
        DemoTransfers transfers(transferSettings(local));
        transfers.Start();
        DemoCollector collector(transfers, clock);
        DemoCollector::Settings settings;
        settings.folder = local.path().toStdString();
        settings.deleteFromProxy = true;
        collector.SetSettings(settings);

        DemoCollector::Observation proxy;
        proxy.proxy = "proxy 127.0.0.1:27020";
        proxy.folderUrl = folderUrl();
        proxy.recordFile = "final.dem";
        proxy.match = {
            "server 127.0.0.1:27015", 1'765'139'000, "Cup <Server>", "de_dust2", "Red/Team", "Blue", "3:1"};
        std::vector<DemoCollector::Report> reports;
        QVERIFY(collector.Tick({proxy}, {}).empty());
        proxy.match.score = "16:14";
        collector.Tick({proxy}, {});
        proxy.recordFile.clear();
        const auto kept = [&] {
            return std::count_if(collector.Files().begin(), collector.Files().end(),
                                 [](const auto& file) { return file.state == "kept"; }) == 2;
        };
        QVERIFY(tickUntil(clock, collector, {proxy}, reports, kept));

        const auto& files = collector.Files();
        QCOMPARE(files.size(), std::size_t{2});
        const std::string stamp = DemoFileName::Build({1'765'139'000, "", "", "", ""}).substr(0, 15);
        QCOMPARE(files[0].fileName, stamp + "_Cup-Server_de_dust2_Red-Team-vs-Blue.dem");
        QCOMPARE(files[1].fileName, stamp + "_Cup-Server_de_inferno_Red-Team-vs-Blue.dem");
        QCOMPARE(files[0].match.score, std::string("16:14"));
        QCOMPARE(files[0].sha256,
                 QCryptographicHash::hash(first, QCryptographicHash::Sha256).toHex().toStdString());
        QCOMPARE(files[1].size, second.size());
        QFile keptFile(local.filePath(QString::fromStdString(files[1].fileName)));
        QVERIFY(keptFile.open(QIODevice::ReadOnly));
        QCOMPARE(keptFile.readAll(), second);
        QVERIFY(collector.LastCollected("proxy 127.0.0.1:27020").starts_with(files[1].fileName));
        // Deleted from the proxy once verified; the other recording stays.
        QVERIFY(QTest::qWaitFor(
            [&] { return !m_ftp.file(QStringLiteral("/start/demos/final-2612072140-de_inferno.dem")); },
            5000));
        QVERIFY(m_ftp.file(QStringLiteral("/start/demos/other-2612072100-de_dust2.dem")));
        // Every state went to the reports, without a notification.
        QVERIFY(
            std::none_of(reports.begin(), reports.end(), [](const auto& report) { return report.notify; }));
        QVERIFY(std::any_of(reports.begin(), reports.end(), [](const auto& report) {
            return report.file && report.file->state == "waiting";
        }));
    }

    // Faults: a refused login is one line and one notification, the next
    // recording is still collected; a broken line is resumed on a later try.
    void faults()
    {
        QTemporaryDir local;
        ManualClock clock(1'765'150'000);
        DemoTransfers transfers(transferSettings(local, "wrong"));
        transfers.Start();
        DemoCollector collector(transfers, clock);
        DemoCollector::Settings settings;
        settings.folder = local.path().toStdString();
        collector.SetSettings(settings);
        QVERIFY(
            m_ftp.putFile(QStringLiteral("/start/demos/ref-2612072100-de_dust2.dem"), demoBytes(5000, 21)));

        DemoCollector::Observation proxy{"proxy 127.0.0.1:27021", folderUrl(), "ref.dem", {}};
        std::vector<DemoCollector::Report> reports;
        collector.Tick({proxy}, {});
        proxy.recordFile.clear();
        const auto notified = [&] {
            return std::count_if(reports.begin(), reports.end(), [](const auto& r) { return r.notify; }) > 0;
        };
        QVERIFY(tickUntil(clock, collector, {proxy}, reports, notified));
        QCOMPARE(std::count_if(reports.begin(), reports.end(), [](const auto& r) { return r.notify; }), 1);
        QVERIFY(QDir(local.path()).entryList({QStringLiteral("*.dem")}, QDir::Files).isEmpty());

        // Cut mid-download with one try per task: the next try, 15 s later by the
        // clock, resumes; the whole file in the end.
        QTemporaryDir local2;
        DemoTransfers::Settings once = transferSettings(local2);
        once.attempts = 1;
        DemoTransfers transfers2(once);
        transfers2.Start();
        DemoCollector collector2(transfers2, clock);
        settings.folder = local2.path().toStdString();
        collector2.SetSettings(settings);
        const QByteArray demo = demoBytes(300'000, 22);
        QVERIFY(m_ftp.putFile(QStringLiteral("/start/demos/cut-2612072100-de_nuke.dem"), demo));
        QVERIFY(m_ftp.cutAfter(120'000));
        DemoCollector::Observation cut{"proxy 127.0.0.1:27022", folderUrl(), "cut.dem", {}};
        collector2.Tick({cut}, {});
        cut.recordFile.clear();
        reports.clear();
        const auto done = [&] {
            return !collector2.Files().empty() && collector2.Files().front().state == "kept";
        };
        QVERIFY(tickUntil(clock, collector2, {cut}, reports, done, 80));
        QVERIFY(std::any_of(reports.begin(), reports.end(),
                            [](const auto& r) { return r.line.find("trying again") != std::string::npos; }));
        QCOMPARE(collector2.Files().front().size, demo.size());
        QFile file(local2.filePath(QString::fromStdString(collector2.Files().front().fileName)));
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(), demo);
    }

    // Kept demos older than the kept days go; newer ones and other files stay.
    void keepsNDays()
    {
        QTemporaryDir local;
        ManualClock clock(1'765'150'000);
        DemoTransfers transfers;
        DemoCollector collector(transfers, clock);
        DemoCollector::Settings settings;
        settings.folder = local.path().toStdString();
        settings.keepDays = 7;
        collector.SetSettings(settings);
        const auto make = [&](const QString& name, std::int64_t age) {
            const QString path = local.filePath(name);
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("x");
            file.close();
            const utimbuf times{static_cast<time_t>(clock.now() - age),
                                static_cast<time_t>(clock.now() - age)};
            QVERIFY(::utime(path.toLocal8Bit().constData(), &times) == 0);
        };
        make(QStringLiteral("old.dem"), 8 * 86400);
        make(QStringLiteral("old.dem.gz"), 30 * 86400);
        make(QStringLiteral("new.dem"), 6 * 86400);
        make(QStringLiteral("notes.txt"), 90 * 86400);
        QCOMPARE(collector.SweepOldDemos(), 2);
        QCOMPARE(QDir(local.path()).entryList(QDir::Files),
                 QStringList({QStringLiteral("new.dem"), QStringLiteral("notes.txt")}));
    }
};

QTEST_GUILESS_MAIN(TestDemos)
#include "tst_demos.moc"
