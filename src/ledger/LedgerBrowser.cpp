#include "ledger/LedgerBrowser.h"

#include "ledger/LedgerBrowse.h"
#include "ledger/LedgerConnection.h"
#include "ledger/LedgerDemoFiles.h"

#include <QMetaObject>
#include <QPointer>
#include <QThread>

class LedgerBrowser::Worker : public QObject
{
public:
    Worker(LedgerTarget target, std::shared_ptr<std::atomic<int>> latest)
        : m_target(std::move(target)), m_latest(std::move(latest))
    {
    }

    // On the worker's thread.
    void run(LedgerBrowser* browser, int serial, LedgerQuery::Kind kind, const LedgerQuery::Filter& filter)
    {
        if (serial < m_latest->load())
            return; // the window has asked again meanwhile
        QString error;
        std::optional<LedgerQuery::Table> table;
        if (!m_connection)
            m_connection = std::make_unique<LedgerConnection>(m_target);
        if (m_connection->isOpen() || m_connection->open(LedgerConnection::Mode::Read, error)) {
            table = kind == LedgerQuery::Kind::Players ? LedgerBrowse::players(*m_connection, filter, error)
                                                       : LedgerQuery::run(*m_connection, kind, filter, error);
            // Each match with its demo files and what became of them.
            if (table && kind == LedgerQuery::Kind::Matches)
                if (const auto files = LedgerDemoFiles::files(m_target, filter.since, filter.until, error))
                    LedgerDemoFiles::attachFiles(*table, *files);
            // A connection that failed is opened anew next time (PostgreSQL restarted, file replaced).
            if (!table)
                m_connection->close();
        }
        Table shared = table ? std::make_shared<const LedgerQuery::Table>(std::move(*table)) : nullptr;
        QMetaObject::invokeMethod(
            browser,
            [browser, serial, kind, shared, error] { emit browser->answered(serial, kind, shared, error); },
            Qt::QueuedConnection);
    }

    void closeConnection() { m_connection.reset(); }

private:
    LedgerTarget m_target;
    std::shared_ptr<std::atomic<int>> m_latest;
    std::unique_ptr<LedgerConnection> m_connection;
};

LedgerBrowser::LedgerBrowser(LedgerTarget target, QObject* parent)
    : QObject(parent), m_target(std::move(target)), m_thread(new QThread),
      m_latest(std::make_shared<std::atomic<int>>(0))
{
    m_worker = new Worker(m_target, m_latest);
    m_thread->setObjectName(QStringLiteral("ledger browser"));
    m_worker->moveToThread(m_thread);
    // The connection closes on the thread that opened it, as the thread ends.
    Worker* worker = m_worker;
    connect(
        m_thread, &QThread::finished, m_worker, [worker] { worker->closeConnection(); },
        Qt::DirectConnection);
    m_thread->start(QThread::LowPriority);
}

LedgerBrowser::~LedgerBrowser()
{
    m_latest->store(m_serial + 1); // what is still queued is skipped
    m_thread->quit();
    m_thread->wait();
    delete m_worker;
    delete m_thread;
}

int LedgerBrowser::ask(LedgerQuery::Kind kind, const LedgerQuery::Filter& filter)
{
    const int serial = ++m_serial;
    m_latest->store(serial);
    Worker* worker = m_worker;
    QMetaObject::invokeMethod(
        worker, [worker, this, serial, kind, filter] { worker->run(this, serial, kind, filter); },
        Qt::QueuedConnection);
    return serial;
}
