#include "support/FtpServer.h"
#include "support/ScriptedOperator.h"
#include "transfer/CFtpJobManager.h"
#include "transfer/UiThreadReporter.h"

#include <QDir>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>

#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr int kWaitMs = 30000;

std::string errorHeader(const std::string& server, int port)
{
    return "FTP Engine error with Job on server " + server + ":" + std::to_string(port) + " :\n";
}

// The header followed by a non-empty error text.
bool isJobError(const std::string& message, int port)
{
    const std::string header = errorHeader("127.0.0.1", port);
    return message.starts_with(header) && message.size() > header.size();
}

} // namespace

class TestFtpJobs : public QObject
{
    Q_OBJECT

    ScriptedOperator op;
    std::unique_ptr<FtpServer> server;
    std::unique_ptr<UiThreadReporter> messages;
    std::unique_ptr<CFtpJobManager> jobs;

    std::unique_ptr<CFtpJob> job(const std::string& remoteFile, const std::string& content, int kind = 0,
                                 int port = 0, const std::string& password = FtpServer::kPassword)
    {
        return std::make_unique<CFtpJob>("127.0.0.1", port ? port : server->port(), content, remoteFile,
                                         FtpServer::kUser, password, kind);
    }

    // Waits until every job has run and its messages have reached this
    // thread; true when exactly messageCount messages were shown.
    bool settle(std::size_t messageCount)
    {
        const bool done = QTest::qWaitFor(
            [&] { return jobs->GetJobCount() == 0 && op.messages.size() >= messageCount; }, kWaitMs);
        QCoreApplication::sendPostedEvents();
        return done && op.messages.size() == messageCount;
    }

private slots:
    void init()
    {
        op = ScriptedOperator{};
        server = std::make_unique<FtpServer>();
        QVERIFY2(server->start(), qPrintable(server->errorString()));
        messages = std::make_unique<UiThreadReporter>(op);
        jobs = std::make_unique<CFtpJobManager>();
        jobs->SetReporter(messages->reporter());
        jobs->Start();
    }

    void cleanup()
    {
        server.reset(); // a job still running fails at once
        jobs.reset();
        messages.reset();
    }

    // Also: names relative to the login directory and absolute ones, bytes
    // that need escaping in a URL, a password that would break one, a kind
    // other than 0 and 1 uploading the content like kind 0, a local file
    // (kind 1) of several read chunks, the last one partial, holding every
    // byte value and line end, and empty content replacing a published file.
    void jobsRunInQueueOrderAndArriveWhole()
    {
        QByteArray bytes;
        for (int i = 0; i < 40 * 256; ++i)
            bytes.append(static_cast<char>(i % 256)).append(i % 256 ? "" : "line\r\nbare\nreturn\r\r\n\n\r");
        QTemporaryDir dir;
        QFile local(dir.filePath(QStringLiteral("local.bin")));
        QVERIFY(local.open(QIODevice::WriteOnly) && local.write(bytes) == bytes.size());
        local.close();
        QVERIFY(QDir(server->home()).mkdir(QStringLiteral("sub dir")));
        QVERIFY(server->putFile("/page.html", "old page"));
        const QByteArray big(300000, 'x');
        jobs->AddJob(job("/one.txt", big.toStdString()));
        jobs->AddJob(job("two #2?.txt", "second", 7));
        jobs->AddJob(job("/sub dir/three 100%.txt", "third"));
        jobs->AddJob(job("/remote.bin", local.fileName().toStdString(), 1));
        jobs->AddJob(job("/page.html", ""));
        QVERIFY(settle(0));
        QVERIFY(server->waitForLine("received /page.html"));
        const QList<QByteArray> order{"/one.txt", "/start/two #2?.txt", "/sub dir/three 100%.txt", "/remote.bin",
                                      "/page.html"};
        QCOMPARE(server->received(), order);
        QCOMPARE(server->file("/one.txt"), big);
        QCOMPARE(server->file("/remote.bin"), bytes);
        QCOMPARE(server->file("/start/two #2?.txt"), QByteArray("second"));
        QCOMPARE(server->file("/page.html"), QByteArray());
    }

