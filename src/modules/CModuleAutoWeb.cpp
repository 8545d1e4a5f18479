#include "modules/CModuleAutoWeb.h"

#include "core/Clock.h"
#include "core/HtmlEscape.h"
#include "core/Operator.h"
#include "core/TextTokens.h"
#include "modules/DemoSection.h"
#include "modules/PageSource.h"
#include "objects/CHLTV.h"
#include "transfer/CFtpJob.h"
#include "transfer/CFtpJobManager.h"
#include "transfer/FtpOutcomes.h"

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <fstream>
#include <tuple>

namespace {

constexpr const char* kTemplateFile = "web_template.html";

void replaceAll(std::string& text, const std::string& tag, const std::string& value)
{
    for (std::size_t at = text.find(tag); at != std::string::npos; at = text.find(tag, at + value.size()))
        text.replace(at, tag.size(), value);
}

std::string format(const char* pattern, auto... values)
{
    char buffer[512];
    std::snprintf(buffer, sizeof buffer, pattern, values...);
    return buffer;
}

// The template with its end-of-line characters removed, lines joined.
std::optional<std::string> readTemplate()
{
    std::ifstream file(kTemplateFile, std::ios::binary);
    if (!file)
        return std::nullopt;
    std::string text;
    std::string line;
    while (std::getline(file, line)) {
        while (!line.empty() && (line.back() == '\r' || line.back() == '\n'))
            line.pop_back();
        text += line;
    }
    return text;
}

std::string localTimeText(std::int64_t seconds)
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[128] = {};
    std::strftime(text, sizeof text, "%A, %B %d, %Y at %H:%M:%S", &local);
    return text;
}

struct Totals
{
    long long spectators = 0;
    long long slotCount = 0;
    double bandwidth = 0.0;
};

} // namespace

std::string CModuleAutoWeb::MatchStateText(std::int32_t state)
{
    switch (state) {
    case 0:
        return "No match detected";
    case 1:
        return "still warming up";
    case 2:
        return "fighting 1st step";
    case 3:
        return "warming up the 2nd step";
    case 4:
        return "fighting ";
    case 5:
        return "match is finished";
    default:
        return {};
    }
}

std::pair<std::string, int> CModuleAutoWeb::FtpServerAndPort(const std::string& setting)
{
    const std::size_t colon = setting.rfind(':');
    // A bare IPv6 address holds colons of its own: only "[v6]:port" or
    // "host:port" with one colon carries a port.
    const bool bracketed = !setting.empty() && setting.front() == '[';
    if (colon == std::string::npos || (!bracketed && setting.find(':') != colon) ||
        (bracketed && (colon == 0 || setting[colon - 1] != ']')))
        return {setting, 21};
    const std::string digits = setting.substr(colon + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string::npos)
        return {setting, 21};
    const int port = std::stoi(digits);
    if (port < 1 || port > 65535)
        return {setting, 21};
    std::string host = setting.substr(0, colon);
    if (bracketed)
        host = host.substr(1, host.size() - 2);
    return {host, port};
}

CModuleAutoWeb::CModuleAutoWeb() : m_pOutcomes(std::make_shared<FtpOutcomes>()) {}

CModuleAutoWeb::~CModuleAutoWeb() = default;

void CModuleAutoWeb::Tick(PageSource& document)
{
    if (!m_bEnabled)
        return;
    Queue(document, {m_strFtpServer, m_strLogin, m_strPassword, m_strRemoteFile});
}

void CModuleAutoWeb::UploadNow(PageSource& document, const Target& target)
{
    Queue(document, target);
}

void CModuleAutoWeb::Queue(PageSource& document, const Target& target)
{
    const CoreContext& context = document.context();
    const auto templateText = readTemplate();
    if (!templateText) {
        // Without a template there is no page: the one published stays.
        m_pOutcomes->Post({false, "Unable to open template file web_template.html. Please put it on same "
                                  "dir that this program"});
        return;
    }
    auto job = std::make_unique<CFtpJob>();
    job->m_strContent = GeneratePage(document, *templateText, localTimeText(context.clock->now()));
    std::tie(job->m_strServer, job->m_nPort) = FtpServerAndPort(target.ftpServer);
    job->m_strUser = target.login;
    job->m_strPassword = target.password;
    job->m_strRemoteFile = target.remoteFile;
    job->m_nKind = 0;
    job->m_pOutcomes = m_pOutcomes;
    // Only the newest page matters: it replaces one still waiting.
    document.UploadQueue().AddReplacingJob(std::move(job));
}

std::vector<CModuleAutoWeb::Notice> CModuleAutoWeb::CollectOutcomes(std::int64_t now)
{
    std::vector<Notice> notices;
    for (FtpOutcome& outcome : m_pOutcomes->Take()) {
        // One line for the status bar: the engine's header ends in " :\n".
        std::string text = std::move(outcome.message);
        for (std::size_t at; (at = text.find(" :\n")) != std::string::npos;)
            text.replace(at, 3, ": ");
        std::replace(text.begin(), text.end(), '\n', ' ');
        m_lastUpload = {now, outcome.ok, std::move(text)};
        if (outcome.ok) {
            m_timeLastGood = now;
            if (m_bFailing)
                notices.push_back({"AutoWeb: the page is published again (" + TimeOfDay(now) + ")", false});
            m_bFailing = false;
            continue;
        }
        const std::string since = m_timeLastGood == 0 ? std::string("no good upload yet")
                                                      : "last good upload at " + TimeOfDay(m_timeLastGood);
        notices.push_back({"AutoWeb: " + m_lastUpload.text + " (" + since + ")", !m_bFailing});
        m_bFailing = true;
    }
    return notices;
}

