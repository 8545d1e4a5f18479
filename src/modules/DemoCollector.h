#pragma once

#include "modules/DemoFileName.h"
#include "modules/DemoSection.h"
#include "transfer/DemoTransfers.h"

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

class Clock;

// Collects the demo of every match: when a proxy's recording ends it lists
// the folder the proxy writes to, downloads every file of that recording
// (one per map), keeps it in the demo folder under the match's name,
// optionally deletes it from the proxy and publishes it beside the status
// page. It decides; DemoTransfers moves the bytes on its own thread.
//
// Driven once a second from the document's thread by Tick, with what the
// proxies show; it reads no object itself.
class DemoCollector
{
public:
    enum class Compression
    {
        None,
        Gzip,
    };
    struct Settings
    {
        std::string folder; // the local demo folder; empty: nothing is collected
        int keepDays = 30;  // kept demos older than this are deleted; 0: kept for ever
        Compression compression = Compression::None;
        bool deleteFromProxy = false;          // after a verified download
        bool publish = false;                  // upload each kept demo to the page's FTP server
        std::string publishFolder = "/demos";  // there
        std::string publishUrlBase = "demos/"; // what the page links to, before the name
    };
    // The match a recording belongs to, as the ledger's match row has it.
    struct MatchInfo
    {
        std::string object; // the game server, typed ("server 10.0.0.5:27015")
        std::int64_t started = 0;
        std::string server; // its host name
        std::string map;
        std::string teamA, teamB;
        std::string score; // "16:14"
    };
    // What one proxy shows this second.
    struct Observation
    {
        std::string proxy;      // typed address
        std::string folderUrl;  // where it writes its demos; empty: not collected
        std::string recordFile; // its recording line; empty while not recording
        MatchInfo match;        // the match of the server it relays (object empty: none)
    };
    // Where published demos go: the status page's FTP server.
    struct UploadTarget
    {
        std::string server;
        int port = 21;
        std::string user, password;
    };
    struct FileState
    {
        std::uint64_t serial = 0; // names it within this run
        std::string proxy;
        MatchInfo match;
        std::string remoteName;
        std::string fileName; // in the demo folder
        std::int64_t size = 0;
        std::string sha256;
        // "waiting", "downloading NN %", "kept", "published", "failed: why".
        std::string state;
        std::string url; // published at
        std::int64_t at = 0;
    };
    // Something to tell: a console line (with one notification when notify),
    // and the file's new state for the ledger and the event stream.
    struct Report
    {
        std::string line;
        bool notify = false;
        std::optional<FileState> file;
    };

    static constexpr int kAttempts = 3;
    static constexpr std::int64_t kRetrySeconds = 15;
    static constexpr std::int64_t kSweepSeconds = 3600;
    static constexpr std::size_t kMaxFiles = 500; // the states kept in memory

    DemoCollector(DemoTransfers& transfers, const Clock& clock);

    void SetSettings(Settings settings) { m_settings = std::move(settings); }
    const Settings& settings() const { return m_settings; }
    // Once a second; publishTo is used for demos collected from now on.
    std::vector<Report> Tick(const std::vector<Observation>& proxies, const UploadTarget& publishTo);

    // The files of this run, oldest first.
    const std::deque<FileState>& Files() const { return m_files; }
    // "NAME (12.3 MB, 21:04)" of the proxy's last kept demo; empty: none.
    std::string LastCollected(const std::string& proxy) const;
    // The published demos, for the page.
    std::vector<PublishedDemo> Published() const;
    // Grows each time the published demos change.
    std::size_t PublishedChanges() const { return m_publishedChanges; }
    // Adds demos published in earlier runs (from the ledger).
    void AddPublished(std::vector<PublishedDemo> demos);

    // Deletes the kept demos older than keepDays now, as the hourly sweep does.
    int SweepOldDemos();
    // The map in a proxy's file name "BASE-YYMMDDhhmm-MAP.dem"; empty: none.
    static std::string MapOfRemoteName(const std::string& base, const std::string& name);
    // True when name is a file of the recording base.
    static bool BelongsTo(const std::string& base, const std::string& name);

private:
    struct Recording
    {
        std::string recordFile;
        std::string folderUrl;
        MatchInfo match;
    };
    struct Pending
    {
        std::uint64_t serial = 0; // the file's
        RemoteFolder folder;
        int attempts = 0;
        std::int64_t retryAt = 0;
        DemoTransfers::Kind kind = DemoTransfers::Kind::Download;
        std::string partialPath;
        std::string finalPath;
    };

    void RecordingEnded(const std::string& proxy, const Recording& recording, std::vector<Report>& reports);
    void Listed(const Recording& recording, const std::string& proxy, const RemoteFolder& folder,
                const DemoTransfers::Result& result, std::vector<Report>& reports);
    void Downloaded(Pending pending, const DemoTransfers::Result& result, std::vector<Report>& reports);
    void QueueDownload(Pending pending);
    FileState* FileOf(std::uint64_t serial);
    std::string FreeName(const DemoFileName::Parts& parts);
    Report Changed(FileState& file, std::string state, std::string line = {}, bool notify = false);

    DemoTransfers& m_transfers;
    const Clock& m_clock;
    Settings m_settings;
    UploadTarget m_publishTo;
    std::map<std::string, Recording> m_recording;                          // by proxy
    std::map<std::uint64_t, std::pair<std::string, Recording>> m_listings; // task -> proxy, recording
    std::map<std::uint64_t, RemoteFolder> m_listingFolders;
    std::map<std::uint64_t, Pending> m_running; // task -> pending download / delete / upload
    std::vector<Pending> m_retries;
    std::deque<FileState> m_files;
    std::uint64_t m_nextSerial = 1;
    std::set<std::string> m_reservedNames;
    std::map<std::string, std::string> m_lastCollected; // by proxy
    std::vector<PublishedDemo> m_published;
    std::size_t m_publishedChanges = 0;
    std::int64_t m_nextSweep = 0;
};