    // Closing the program is not held by the server: the upload under way
    // (held by the server, or to a server that took the connection and never
    // says a word) is aborted without a message and what is queued is dropped.
    void stopAbortsTheUploadAndDropsTheRest_data()
    {
        QTest::addColumn<bool>("silent");
        QTest::addRow("upload held") << false;
        QTest::addRow("server silent") << true;
    }

    void stopAbortsTheUploadAndDropsTheRest()
    {
        QFETCH(bool, silent);
        QTcpServer silentServer;
        QVERIFY(silentServer.listen(QHostAddress::LocalHost));
        QVERIFY(server->hold());
        jobs->AddJob(job("/1.txt", "1", 0, silent ? silentServer.serverPort() : 0));
        for (const char* name : {"/2.txt", "/3.txt"})
            jobs->AddJob(job(name, name));
        if (silent)
            QVERIFY(QTest::qWaitFor([&] { return silentServer.hasPendingConnections(); }, kWaitMs));
        else
            QVERIFY(server->waitForLine("receiving /1.txt"));
        QElapsedTimer stopping;
        stopping.start();
        jobs->Stop();
        // Well before the 15 s connect limit that would end the silent one by itself.
        QVERIFY2(stopping.elapsed() < 5000, qPrintable(QString::number(stopping.elapsed())));
        QCOMPARE(jobs->GetJobCount(), 0);
        QVERIFY(server->release());
        QVERIFY(settle(0));
        QVERIFY(!server->file("/2.txt"));
        QVERIFY(!server->file("/3.txt"));
    }

    // A page every 30 seconds to a slow server: the newest replaces the one
    // still waiting, the upload under way goes on.
    void aNewPageReplacesTheOneWaiting()
    {
        QVERIFY(server->hold());
        jobs->AddReplacingJob(job("/page.html", "first"));
        QVERIFY(server->waitForLine("receiving /page.html"));
        jobs->AddReplacingJob(job("/page.html", "second"));
        jobs->AddReplacingJob(job("/other.html", "other"));
        jobs->AddReplacingJob(job("/page.html", "third"));
        QCOMPARE(jobs->GetJobCount(), 3); // the one under way counts
        QVERIFY(server->release());
        QVERIFY(settle(0));
        QVERIFY(server->waitForLine("received /page.html"));
        QCOMPARE(server->received(), (QList<QByteArray>{"/page.html", "/other.html", "/page.html"}));
        QCOMPARE(server->file("/page.html"), QByteArray("third"));
    }

    // Each job refused, by the server (a wrong password, a user without
    // write permission, a directory that does not exist) or before any
    // connection (fields that are no server or port or that would carry a
    // command of their own; a local file that is missing, a directory or a
    // FIFO, which would block a plain open), or failing on a port where
    // nothing listens or one that accepts the connection but never speaks,
    // is one message within the timeouts; the published file is left as it
    // was and the job after them runs.
    void failedJobsAreReportedAndTheNextJobRuns()
    {
        FtpTimeouts timeouts;
        timeouts.connect = 1500ms;
        timeouts.total = 0ms; // the connect limit alone must end the silent one
        jobs->SetTimeouts(timeouts);
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const int closedPort = closed.serverPort();
        closed.close();
        QTcpServer silent;
        QVERIFY(silent.listen(QHostAddress::LocalHost));
        QTemporaryDir dir;
        const std::string fifo = dir.filePath(QStringLiteral("fifo")).toStdString();
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
        QVERIFY(server->putFile("/page.html", "published"));
        std::vector<std::string> expected; // the header of a job error, or the whole message
        const auto add = [&](std::unique_ptr<CFtpJob> one) {
            expected.push_back(errorHeader(one->m_strServer, one->m_nPort));
            jobs->AddJob(std::move(one));
        };
        add(job("/page.html", "x", 0, 0, "wrong"));
        auto readOnly = job("/page.html", "x");
        readOnly->m_strUser = readOnly->m_strPassword = "reader";
        add(std::move(readOnly));
        add(job("/no such dir/x.txt", "x"));
        add(job("/page.html", "x", 0, closedPort));
        add(job("/page.html", "x", 0, silent.serverPort()));
        add(job("/page.html", "x", 0, -1));
        add(job("/page.html", "x", 0, 65536));
        for (const char* name : {"", "127.0.0.1/evil"}) {
            auto misnamed = job("/page.html", "x");
            misnamed->m_strServer = name;
            add(std::move(misnamed));
        }
        add(job("/page.html", "x", 0, 0, std::string(FtpServer::kPassword) + "\r\nDELE /page.html"));
        add(job("/x.txt\r\nDELE /page.html", "x"));
        add(job(std::string("/x.txt\0y", 8), "x"));
        for (const std::string& path :
             {dir.filePath(QStringLiteral("missing.html")).toStdString(), dir.path().toStdString(), fifo}) {
            jobs->AddJob(job("/page.html", path, 1));
            expected.push_back("Unable to open file " + path + ". FTP Upload canceled.");
        }
        jobs->AddJob(job("/after.txt", "after"));
        QVERIFY(settle(expected.size()));
        for (std::size_t i = 0; i < expected.size(); ++i) {
            if (expected[i].starts_with("Unable"))
                QCOMPARE(op.messages[i], expected[i]);
            else
                QVERIFY2(op.messages[i].starts_with(expected[i]) &&
                             op.messages[i].size() > expected[i].size(),
                         op.messages[i].c_str());
        }
        QVERIFY(!server->file("/x.txt"));
        QCOMPARE(server->file("/page.html"), QByteArray("published"));
        QCOMPARE(server->file("/after.txt"), QByteArray("after"));
    }

