#include "ledger/Ledger.h"

#include "ledger/PasswordMask.h"

#include <QMetaObject>
#include <QtGlobal>
#include <QThread>

namespace
{
// How often the writer looks at the queue when nothing wakes it (and so how
// soon it retries once the minute has passed).
constexpr int kWriterWakeMs = 500;
} // namespace

Ledger::Ledger(Options options, const Clock& clock, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_clock(clock), m_queue(m_options.capacity)
{
    if (!m_options.threaded)
    {
        m_store = std::make_unique<LedgerStore>(m_options.settings, m_queue, m_stats, m_clock,
                                                [this](const QString& text) { emit message(text); });
        return;
    }
    m_thread = QThread::create([this] { runWriter(); });
    m_thread->setObjectName(QStringLiteral("ledger writer"));
    m_thread->start(QThread::LowPriority);
}

Ledger::~Ledger()
{
    if (m_thread)
    {
        m_queue.stop();
        m_thread->wait();
        delete m_thread;
    }
    // Said, not silently lost: the ledger could not be written before the end.
    if (const std::size_t lost = m_queue.size())
        qWarning("quorvane: %zu records could not be written to the ledger %s and are lost", lost,
                 qPrintable(m_options.settings.target.describe()));
}

void Ledger::runWriter()
{
    // The store, and with it the database connection, lives and dies on
    // this thread; the destructor waits for it, so this outlives it.
    LedgerStore store(m_options.settings, m_queue, m_stats, m_clock, [this](const QString& text) {
        QMetaObject::invokeMethod(this, [this, text] { emit message(text); }, Qt::QueuedConnection);
    });
    while (!m_queue.stopped())
    {
        store.pump();
        m_queue.waitFor(kWriterWakeMs);
    }
    store.pump(); // what came in last, when the ledger is open
}

namespace
{
void MaskCommand(LedgerRecord& record)
{
    if (auto* command = std::get_if<CommandRecord>(&record))
    {
        command->text = MaskPasswords(command->text, command->secrets);
        command->answer = MaskPasswords(command->answer, command->secrets);
        command->secrets.clear();
    }
}
} // namespace

void Ledger::record(LedgerRecord record)
{
    MaskCommand(record);
    m_queue.push(std::move(record));
}

void Ledger::recordAll(std::vector<LedgerRecord>& records)
{
    for (LedgerRecord& record : records)
        MaskCommand(record);
    m_queue.pushAll(records);
}

void Ledger::forgetPlayer(const std::string& steamIdOrIp)
{
    m_queue.push(ForgetRequest{steamIdOrIp});
}

bool Ledger::pump()
{
    return m_store ? m_store->pump() : false;
}
