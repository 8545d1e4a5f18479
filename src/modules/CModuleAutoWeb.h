#pragma once

#include "modules/CModule.h"

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

class FtpOutcomes;
class PageSource;

// The status page generator: every 30 seconds, while enabled, it fills the
// page template with the exported proxies' figures and queues the page for
// upload by FTP.
//
// Its failures never stop the evening: they are told as notices (status bar,
// console), and an outage (failures since the last good upload) makes one
// notification, at its first failure.
class CModuleAutoWeb : public CModule
{
public:
    // Where a page goes.
    struct Target
    {
        std::string ftpServer; // "host" or "host:port"
        std::string login;
        std::string password;
        std::string remoteFile;
    };
    // The last upload as it ended (time 0: none yet).
    struct Upload
    {
        std::int64_t time = 0;
        bool ok = false;
        std::string text; // the reason of a failure
    };
    // Something the operator should hear of, without being interrupted.
    struct Notice
    {
        std::string text;
        bool outageBegins = false; // the first failure since the last good upload
    };

    CModuleAutoWeb();
    ~CModuleAutoWeb();

    // Builds the page and queues its upload; nothing while disabled.
    void Tick(PageSource& document);
    // Builds the page and queues its upload to target at once, enabled or
    // not ("Upload Now"); the upload runs on the worker thread.
    void UploadNow(PageSource& document, const Target& target);
    // Takes what became of the uploads since the last look, at now; run
    // once a second on the document's thread.
    std::vector<Notice> CollectOutcomes(std::int64_t now);
    const Upload& LastUpload() const { return m_lastUpload; }
    std::int64_t LastGoodUpload() const { return m_timeLastGood; }
    // "Last upload: 21:04:31, published" / "... failed: REASON" / "Last upload: none yet".
    std::string LastUploadText() const;
    // A time of day as notices show it, HH:MM:SS local time.
    static std::string TimeOfDay(std::int64_t seconds);
    // The page for the document's present state, from the template text.
    // Raises the two peaks as a side effect.
    std::string GeneratePage(const PageSource& document, const std::string& templateText,
                             const std::string& signatureTime);

    static std::string MatchStateText(std::int32_t state);

    // "host" or "host:port" of the FTP server setting; port 21 when none
    // is given. nullopt port when the part after the colon is not a port.
    static std::pair<std::string, int> FtpServerAndPort(const std::string& setting);

    std::int32_t m_nUpdateInterval = 45; // seconds; kept and saved, the schedule is fixed
    std::string m_strRemoteFile = "/somepath/Quorvane.html";
    std::string m_strPassword;
    std::string m_strLogin;
    std::string m_strFtpServer = "ftp.example.invalid";
    double m_fPeakBandwidth = 0.0;
    std::int32_t m_nPeakSpectators = 0;

private:
    void Queue(PageSource& document, const Target& target);

    std::shared_ptr<FtpOutcomes> m_pOutcomes;
    Upload m_lastUpload;
    std::int64_t m_timeLastGood = 0;
    bool m_bFailing = false;
};
