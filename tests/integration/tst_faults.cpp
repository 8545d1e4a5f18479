// Hostile conditions: a flood of datagrams at one object, a save cut short
// by killing the process, and a park of thousands of objects.
#include "core/ResourceLimits.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/LayoutFile.h"
#include "objects/CHLServer.h"
#include "objects/CRconSocket.h"
#include "support/TestContext.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <arpa/inet.h>
#include <atomic>
#include <csignal>
#include <malloc.h>
#include <netinet/in.h>
#include <random>
#include <set>
#include <sys/socket.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>

namespace {

// A plain UDP socket on 127.0.0.1 used from a worker thread.
class RawSocket
{
public:
    RawSocket()
    {
        m_fd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        sockaddr_in address = loopback(0);
        ::bind(m_fd, reinterpret_cast<sockaddr*>(&address), sizeof address);
        socklen_t length = sizeof address;
        ::getsockname(m_fd, reinterpret_cast<sockaddr*>(&address), &length);
        m_port = ntohs(address.sin_port);
    }
    ~RawSocket() { ::close(m_fd); }
    RawSocket(const RawSocket&) = delete;
    RawSocket& operator=(const RawSocket&) = delete;

    static sockaddr_in loopback(quint16 port)
    {
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_port = htons(port);
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        return address;
    }
    // Binds to every local address instead, so that 127.x.y.z all reach it.
    static sockaddr_in anyAddress(quint16 port)
    {
        sockaddr_in address = loopback(port);
        address.sin_addr.s_addr = htonl(INADDR_ANY);
        return address;
    }

    int fd() const { return m_fd; }
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
};

std::size_t heapInUse()
{
    const struct mallinfo2 info = mallinfo2();
    return info.uordblks + info.hblkhd;
}

std::string flood(int kind)
{
    std::string datagram(4, '\xFF');
    switch (kind % 4) {
    case 0: { // a long print reply: many lines into the console log
        datagram += 'l';
        for (int line = 0; datagram.size() < 1300; ++line)
            datagram += "flood line " + std::to_string(line) + " of a server that never stops talking\n";
        break;
    }
    case 1: // a players reply announcing 32 players and holding few
        datagram += std::string("D\x20\x01" "bob\0\0\0\0\0\0\0\0\0", 16);
        break;
    case 2: // details with strings that never end
        datagram += "m" + std::string(1500, 'x');
        break;
    default: // not ours at all
        datagram = std::string(1000, '\x7F');
        break;
    }
    return datagram;
}

// Servers without channels, each in the document's first group.
void addServersWithoutChannels(CQuorvaneDoc& document, int count, int firstPort)
{
    for (int i = 0; i < count; ++i) {
        auto server = std::make_unique<CHLServer>(document.context());
        server->m_strAddress = "10.0." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
        server->m_nPort = firstPort + i % 1000;
        server->m_strRconPassword = "secret " + std::to_string(i);
        server->m_pGroup = document.m_groups[0].get();
        document.m_objects.push_back(std::move(server));
    }
}

QByteArray readFile(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
}

} // namespace

class TestFaults : public QObject
{
    Q_OBJECT

    TestContext env;

private slots:
    void initTestCase() { raiseOpenFileLimit(); }

    void init() { env.op = ScriptedOperator{}; }