    // The server takes the upload and then reads nothing more; each row
    // leaves one limit to end the job. 64 MiB are more than the socket
    // buffers of both ends take, so curl is still sending when it stalls.
    void stalledUploadEndsAndTheNextJobRuns_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<QString>("limit"); // the one set short
        QTest::newRow("reply to the upload never comes") << 100 << "response";
        QTest::newRow("upload stops moving") << (64 << 20) << "speed";
        QTest::newRow("whole job too long") << (64 << 20) << "total";
    }
    void stalledUploadEndsAndTheNextJobRuns()
    {
        QFETCH(int, size);
        QFETCH(QString, limit);
        FtpTimeouts timeouts;
        timeouts.response = limit == "response" ? 2s : 60s;
        timeouts.lowSpeedBytes = limit == "speed" ? 1 : 0;
        timeouts.lowSpeedTime = 2s;
        timeouts.total = limit == "total" ? 2000ms : 0ms;
        jobs->SetTimeouts(timeouts);
        QVERIFY(server->hold());
        jobs->AddJob(job("/stalled.bin", std::string(size, 's')));
        QVERIFY(server->waitForLine("receiving /stalled.bin"));
        QVERIFY(settle(1));
        QVERIFY2(isJobError(op.messages[0], server->port()), op.messages[0].c_str());
        QVERIFY(server->release());
        jobs->AddJob(job("/after.txt", "after"));
        QVERIFY(settle(1));
        QCOMPARE(server->file("/after.txt"), QByteArray("after"));
    }

    void messagesReachTheThreadOfTheReporter()
    {
        std::vector<QThread*> threads;
        UiThreadReporter onThisThread(
            [&](const std::string&) { threads.push_back(QThread::currentThread()); });
        jobs->SetReporter(onThisThread.reporter());
        jobs->AddJob(job("/refused.txt", "x", 0, 0, "wrong"));
        QTRY_COMPARE_WITH_TIMEOUT(threads.size(), std::size_t(1), kWaitMs);
        QCOMPARE(threads[0], QThread::currentThread());

        // Once the reporter object is gone, texts are dropped, not delivered.
        auto gone =
            std::make_unique<UiThreadReporter>([&](const std::string&) { threads.push_back(nullptr); });
        const auto report = gone->reporter();
        gone.reset();
        report("late");
        QCoreApplication::sendPostedEvents();
        QCOMPARE(threads.size(), std::size_t(1));
    }

    void stopIsSafeTwiceAndWithoutStart()
    {
        jobs->Stop();
        jobs->Stop();
        CFtpJobManager idle;
        idle.Stop();
        idle.AddJob(job("/never.txt", "x"));
        QCOMPARE(idle.GetJobCount(), 1); // no worker: it waits for Start
        idle.Stop();
        QCOMPARE(idle.GetJobCount(), 0);
        idle.Start();
        idle.Stop();
        QVERIFY(!server->file("/never.txt"));
    }
};

QTEST_GUILESS_MAIN(TestFtpJobs)
#include "tst_ftpjobs.moc"
