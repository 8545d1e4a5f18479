#pragma once

#include <QStringList>
#include <QTextStream>

// quorvane ledger matches|players|commands|availability [--since DATE]
// [--until DATE] [--object ADDRESS:PORT] [--find TEXT] [--json] [--ledger L]:
// prints from the ledger and returns the exit code; no polling.
int runLedgerCommand(const QStringList& arguments, QTextStream& out, QTextStream& err);
