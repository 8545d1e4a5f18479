#pragma once

#include <QByteArray>

class QAbstractItemModel;

// A table as CSV (RFC 4180: comma, CRLF, quotes doubled), UTF-8, in the
// model's current order: the header's titles, then each row's cells as
// role gives them. Remote text that a spreadsheet would take for a formula
// (= + - @ first) is led by a quote.
QByteArray ledgerCsv(const QAbstractItemModel& model, int role);
