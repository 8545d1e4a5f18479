#pragma once

#include "ledger/LedgerQuery.h"
#include "ledger/LedgerTarget.h"

#include <QString>
#include <cstdint>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// The demo files of the matches and the proxies' demo folders, read on a
// connection of their own that changes nothing (the Matches tab, `quorvane
// ledger matches`, the start of a run).
namespace LedgerDemoFiles
{
struct File
{
    QString matchObject;
    std::int64_t matchStarted = 0;
    QString instance;
    QString proxy;
    QString remoteName;
    QString fileName;
    std::int64_t size = 0;
    QString sha256;
    // "waiting", "downloading NN %", "kept", "published", "failed: why".
    QString state;
    QString url;
    std::int64_t at = 0;
    QString map; // the map it holds
};

// (match object, match start) -> its files, in the order they were recorded.
using ByMatch = std::map<std::pair<QString, std::int64_t>, std::vector<File>>;

// Every demo file of the matches started in [since, until) (either open);
// nullopt with the reason when the ledger cannot be read. A ledger from
// before demo collection holds none.
std::optional<ByMatch> files(const LedgerTarget& target, std::optional<std::int64_t> since,
                             std::optional<std::int64_t> until, QString& error);
// A published demo file with its match's teams ("A vs B") and final score.
struct Published
{
    File file;
    QString teams;
    QString score;
};
// The published demo files, newest match first, at most limit: a later run's page lists them again.
std::optional<std::vector<Published>> published(const LedgerTarget& target, int limit, QString& error);
// Adds the column "files" to a table of matches: each match's demo files
// as "NAME (12.3 MB, kept)", "; " between them (empty: none).
void attachFiles(LedgerQuery::Table& matches, const ByMatch& files);

// proxy (typed address) -> folder URL.
std::optional<std::map<QString, QString>> folders(const LedgerTarget& target, QString& error);

// What the ledger keeps of each proxy's relay: its wanted upstream and
// whether it is connected again by itself.
struct RelayPlan
{
    QString upstream;
    bool autoReconnect = true;
};
// proxy (typed address) -> its relay plan.
std::optional<std::map<QString, RelayPlan>> relayPlans(const LedgerTarget& target, QString& error);
} // namespace LedgerDemoFiles