    void floodKeepsTheTickGoingAndMemoryFlat()
    {
        RawSocket machine;
        CQuorvaneDoc document(env.context());
        document.OnNewDocument();
        auto* server = static_cast<CHLServer*>(
            document.AddServer("127.0.0.1", machine.port(), "secret", document.m_groups[0].get()));
        QTRY_VERIFY_WITH_TIMEOUT(server->channel()->isConnected(), 5000);

        // The machine floods the object with a mix of replies and junk for
        // three seconds (at most two million datagrams), and counts what the
        // object keeps sending meanwhile.
        std::atomic<bool> stop{false};
        std::atomic<int> sent{0};
        std::atomic<int> queries{0};
        const sockaddr_in object = RawSocket::loopback(server->channel()->localPort());
        std::thread flooder([&] {
            const std::string kinds[] = {flood(0), flood(1), flood(2), flood(3)};
            char buffer[2048];
            for (int i = 0; !stop && i < 2'000'000; ++i) {
                const std::string& datagram = kinds[i % 4];
                if (::sendto(machine.fd(), datagram.data(), datagram.size(), 0,
                             reinterpret_cast<const sockaddr*>(&object), sizeof object) > 0)
                    ++sent;
                while (::recv(machine.fd(), buffer, sizeof buffer, 0) > 0)
                    ++queries;
            }
        });

        // The one-second tick, ten times faster, on the same event loop.
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
        QTest::qWait(3000);
        tick.stop();
        stop = true;
        flooder.join();

        QVERIFY2(sent > 10000, qPrintable(QString::number(sent)));
        QVERIFY2(ticks >= 18, qPrintable(QStringLiteral("%1 ticks in 3 s").arg(ticks)));
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
        addServersWithoutChannels(small, 2000, 27015);
        CQuorvaneDoc large(env.context());
        large.OnNewDocument();
        addServersWithoutChannels(large, 6000, 28015);
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
            int status = 0;
            ::waitpid(child, &status, 0);
            ::close(saved[0]);

            const QByteArray onDisk = readFile(path);
            QVERIFY2(onDisk == smallBytes || onDisk == largeBytes,
                     qPrintable(QStringLiteral("round %1: %2 bytes on disk").arg(round).arg(onDisk.size())));
        }
        CQuorvaneDoc reopened(env.context());
        QVERIFY(layoutfile::openFile(reopened, path, error));
        QVERIFY(reopened.m_objects.size() == 2000 || reopened.m_objects.size() == 6000);
    }

    void fiveThousandObjectsOpenWithEverySocketWorking()
    {
        constexpr int kObjects = 5000;
        if (raiseOpenFileLimit() < kObjects + 200)
            QSKIP("the hard limit on open files is below 5,200 here");

        // Every object at its own 127.x.y.z address and the one port of a
        // sink that listens on all local addresses.
        const sockaddr_in any = RawSocket::anyAddress(0);
        const int sinkFd = ::socket(AF_INET, SOCK_DGRAM | SOCK_NONBLOCK, 0);
        QCOMPARE(::bind(sinkFd, reinterpret_cast<const sockaddr*>(&any), sizeof any), 0);
        sockaddr_in bound{};
        socklen_t length = sizeof bound;
        ::getsockname(sinkFd, reinterpret_cast<sockaddr*>(&bound), &length);
        const int buffer = 4 << 20;
        ::setsockopt(sinkFd, SOL_SOCKET, SO_RCVBUF, &buffer, sizeof buffer);
        const int on = 1;
        ::setsockopt(sinkFd, IPPROTO_IP, IP_PKTINFO, &on, sizeof on);

        QByteArray layout;
        {
            CQuorvaneDoc built(env.context());
            built.OnNewDocument();
            for (int i = 0; i < kObjects; ++i) {
                auto server = std::make_unique<CHLServer>(built.context());
                server->m_strAddress = "127.1." + std::to_string(i / 250) + "." + std::to_string(i % 250 + 1);
                server->m_nPort = ntohs(bound.sin_port);
                server->m_strRconPassword = "secret"; // so that each makes its own rcon socket too
                server->m_pGroup = built.m_groups[0].get();
                built.m_objects.push_back(std::move(server));
            }
            layout = layoutfile::save(built);
        }
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("large.qvl"));
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(layout);
        }

        CQuorvaneDoc document(env.context());
        QString error;
        QVERIFY2(layoutfile::openFile(document, path, error), qPrintable(error));
        QCOMPARE(document.m_objects.size(), std::size_t{kObjects});
        QTRY_VERIFY_WITH_TIMEOUT(std::all_of(document.m_objects.begin(), document.m_objects.end(),
                                             [](const auto& o) { return o->channel()->isConnected(); }),
                                 30000);

        // Each object's queries reach the sink, which tells them apart by
        // the address they were sent to: a worker drains it while the
        // document ticks (a lost datagram is made up for by the next cycle).
        std::set<quint32> expected;
        for (const auto& object : document.m_objects)
            expected.insert(object->channel()->resolvedAddress());
        std::set<quint32> heard;
        std::atomic<bool> stop{false};
        std::thread drain([&] {
            char datagram[2048];
            alignas(cmsghdr) char control[CMSG_SPACE(sizeof(in_pktinfo))];
            while (!stop) {
                iovec part{datagram, sizeof datagram};
                msghdr header{};
                header.msg_iov = &part;
                header.msg_iovlen = 1;
                header.msg_control = control;
                header.msg_controllen = sizeof control;
                if (::recvmsg(sinkFd, &header, 0) <= 0) {
                    std::this_thread::sleep_for(std::chrono::microseconds(200));
                    continue;
                }
                for (cmsghdr* c = CMSG_FIRSTHDR(&header); c; c = CMSG_NXTHDR(&header, c)) {
                    if (c->cmsg_level == IPPROTO_IP && c->cmsg_type == IP_PKTINFO)
                        heard.insert(ntohl(reinterpret_cast<const in_pktinfo*>(CMSG_DATA(c))->ipi_addr.s_addr));
                }
            }
        });
        for (int tick = 0; tick < 12; ++tick) {
            env.clock.advance(1);
            document.TickSecond();
            QTest::qWait(100);
        }
        stop = true;
        drain.join();
        ::close(sinkFd);
        std::vector<quint32> silent;
        std::set_difference(expected.begin(), expected.end(), heard.begin(), heard.end(),
                            std::back_inserter(silent));
        QVERIFY2(silent.empty(), qPrintable(QStringLiteral("%1 objects never sent").arg(silent.size())));
        QVERIFY2(env.op.messages.empty(), env.op.messages.empty() ? "" : env.op.messages.front().c_str());
    }
};

QTEST_GUILESS_MAIN(TestFaults)
#include "tst_faults.moc"
