// The document's side of demo collection: what the proxies show goes to the
// collector once a second, what it reports goes to the ledger, the page and
// the operator.
#include "core/Clock.h"
#include "layout/CQuorvaneDoc.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerDemoFiles.h"
#include "objects/CHLTV.h"

namespace {

DemoFileRecord recordOf(const DemoCollector::FileState& file)
{
    DemoFileRecord record;
    record.at = file.at;
    record.matchObject = file.match.object;
    record.matchStarted = file.match.started;
    record.proxy = file.proxy;
    record.remoteName = file.remoteName;
    record.fileName = file.fileName;
    record.size = file.size;
    record.sha256 = file.sha256;
    record.state = file.state;
    record.url = file.url;
    record.map = file.match.map;
    return record;
}

} // namespace

void CQuorvaneDoc::SetDemoSettings(DemoCollector::Settings settings)
{
    m_demoCollector.SetSettings(std::move(settings));
}

std::optional<std::string> CQuorvaneDoc::SetDemoFolder(CHLTV& proxy, const std::string& url)
{
    if (!url.empty()) {
        std::string error;
        if (!RemoteFolder::Parse(url, error))
            return "The demo folder of " + proxy.GetName() + " is not usable: " + error;
    }
    proxy.m_strDemoFolder = url;
    const std::string key = LedgerFeed::TypedAddress(proxy);
    m_demoFolders[key] = url;
    if (m_pLedger)
        m_pLedger->record(DemoFolderRecord{key, url});
    return std::nullopt;
}

std::string CQuorvaneDoc::LastCollectedDemo(const CCommonObject& proxy) const
{
    return m_demoCollector.LastCollected(LedgerFeed::TypedAddress(proxy));
}

void CQuorvaneDoc::TickDemos()
{
    if (m_demoFoldersLoading.valid() &&
        m_demoFoldersLoading.wait_for(std::chrono::seconds(0)) == std::future_status::ready) {
        // What the operator set in this run wins over what the ledger had.
        for (auto& [proxy, url] : m_demoFoldersLoading.get())
            m_demoFolders.try_emplace(proxy, url);
    }
    std::vector<DemoCollector::Observation> observations;
    for (const auto& object : m_objects) {
        auto* proxy = dynamic_cast<CHLTV*>(object.get());
        if (!proxy)
            continue;
        DemoCollector::Observation seen;
        seen.proxy = LedgerFeed::TypedAddress(*proxy);
        if (proxy->m_strDemoFolder.empty())
            if (const auto kept = m_demoFolders.find(seen.proxy); kept != m_demoFolders.end())
                proxy->m_strDemoFolder = kept->second;
        seen.folderUrl = proxy->m_strDemoFolder;
        seen.recordFile = proxy->m_strRecordFile;
        // The match as it runs: once it is over the server's report is empty,
        // and the collector names the demo after what it saw last.
        if (!seen.recordFile.empty()) {
            if (const CHLServer* server = proxy->GetRelayedServer(); server && server->m_bMatchRunning) {
                seen.match.object = LedgerFeed::TypedAddress(*server);
                seen.match.started = m_ledgerFeed ? m_ledgerFeed->MatchStarted(*server) : 0;
                seen.match.server = server->m_strHostname;
                seen.match.map = server->m_strMap;
                seen.match.teamA = server->m_strTeamA;
                seen.match.teamB = server->m_strTeamB;
                seen.match.score = std::to_string(server->m_nScoreA1 + server->m_nScoreA2) + ":" +
                                   std::to_string(server->m_nScoreB1 + server->m_nScoreB2);
            }
        }
        observations.push_back(std::move(seen));
    }
    DemoCollector::UploadTarget publishTo;
    if (m_moduleAutoWeb.m_bEnabled) {
        std::tie(publishTo.server, publishTo.port) =
            CModuleAutoWeb::FtpServerAndPort(m_moduleAutoWeb.m_strFtpServer);
        publishTo.user = m_moduleAutoWeb.m_strLogin;
        publishTo.password = m_moduleAutoWeb.m_strPassword;
    }
    for (DemoCollector::Report& report : m_demoCollector.Tick(observations, publishTo)) {
        if (report.file) {
            if (m_pLedger)
                m_pLedger->record(recordOf(*report.file));
            emit demoChanged(*report.file);
        }
        if (!report.line.empty())
            emit demoNotice(QString::fromStdString(report.line), report.notify);
    }
    if (m_publishedLoading.valid() &&
        m_publishedLoading.wait_for(std::chrono::seconds(0)) == std::future_status::ready)
        m_demoCollector.AddPublished(m_publishedLoading.get());
    if (m_demoCollector.PublishedChanges() != m_nPublishedChanges) {
        m_nPublishedChanges = m_demoCollector.PublishedChanges();
        m_moduleAutoWeb.SetPublishedDemos(m_demoCollector.Published());
    }
}
