#include "modules/DemoCollector.h"

#include "core/Clock.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

constexpr const char* kPartialFolder = ".partial";

std::string timeOfDay(std::int64_t seconds)
{
    const auto time = static_cast<std::time_t>(seconds);
    std::tm local{};
    localtime_r(&time, &local);
    char text[16] = {};
    std::strftime(text, sizeof text, "%H:%M", &local);
    return text;
}

bool exists(const std::string& path)
{
    return QFileInfo::exists(QString::fromStdString(path));
}

// Errors a later try can mend: a broken line, a busy or restarting host.
bool worthRetrying(const std::string& error)
{
    return error.find("refused the login") == std::string::npos &&
           error.find("is gone") == std::string::npos && error.find("cannot write") == std::string::npos &&
           error.find("cannot name") == std::string::npos && error.find("larger than") == std::string::npos &&
           error.find("not a file name") == std::string::npos;
}

} // namespace

DemoCollector::DemoCollector(DemoTransfers& transfers, const Clock& clock)
    : m_transfers(transfers), m_clock(clock)
{
}

bool DemoCollector::BelongsTo(const std::string& base, const std::string& name)
{
    if (base.empty() || name.size() < 4 || name.compare(name.size() - 4, 4, ".dem") != 0)
        return false;
    return name == base + ".dem" || (name.size() > base.size() + 1 &&
                                     name.compare(0, base.size(), base) == 0 && name[base.size()] == '-');
}

std::string DemoCollector::MapOfRemoteName(const std::string& base, const std::string& name)
{
    if (!BelongsTo(base, name) || name == base + ".dem")
        return {};
    // "-YYMMDDhhmm-MAP.dem" after the base.
    const std::string rest = name.substr(base.size() + 1, name.size() - base.size() - 5);
    if (rest.size() < 12 || rest[10] != '-' || rest.find_first_not_of("0123456789") != 10)
        return {};
    return rest.substr(11);
}

std::vector<DemoCollector::Report> DemoCollector::Tick(const std::vector<Observation>& proxies,
                                                       const UploadTarget& publishTo)
{
    std::vector<Report> reports;
    m_publishTo = publishTo;
    const std::int64_t now = m_clock.now();

    // Recordings that ended: the line is gone, or a new one replaced it.
    std::set<std::string> seen;
    for (const Observation& proxy : proxies) {
        seen.insert(proxy.proxy);
        auto known = m_recording.find(proxy.proxy);
        if (known != m_recording.end() && known->second.recordFile != proxy.recordFile) {
            const Recording ended = known->second;
            m_recording.erase(known);
            RecordingEnded(proxy.proxy, ended, reports);
            known = m_recording.end();
        }
        if (proxy.recordFile.empty())
            continue;
        const bool fresh = !m_recording.contains(proxy.proxy);
        Recording& recording = m_recording[proxy.proxy];
        if (fresh)
            recording.match.started = now; // until the match row says otherwise
        recording.recordFile = proxy.recordFile;
        recording.folderUrl = proxy.folderUrl;
        // The match as it stands last: teams and score keep changing while it runs.
        if (!proxy.match.object.empty()) {
            const std::int64_t started = recording.match.started;
            recording.match = proxy.match;
            if (recording.match.started == 0)
                recording.match.started = started;
        }
    }
    // A proxy taken out of the layout records nothing more for us.
    std::erase_if(m_recording, [&](const auto& entry) { return !seen.contains(entry.first); });

    for (const DemoTransfers::Result& result : m_transfers.Take()) {
        if (auto listing = m_listings.find(result.id); listing != m_listings.end()) {
            const auto [proxy, recording] = listing->second;
            const RemoteFolder folder = m_listingFolders[result.id];
            m_listings.erase(listing);
            m_listingFolders.erase(result.id);
            Listed(recording, proxy, folder, result, reports);
            continue;
        }
        auto running = m_running.find(result.id);
        if (running == m_running.end())
            continue;
        Pending pending = running->second;
        m_running.erase(running);
        FileState* file = FileOf(pending.serial);
        if (!file)
            continue;
        switch (pending.kind) {
        case DemoTransfers::Kind::Download:
            Downloaded(std::move(pending), result, reports);
            break;
        case DemoTransfers::Kind::Delete:
            if (!result.ok)
                reports.push_back({"Demo " + file->fileName + ": cannot delete " + file->remoteName +
                                       " from " + file->proxy + ": " + result.error,
                                   false, std::nullopt});
            break;
        case DemoTransfers::Kind::Upload:
            if (result.ok) {
                file->url = m_settings.publishUrlBase + file->fileName;
                m_published.push_back({file->url, file->fileName, file->match.started, file->match.map,
                                       file->match.teamA + " vs " + file->match.teamB, file->match.score,
                                       file->size});
                if (m_published.size() > 2 * DemoSection::kMaxRows)
                    m_published.erase(m_published.begin());
                ++m_publishedChanges;
                reports.push_back(Changed(*file, "published", "Demo published: " + file->fileName));
            } else {
                reports.push_back(
                    Changed(*file, "failed: publishing: " + result.error,
                            "Demo " + file->fileName + " kept but not published: " + result.error, true));
            }
            break;
        case DemoTransfers::Kind::List:
            break;
        }
    }

    // Retries whose time has come.
    for (auto it = m_retries.begin(); it != m_retries.end();) {
        if (now < it->retryAt) {
            ++it;
            continue;
        }
        Pending pending = *it;
        it = m_retries.erase(it);
        QueueDownload(std::move(pending));
    }

    // How far the download under way is.
    if (const auto progress = m_transfers.Progress()) {
        if (auto running = m_running.find(progress->first);
            running != m_running.end() && running->second.kind == DemoTransfers::Kind::Download) {
            if (FileState* file = FileOf(running->second.serial)) {
                const std::string state = "downloading " + std::to_string(progress->second) + " %";
                if (file->state != state)
                    reports.push_back(Changed(*file, state));
            }
        }
    }

    if (!m_settings.folder.empty() && now >= m_nextSweep) {
        m_nextSweep = now + kSweepSeconds;
        if (const int gone = SweepOldDemos(); gone > 0)
            reports.push_back({"Demos: " + std::to_string(gone) + " older than " +
                                   std::to_string(m_settings.keepDays) + " days deleted from " +
                                   m_settings.folder,
                               false, std::nullopt});
    }
    return reports;
}

