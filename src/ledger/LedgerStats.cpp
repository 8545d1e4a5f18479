#include "ledger/LedgerStats.h"

#include "ledger/LedgerRecords.h"

const char* LedgerStats::KindName(int kind)
{
    static const char* const names[KindCount] = {"commands", "availability", "matches", "players", "history"};
    return kind >= 0 && kind < KindCount ? names[kind] : "other";
}

const char* LedgerKindName(const LedgerRecord& record)
{
    return LedgerStats::KindName(static_cast<int>(record.index()));
}
