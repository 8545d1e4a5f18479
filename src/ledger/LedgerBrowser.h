#pragma once

#include "ledger/LedgerQuery.h"
#include "ledger/LedgerTarget.h"

#include <QObject>
#include <QString>
#include <atomic>
#include <memory>

class QThread;

// Runs the ledger window's look-ups on a thread of its own, with a read-only
// connection of its own kept open between them: ask() returns at once and
// the table arrives later as answered(), on the thread that made this. A
// look-up overtaken by a newer one before it starts is skipped.
class LedgerBrowser : public QObject
{
    Q_OBJECT

public:
    using Table = std::shared_ptr<const LedgerQuery::Table>;

    // The lists of the window: the plain kinds, players gathered per person.
    explicit LedgerBrowser(LedgerTarget target, QObject* parent = nullptr);
    ~LedgerBrowser() override;

    // The serial number that answered() will carry.
    int ask(LedgerQuery::Kind kind, const LedgerQuery::Filter& filter);
    const LedgerTarget& target() const { return m_target; }

signals:
    // table is null when the ledger could not be read; error then says why.
    void answered(int serial, LedgerQuery::Kind kind, LedgerBrowser::Table table, const QString& error);

private:
    class Worker;

    LedgerTarget m_target;
    QThread* m_thread;
    Worker* m_worker;
    std::shared_ptr<std::atomic<int>> m_latest;
    int m_serial = 0;
};
