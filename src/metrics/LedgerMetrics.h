#pragma once

#include <QByteArray>

class Ledger;

// The ledger's families of the metrics page:
//   quorvane_ledger_records_total{kind}, quorvane_ledger_write_errors_total,
//   quorvane_ledger_queue, quorvane_ledger_dropped_total
QByteArray ledgerMetricsText(const Ledger& ledger);