std::string CModuleAutoWeb::LastUploadText() const
{
    if (m_lastUpload.time == 0)
        return "Last upload: none yet";
    return "Last upload: " + TimeOfDay(m_lastUpload.time) +
           (m_lastUpload.ok ? std::string(", published") : ", failed: " + m_lastUpload.text);
}

std::string CModuleAutoWeb::TimeOfDay(std::int64_t seconds)
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[16] = {};
    std::strftime(text, sizeof text, "%H:%M:%S", &local);
    return text;
}

std::string CModuleAutoWeb::GeneratePage(const PageSource& document, const std::string& templateText,
                                         const std::string& signatureTime)
{
    std::string rest = templateText;
    std::string page;

    CutToken(rest, "[SECTION_ALWAYS]");
    page += CutToken(rest, "[/SECTION_ALWAYS]");
    CutToken(rest, "[SECTION_HLTV]");
    std::string section = CutToken(rest, "[SECTION_HLTV_LOOP]");
    const std::string rowTemplate = CutToken(rest, "[/SECTION_HLTV_LOOP]");

    Totals totals;
    const bool adminBot = document.AdminBotEnabled();
    document.ForEachProxy([&](CHLTV& listed) {
        CHLTV* proxy = &listed;
        if (!proxy->m_bExportWeb || proxy->m_nStatus < CSStatus_CONTROL)
            return;
        totals.spectators += proxy->m_nClients;
        totals.slotCount += proxy->m_nMaxClients;
        // A proxy prints its outgoing rate in kB/s; one not read yet (< 0) adds nothing.
        if (proxy->m_fOutRate > 0.0f)
            totals.bandwidth += static_cast<double>(proxy->m_fOutRate);

        std::string clans = "&nbsp;";
        std::string info = "&nbsp;";
        if (!proxy->m_strLinkedAddress.empty()) {
            const CHLServer* server = proxy->GetRelayedServer();
            if (adminBot && server) {
                if (server->m_nMatchState > 0)
                    clans = "<b>" + escapeHtml(server->m_strTeamA) + "</b> vs <b>" +
                            escapeHtml(server->m_strTeamB) + "</b>";
                else
                    clans = "&nbsp;";
                info = "Currently " + std::to_string(proxy->m_nPlayers) + " players on " +
                       escapeHtml(proxy->m_strMap) + ", " + MatchStateText(server->m_nMatchState) +
                       ", score is " +
                       std::to_string(static_cast<long long>(server->m_nScoreA1) + server->m_nScoreA2) + "-" +
                       std::to_string(static_cast<long long>(server->m_nScoreB1) + server->m_nScoreB2);
            } else {
                clans = escapeHtml(proxy->Clans());
                info = std::to_string(proxy->m_nPlayers) + " players on " + escapeHtml(proxy->m_strMap);
            }
        }
        std::string row = rowTemplate;
        // Every value from a machine or a typed field is escaped: a host name
        // must not become markup or script on the published page.
        replaceAll(row, "[#HOSTNAME]", escapeHtml(proxy->m_strHostname));
        replaceAll(row, "[#IP]", escapeHtml(proxy->GetExternalName()));
        replaceAll(row, "[#NBSPEC]", std::to_string(proxy->m_nClients));
        replaceAll(row, "[#NBSPECMAX]", std::to_string(proxy->m_nMaxClients));
        replaceAll(row, "[#CLANS]", clans);
        replaceAll(row, "[#INFO]", info);
        section += row;
    });
    section += CutToken(rest, "[/SECTION_HLTV]");
    page += section;

    if (totals.spectators > m_nPeakSpectators)
        m_nPeakSpectators = static_cast<std::int32_t>(std::min<long long>(totals.spectators, INT32_MAX));
    if (totals.bandwidth > m_fPeakBandwidth)
        m_fPeakBandwidth = totals.bandwidth;

    CutToken(rest, "[SECTION_STATS]");
    std::string stats = CutToken(rest, "[/SECTION_STATS]");
    replaceAll(stats, "[#TOTAL_HL_SLOTS]", std::to_string(totals.spectators));
    replaceAll(stats, "[#TOTAL_HL_SLOTS_MAX]", std::to_string(totals.slotCount));
    replaceAll(stats, "[#TOTAL_HL_SLOTS_PEAK]", std::to_string(m_nPeakSpectators));
    replaceAll(stats, "[#TOTAL_HL_SLOTS_PEAK_PERCENT]",
               totals.slotCount > 0
                   ? std::to_string(static_cast<long long>(m_nPeakSpectators) * 100 / totals.slotCount)
                   : std::string("0"));
    // kB/s to kbit/s.
    replaceAll(stats, "[#TOTAL_HL_BANDWIDTH]", format("%0.3f", totals.bandwidth * 8.0));
    replaceAll(stats, "[#TOTAL_HL_BANDWIDTH_PEAK]", format("%0.3f", m_fPeakBandwidth * 8.0));
    page += stats;
    // Only a template that has the demos section changes here.
    page += DemoSection::Take(rest, m_publishedDemos);

    CutToken(rest, "[SECTION_ALWAYS]");
    std::string bottom = CutToken(rest, "[/SECTION_ALWAYS]");
    replaceAll(bottom, "[#SIGN]",
               "Auto-Generated by <a href='https://quorvane.example.org/'>Quorvane</a> (AutoWeb module) on " +
                   signatureTime + "<br>Quorvane, the console for Half-Life server parks.");
    page += bottom;
    return page;
}
