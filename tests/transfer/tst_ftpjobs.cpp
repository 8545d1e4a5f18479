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

enum Limit
{
    ResponseLimit,
    LowSpeedLimit,
    TotalLimit
};

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
    // other than 0 and 1 uploading the content like kind 0, and empty
    // content replacing a published file.
    void jobsRunInQueueOrderAndArriveWhole()
    {
        QVERIFY(QDir(server->home()).mkdir(QStringLiteral("sub dir")));
        QVERIFY(server->putFile("/page.html", "old page"));
        const QByteArray big(300000, 'x');
        jobs->AddJob(job("/one.txt", big.toStdString()));
        jobs->AddJob(job("two #2?.txt", "second", 7));
        jobs->AddJob(job("/sub dir/three 100%.txt", "third"));
        jobs->AddJob(job("/page.html", ""));
        QVERIFY(settle(0));
        QVERIFY(server->waitForLine("received /page.html"));
        const QList<QByteArray> order{"/one.txt", "/start/two #2?.txt", "/sub dir/three 100%.txt", "/page.html"};
        QCOMPARE(server->received(), order);
        QCOMPARE(server->file("/one.txt"), big);
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
        QVERIFY2(stopping.elapsed() < 2500, qPrintable(QString::number(stopping.elapsed())));
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

    // A wrong password; then the login succeeds but the upload is refused:
    // a user without write permission, a directory that does not exist.
    void refusalsAreReportedAndTheNextJobRuns()
    {
        jobs->AddJob(job("/refused.txt", "x", 0, 0, "wrong"));
        auto readOnly = job("/denied.txt", "x");
        readOnly->m_strUser = readOnly->m_strPassword = "reader";
        jobs->AddJob(std::move(readOnly));
        jobs->AddJob(job("/no such dir/x.txt", "x"));
        jobs->AddJob(job("/after.txt", "after"));
        QVERIFY(settle(3));
        for (const std::string& message : op.messages)
            QVERIFY2(isJobError(message, server->port()), message.c_str());
        QVERIFY(!server->file("/refused.txt"));
        QVERIFY(!server->file("/denied.txt"));
        QCOMPARE(server->file("/after.txt"), QByteArray("after"));
    }

    void localFileIsUploadedByteForByte()
    {
        QByteArray bytes; // several read chunks, the last one partial; every byte value, every line end
        for (int i = 0; i < 40 * 256; ++i)
            bytes.append(static_cast<char>(i % 256)).append(i % 256 ? "" : "line\r\nbare\nreturn\r\r\n\n\r");
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("local.bin"));
        QFile local(path);
        QVERIFY(local.open(QIODevice::WriteOnly) && local.write(bytes) == bytes.size());
        local.close();
        jobs->AddJob(job("/remote.bin", path.toStdString(), 1));
        QVERIFY(settle(0));
        QCOMPARE(server->file("/remote.bin"), bytes);
    }

    // A missing file, a directory and a FIFO (which would block a plain
    // open): each one message, no connection, and the published remote file
    // is left as it was.
    void unreadableLocalFileLeavesTheRemoteFileAlone()
    {
        QTemporaryDir dir;
        const std::string fifo = dir.filePath(QStringLiteral("fifo")).toStdString();
        QCOMPARE(::mkfifo(fifo.c_str(), 0600), 0);
        const std::vector<std::string> paths{dir.filePath(QStringLiteral("missing.html")).toStdString(),
                                             dir.path().toStdString(), fifo};
        QVERIFY(server->putFile("/page.html", "published"));
        for (const std::string& path : paths)
            jobs->AddJob(job("/page.html", path, 1));
        jobs->AddJob(job("/after.txt", "after"));
        QVERIFY(settle(paths.size()));
        for (std::size_t i = 0; i < paths.size(); ++i)
            QCOMPARE(op.messages[i], "Unable to open file " + paths[i] + ". FTP Upload canceled.");
        QCOMPARE(server->file("/page.html"), QByteArray("published"));
        QCOMPARE(server->file("/after.txt"), QByteArray("after"));
    }

    void badJobFieldsAreRefused()
    {
        std::vector<std::unique_ptr<CFtpJob>> bad;
        bad.push_back(job("/x.txt", "x", 0, -1));
        bad.push_back(job("/x.txt", "x", 0, 65536));
        bad.push_back(job("/x.txt", "x"));
        bad.back()->m_strServer = "";
        bad.push_back(job("/x.txt", "x"));
        bad.back()->m_strServer = "127.0.0.1/evil";
        // A right password followed by a command of its own.
        bad.push_back(job("/x.txt", "x", 0, 0, std::string(FtpServer::kPassword) + "\r\nDELE /page.html"));
        bad.push_back(job("/x.txt\r\nDELE /page.html", "x"));
        bad.push_back(job(std::string("/x.txt\0y", 8), "x"));
        std::vector<std::string> headers;
        for (const auto& one : bad)
            headers.push_back(errorHeader(one->m_strServer, one->m_nPort));
        QVERIFY(server->putFile("/page.html", "published"));
        for (auto& one : bad)
            jobs->AddJob(std::move(one));
        jobs->AddJob(job("/after.txt", "after"));
        QVERIFY(settle(headers.size()));
        for (std::size_t i = 0; i < headers.size(); ++i) {
            QVERIFY2(op.messages[i].starts_with(headers[i]) && op.messages[i].size() > headers[i].size(),
                     op.messages[i].c_str());
        }
        QVERIFY(!server->file("/x.txt"));
        QCOMPARE(server->file("/page.html"), QByteArray("published"));
        QCOMPARE(server->file("/after.txt"), QByteArray("after"));
    }

    // A port where nothing listens and one that accepts the connection but
    // never speaks: both jobs end within the timeouts and the job after
    // them runs.
    void deadServersDoNotHoldTheQueueOrStop()
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
        jobs->AddJob(job("/dead.txt", "x", 0, closedPort));
        jobs->AddJob(job("/silent.txt", "x", 0, silent.serverPort()));
        jobs->AddJob(job("/after.txt", "after"));
        QVERIFY(settle(2));
        QVERIFY(server->waitForLine("received /after.txt"));
        QCOMPARE(server->file("/after.txt"), QByteArray("after"));
        QVERIFY2(isJobError(op.messages[0], closedPort), op.messages[0].c_str());
        QVERIFY2(isJobError(op.messages[1], silent.serverPort()), op.messages[1].c_str());
    }

    // The server takes the upload and then reads nothing more; each row
    // leaves one limit to end the job. 64 MiB are more than the socket
    // buffers of both ends take, so curl is still sending when it stalls.
    void stalledUploadEndsAndTheNextJobRuns_data()
    {
        QTest::addColumn<int>("size");
        QTest::addColumn<int>("limit");
        QTest::newRow("reply to the upload never comes") << 100 << int(ResponseLimit);
        QTest::newRow("upload stops moving") << (64 << 20) << int(LowSpeedLimit);
        QTest::newRow("whole job too long") << (64 << 20) << int(TotalLimit);
    }
    void stalledUploadEndsAndTheNextJobRuns()
    {
        QFETCH(int, size);
        QFETCH(int, limit);
        FtpTimeouts timeouts;
        timeouts.response = limit == ResponseLimit ? 2s : 60s;
        timeouts.lowSpeedBytes = limit == LowSpeedLimit ? 1 : 0;
        timeouts.lowSpeedTime = 2s;
        timeouts.total = limit == TotalLimit ? 2000ms : 0ms;
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