void DemoCollector::RecordingEnded(const std::string& proxy, const Recording& recording,
                                   std::vector<Report>& reports)
{
    if (recording.folderUrl.empty() || m_settings.folder.empty())
        return;
    std::string error;
    const auto folder = RemoteFolder::Parse(recording.folderUrl, error);
    if (!folder) {
        reports.push_back({"Demos of " + proxy + " not collected: " + error, true, std::nullopt});
        return;
    }
    DemoTransfers::Task task;
    task.kind = DemoTransfers::Kind::List;
    task.folder = *folder;
    const std::uint64_t id = m_transfers.Queue(task);
    m_listings[id] = {proxy, recording};
    m_listingFolders[id] = *folder;
}

std::string DemoCollector::FreeName(const DemoFileName::Parts& parts)
{
    const std::string suffix = m_settings.compression == Compression::Gzip ? ".gz" : "";
    for (int copy = 1;; ++copy) {
        const std::string name = DemoFileName::Build(parts, copy) + suffix;
        const std::string path = m_settings.folder + "/" + name;
        if (!m_reservedNames.contains(name) && !exists(path) && !exists(path + ".part"))
            return name;
    }
}

void DemoCollector::Listed(const Recording& recording, const std::string& proxy, const RemoteFolder& folder,
                           const DemoTransfers::Result& result, std::vector<Report>& reports)
{
    const std::string base =
        recording.recordFile.size() > 4 &&
                recording.recordFile.compare(recording.recordFile.size() - 4, 4, ".dem") == 0
            ? recording.recordFile.substr(0, recording.recordFile.size() - 4)
            : recording.recordFile;
    if (!result.ok) {
        reports.push_back(
            {"Demo " + base + " of " + proxy + " not collected: " + folder.Url() + ": " + result.error, true,
             std::nullopt});
        return;
    }
    std::vector<std::string> names;
    for (const DemoTransfers::Entry& entry : result.entries)
        if (BelongsTo(base, entry.name))
            names.push_back(entry.name);
    std::sort(names.begin(), names.end()); // the time stamps put them in recording order
    if (names.empty()) {
        reports.push_back(
            {"Demo " + base + " of " + proxy + " not collected: no file of it in " + folder.Url(), true,
             std::nullopt});
        return;
    }
    const QString partials = QString::fromStdString(m_settings.folder + "/" + kPartialFolder);
    if (!QDir().mkpath(partials)) {
        reports.push_back(
            {"Demo " + base + " of " + proxy + " not collected: cannot create " + partials.toStdString(),
             true, std::nullopt});
        return;
    }
    for (const std::string& remote : names) {
        FileState file;
        file.serial = m_nextSerial++;
        file.proxy = proxy;
        file.match = recording.match;
        const std::string map = MapOfRemoteName(base, remote);
        if (!map.empty())
            file.match.map = map;
        file.remoteName = remote;
        file.fileName = FreeName({file.match.started ? file.match.started : m_clock.now(), file.match.server,
                                  file.match.map, file.match.teamA, file.match.teamB});
        m_reservedNames.insert(file.fileName);
        m_files.push_back(file);
        while (m_files.size() > kMaxFiles)
            m_files.pop_front();
        Pending pending;
        pending.serial = file.serial;
        pending.folder = folder;
        pending.kind = DemoTransfers::Kind::Download;
        pending.partialPath = partials.toStdString() + "/" + file.fileName + ".part";
        pending.finalPath = m_settings.folder + "/" + file.fileName;
        reports.push_back(Changed(m_files.back(), "waiting"));
        QueueDownload(std::move(pending));
    }
}

