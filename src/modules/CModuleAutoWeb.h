#pragma once

#include "modules/CModule.h"

#include <string>
#include <utility>

class PageSource;

// The status page generator: every 30 seconds, while enabled, it fills the
// page template with the exported proxies' figures and queues the page for
// upload by FTP.
class CModuleAutoWeb : public CModule
{
public:
    // Builds the page and queues its upload; nothing while disabled.
    void Tick(PageSource& document);
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
    // The missing template is reported once, not on every tick.
    bool m_bTemplateMissingShown = false;
};
