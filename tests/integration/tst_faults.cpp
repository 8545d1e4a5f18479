// Hostile conditions: a flood of datagrams at one object, and a save cut
// short by killing the process.
#include "layout/CQuorvaneDoc.h"
#include "layout/LayoutFile.h"
#include "objects/CHLServer.h"
#include "objects/CRconSocket.h"
#include "support/TestBytes.h"
#include "support/TestContext.h"

#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <malloc.h>
#include <netinet/in.h>
#include <random>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

sockaddr_in address(quint16 port)
{
    sockaddr_in result{};
    result.sin_family = AF_INET;
    result.sin_port = htons(port);
    result.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return result;
}

// A plain non-blocking UDP socket on 127.0.0.1, for a worker thread; its port.
std::pair<int, quint16> rawSocket()
{
    const int fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
    sockaddr_in bound = address(0);
    ::bind(fd, reinterpret_cast<sockaddr*>(&bound), sizeof bound);
    socklen_t length = sizeof bound;
    ::getsockname(fd, reinterpret_cast<sockaddr*>(&bound), &length);
    return {fd, ntohs(bound.sin_port)};
}

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

// A long print reply, a players reply announcing 32 and holding one,
// details whose strings never end, and bytes that are not ours at all.
std::vector<std::string> floodDatagrams()
{
    const std::string prefix(4, '\xFF');
    std::string print = prefix + 'l';
    for (int line = 0; print.size() < 1300; ++line)
        print += "flood line " + std::to_string(line) + " of a server that never stops talking\n";
    return {print, prefix + std::string("D\x20\x01" "bob\0\0\0\0\0\0\0\0\0", 16),
            prefix + "m" + std::string(1500, 'x'), std::string(1000, '\x7F')};
}

// Servers without channels, each in the document's first group.
void addServers(CQuorvaneDoc& document, int count, int firstPort)
{
    for (int i = 0; i < count; ++i) {
        auto server = std::make_unique<CHLServer>(document.context());
        server->m_strAddress = "127.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
        server->m_nPort = firstPort + i % 1000;
        server->m_strRconPassword = "secret " + std::to_string(i);
        server->m_pGroup = document.m_groups[0].get();
        document.m_objects.push_back(std::move(server));
    }
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    TestContext env;

private slots:
    void init() { env.op = ScriptedOperator{}; }

    void floodKeepsTheTickGoingAndMemoryFlat()
    {
        const auto [machine, machinePort] = rawSocket();
        CQuorvaneDoc document(env.context());
        document.OnNewDocument();
        auto* server = static_cast<CHLServer*>(
            document.AddServer("127.0.0.1", machinePort, "secret", document.m_groups[0].get()));
        QTRY_VERIFY_WITH_TIMEOUT(server->channel()->isConnected(), 5000);

        // The machine floods the object with replies and junk (at most two
        // million datagrams) and counts what the object keeps sending meanwhile.
        std::atomic<bool> stop{false};
        std::atomic<int> sent{0};
        std::atomic<int> queries{0};
        const sockaddr_in object = address(server->channel()->localPort());
        std::thread flooder([&, fd = machine] {
            const std::vector<std::string> kinds = floodDatagrams();
            char buffer[2048];
            for (int i = 0; !stop && i < 2'000'000; ++i) {
                const std::string& datagram = kinds[std::size_t(i % 4)];
                if (::sendto(fd, datagram.data(), datagram.size(), 0, reinterpret_cast<const sockaddr*>(&object),
                             sizeof object) > 0)
                    ++sent;
                while (::recv(fd, buffer, sizeof buffer, 0) > 0)
                    ++queries;
            }
        });

        // The one-second tick, on the same event loop as the flood's reading.
        int ticks = 0;
        std::size_t heapAfterWarmUp = 0;
        QTimer tick;
        QObject::connect(&tick, &QTimer::timeout, [&] {
            env.clock.advance(1);
            document.TickSecond();
            if (++ticks == 5)
                heapAfterWarmUp = heapInUse();
        });
        tick.start(100);
        QTRY_VERIFY_WITH_TIMEOUT(ticks >= 20, 30000);
        tick.stop();
        stop = true;
        flooder.join();
        ::close(machine);

        QVERIFY2(sent > 10000, qPrintable(QString::number(sent)));
        QVERIFY2(queries > 0, "the object stopped polling");
        QCOMPARE(server->m_log.count(), CConsoleLog::kCapacity);
        const auto growth = static_cast<qint64>(heapInUse()) - static_cast<qint64>(heapAfterWarmUp);
        QVERIFY2(growth < 512 * 1024, qPrintable(QStringLiteral("heap grew by %1 bytes").arg(growth)));
        QVERIFY(env.op.messages.empty());
    }

    void saveKilledMidwayLeavesAWholeFile()
    {
        // Two layouts of different sizes, saved in turn to the same file by a
        // child process that is killed at random moments.
        CQuorvaneDoc small(env.context());
        small.OnNewDocument();
        addServers(small, 2000, 27015);
        CQuorvaneDoc large(env.context());
        large.OnNewDocument();
        addServers(large, 6000, 28015);
        const QByteArray smallBytes = layoutfile::save(small);
        const QByteArray largeBytes = layoutfile::save(large);

        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("park.qvl"));
        QString error;
        QVERIFY(layoutfile::saveToFile(small, path, error));
        std::mt19937 random(2003);
        for (int round = 0; round < 12; ++round) {
            int saved[2];
            QCOMPARE(::pipe(saved), 0);
            const pid_t child = ::fork();
            QVERIFY(child >= 0);
            if (child == 0) {
                ::close(saved[0]);
                for (int i = 0;; ++i) {
                    QString childError;
                    layoutfile::saveToFile(i % 2 ? small : large, path, childError);
                    const char done = 1;
                    if (::write(saved[1], &done, 1) != 1)
                        ::_exit(1);
                }
            }
            ::close(saved[1]);
            char done = 0;
            for (int i = 0, saves = 1 + round % 3; i < saves; ++i)
                QCOMPARE(::read(saved[0], &done, 1), ssize_t{1});
            std::this_thread::sleep_for(std::chrono::microseconds(random() % 4000));
            ::kill(child, SIGKILL);
            ::waitpid(child, nullptr, 0);
            ::close(saved[0]);
            const QByteArray onDisk = fileBytes(path); // empty, matching neither, when unreadable
            QVERIFY2(onDisk == smallBytes || onDisk == largeBytes,
                     qPrintable(QStringLiteral("round %1: %2 bytes on disk").arg(round).arg(onDisk.size())));
        }
        CQuorvaneDoc reopened(env.context());
        QVERIFY(layoutfile::openFile(reopened, path, error));
        QVERIFY(reopened.m_objects.size() == 2000 || reopened.m_objects.size() == 6000);
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
