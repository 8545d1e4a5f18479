#include "metrics/LedgerMetrics.h"

#include "ledger/Ledger.h"

namespace {

QByteArray family(const char* name, const char* type, const char* help)
{
    return QByteArray("# HELP ") + name + ' ' + help + "\n# TYPE " + name + ' ' + type + '\n';
}

QByteArray count(std::uint64_t value)
{
    return QByteArray::number(static_cast<qulonglong>(value));
}

} // namespace

QByteArray ledgerMetricsText(const Ledger& ledger)
{
    const LedgerStats& stats = ledger.stats();
    QByteArray text = family("quorvane_ledger_records_total", "counter", "Records written to the ledger, by kind.");
    for (int kind = 0; kind < LedgerStats::KindCount; ++kind)
        text += QByteArray("quorvane_ledger_records_total{kind=\"") + LedgerStats::KindName(kind) + "\"} " +
                count(stats.written[static_cast<std::size_t>(kind)].load()) + '\n';
    text += family("quorvane_ledger_write_errors_total", "counter",
                   "Attempts to open or write the ledger that failed.");
    text += "quorvane_ledger_write_errors_total " + count(stats.writeErrors.load()) + '\n';
    text += family("quorvane_ledger_queue", "gauge", "Records waiting to be written to the ledger.");
    text += "quorvane_ledger_queue " + count(ledger.queued()) + '\n';
    text += family("quorvane_ledger_dropped_total", "counter",
                   "Records dropped because the ledger could not be written for too long.");
    text += "quorvane_ledger_dropped_total " + count(ledger.dropped()) + '\n';
    return text;
}