void DemoCollector::QueueDownload(Pending pending)
{
    const FileState* file = FileOf(pending.serial);
    if (!file)
        return;
    DemoTransfers::Task task;
    task.kind = DemoTransfers::Kind::Download;
    task.folder = pending.folder;
    task.remoteName = file->remoteName;
    task.localPath = pending.partialPath;
    task.finalPath = pending.finalPath;
    task.gzip = m_settings.compression == Compression::Gzip;
    ++pending.attempts;
    pending.kind = DemoTransfers::Kind::Download;
    m_running[m_transfers.Queue(task)] = std::move(pending);
}

void DemoCollector::Downloaded(Pending pending, const DemoTransfers::Result& result,
                               std::vector<Report>& reports)
{
    FileState* file = FileOf(pending.serial);
    if (!result.ok) {
        if (worthRetrying(result.error) && pending.attempts < kAttempts) {
            // What came is kept: the next try resumes there.
            pending.retryAt = m_clock.now() + kRetrySeconds;
            m_retries.push_back(std::move(pending));
            reports.push_back(Changed(*file, "waiting",
                                      "Demo " + file->remoteName + " of " + file->proxy + ": " +
                                          result.error + "; trying again"));
            return;
        }
        // A half-written file helps nobody now, and may be what fills the disk.
        QFile::remove(QString::fromStdString(pending.partialPath));
        m_reservedNames.erase(file->fileName);
        reports.push_back(Changed(
            *file, "failed: " + result.error,
            "Demo " + file->remoteName + " of " + file->proxy + " not collected: " + result.error, true));
        return;
    }
    file->size = result.size;
    file->sha256 = result.sha256;
    m_lastCollected[file->proxy] =
        file->fileName + " (" + DemoSection::SizeText(result.size) + ", " + timeOfDay(m_clock.now()) + ")";
    reports.push_back(Changed(*file, "kept",
                              "Demo collected: " + file->fileName + " (" +
                                  DemoSection::SizeText(result.size) + ", from " + file->proxy + ")"));
    if (m_settings.deleteFromProxy) {
        DemoTransfers::Task task;
        task.kind = DemoTransfers::Kind::Delete;
        task.folder = pending.folder;
        task.remoteName = file->remoteName;
        Pending removal = pending;
        removal.kind = DemoTransfers::Kind::Delete;
        m_running[m_transfers.Queue(task)] = removal;
    }
    if (m_settings.publish && !m_publishTo.server.empty()) {
        DemoTransfers::Task task;
        task.kind = DemoTransfers::Kind::Upload;
        std::string folder = m_settings.publishFolder;
        if (!folder.empty() && folder.back() != '/')
            folder += '/';
        task.upload =
            CFtpJob(m_publishTo.server, m_publishTo.port, pending.finalPath, folder + file->fileName,
                    m_publishTo.user, m_publishTo.password, CFtpJob::kLocalFile);
        Pending upload = pending;
        upload.kind = DemoTransfers::Kind::Upload;
        m_running[m_transfers.Queue(task)] = upload;
    }
}

DemoCollector::FileState* DemoCollector::FileOf(std::uint64_t serial)
{
    for (FileState& file : m_files)
        if (file.serial == serial)
            return &file;
    return nullptr;
}

DemoCollector::Report DemoCollector::Changed(FileState& file, std::string state, std::string line,
                                             bool notify)
{
    file.state = std::move(state);
    file.at = m_clock.now();
    return {std::move(line), notify, file};
}

std::string DemoCollector::LastCollected(const std::string& proxy) const
{
    const auto found = m_lastCollected.find(proxy);
    return found == m_lastCollected.end() ? std::string() : found->second;
}

std::vector<PublishedDemo> DemoCollector::Published() const
{
    return m_published;
}

void DemoCollector::AddPublished(std::vector<PublishedDemo> demos)
{
    // One published in this run before the ledger was read is there already.
    std::erase_if(demos, [&](const PublishedDemo& demo) {
        return std::any_of(m_published.begin(), m_published.end(),
                           [&](const PublishedDemo& known) { return known.url == demo.url; });
    });
    if (demos.empty())
        return;
    // They come newest first; kept oldest first, as this run publishes.
    m_published.insert(m_published.begin(), std::make_move_iterator(demos.rbegin()),
                       std::make_move_iterator(demos.rend()));
    ++m_publishedChanges;
}

int DemoCollector::SweepOldDemos()
{
    if (m_settings.folder.empty() || m_settings.keepDays <= 0)
        return 0;
    const std::int64_t before = m_clock.now() - std::int64_t{m_settings.keepDays} * 86400;
    int gone = 0;
    const auto sweep = [&](const QString& path, const QStringList& patterns) {
        const QDir dir(path);
        for (const QFileInfo& info :
             dir.entryInfoList(patterns, QDir::Files | QDir::Hidden | QDir::NoSymLinks)) {
            if (info.lastModified().toSecsSinceEpoch() < before && QFile::remove(info.absoluteFilePath()))
                ++gone;
        }
    };
    const QString folder = QString::fromStdString(m_settings.folder);
    sweep(folder, {QStringLiteral("*.dem"), QStringLiteral("*.dem.gz")});
    sweep(folder + QLatin1Char('/') + QLatin1String(kPartialFolder), {QStringLiteral("*.part")});
    return gone;
}
