#include "transfer/DemoTransfers.h"

#include <QCryptographicHash>
#include <QFile>

#include <curl/curl.h>
#include <zlib.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>
#include <system_error>
#include <vector>

namespace {

struct CurlDeleter
{
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    void operator()(curl_slist* list) const { curl_slist_free_all(list); }
};
using CurlHandle = std::unique_ptr<CURL, CurlDeleter>;

// What the progress callback needs: the abort flag and where to tell how far.
struct Progress
{
    const std::atomic<bool>* abort = nullptr;
    std::atomic<int>* percent = nullptr;
    std::int64_t already = 0; // bytes on disk before this attempt
    std::int64_t total = 0;
};

int onProgress(void* data, curl_off_t, curl_off_t now, curl_off_t, curl_off_t)
{
    auto* progress = static_cast<Progress*>(data);
    if (progress->percent && progress->total > 0)
        progress->percent->store(static_cast<int>(
            std::clamp<std::int64_t>((progress->already + now) * 100 / progress->total, 0, 100)));
    return progress->abort && progress->abort->load() ? 1 : 0;
}

struct Sink
{
    std::string* text = nullptr; // a listing, bounded
    std::size_t limit = 0;
    int fd = -1; // a download
    int error = 0;
    bool tooLong = false;
};

size_t discard(char*, size_t size, size_t count, void*)
{
    return size * count;
}

size_t onData(char* data, size_t size, size_t count, void* userdata)
{
    auto* sink = static_cast<Sink*>(userdata);
    const std::size_t bytes = size * count;
    if (sink->text) {
        if (sink->text->size() + bytes > sink->limit) {
            sink->tooLong = true;
            return 0;
        }
        sink->text->append(data, bytes);
        return bytes;
    }
    std::size_t done = 0;
    while (done < bytes) {
        const ssize_t wrote = ::write(sink->fd, data + done, bytes - done);
        if (wrote < 0 && errno == EINTR)
            continue;
        if (wrote <= 0) {
            sink->error = wrote < 0 ? errno : ENOSPC;
            return 0;
        }
        done += static_cast<std::size_t>(wrote);
    }
    return bytes;
}

CurlHandle prepare(const std::string& url, const DemoTransfers::Settings& settings, Progress& progress,
                   char* errorText)
{
    CurlHandle curl(curl_easy_init());
    if (!curl)
        return curl;
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_URL, url.c_str());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "ftp,sftp");
#else
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_FTP | CURLPROTO_SFTP));
#endif
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    // The credentials stay in ~/.netrc: never in a field, a URL or a command line.
    curl_easy_setopt(handle, CURLOPT_NETRC, static_cast<long>(CURL_NETRC_OPTIONAL));
    if (!settings.netrcFile.empty())
        curl_easy_setopt(handle, CURLOPT_NETRC_FILE, settings.netrcFile.c_str());
    curl_easy_setopt(handle, CURLOPT_FTPPORT, static_cast<char*>(nullptr)); // passive
    curl_easy_setopt(handle, CURLOPT_TRANSFERTEXT, 0L);
    const auto limit = [](auto duration) { return std::max<long>(0, static_cast<long>(duration.count())); };
    const FtpTimeouts& timeouts = settings.timeouts;
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, limit(timeouts.connect));
    curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, limit(timeouts.response));
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, std::max<long>(0, timeouts.lowSpeedBytes));
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, limit(timeouts.lowSpeedTime));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, limit(timeouts.total));
    curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(handle, CURLOPT_XFERINFODATA, &progress);
    // Without a sink of its own curl writes what it learns to standard output.
    curl_easy_setopt(handle, CURLOPT_WRITEFUNCTION, discard);
    curl_easy_setopt(handle, CURLOPT_HEADERFUNCTION, discard);
    return curl;
}

std::string failure(CURLcode code, const char* errorText)
{
    if (code == CURLE_LOGIN_DENIED)
        return "the host refused the login (see ~/.netrc)";
    if (code == CURLE_REMOTE_FILE_NOT_FOUND)
        return "the file is gone from the host";
    std::string text = errorText[0] != '\0' ? errorText : curl_easy_strerror(code);
    std::replace(text.begin(), text.end(), '\n', ' ');
    std::replace(text.begin(), text.end(), '\r', ' ');
    return text;
}

bool hasLineBreakOrNul(const std::string& text)
{
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

DemoTransfers::Result list(const DemoTransfers::Task& task, const DemoTransfers::Settings& settings,
                           Progress& progress)
{
    DemoTransfers::Result result;
    char errorText[CURL_ERROR_SIZE] = {};
    std::string text;
    Sink sink{&text, settings.maxListing};
    CurlHandle curl = prepare(task.folder.Url(), settings, progress, errorText);
    if (!curl) {
        result.error = "libcurl could not start a transfer";
        return result;
    }
    curl_easy_setopt(curl.get(), CURLOPT_DIRLISTONLY, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, onData);
    curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &sink);
    const CURLcode code = curl_easy_perform(curl.get());
    if (sink.tooLong) {
        result.error = "the folder listing is longer than " + std::to_string(settings.maxListing) + " bytes";
        return result;
    }
    if (code != CURLE_OK) {
        result.error = failure(code, errorText);
        return result;
    }
    std::size_t at = 0;
    while (at < text.size()) {
        std::size_t end = text.find('\n', at);
        if (end == std::string::npos)
            end = text.size();
        std::string name = text.substr(at, end - at);
        at = end + 1;
        if (!name.empty() && name.back() == '\r')
            name.pop_back();
        // Some servers answer with paths: the name is the last part.
        if (const std::size_t slash = name.rfind('/'); slash != std::string::npos)
            name.erase(0, slash + 1);
        if (name.empty() || name == "." || name == ".." || name.find('\0') != std::string::npos)
            continue;
        result.entries.push_back({std::move(name), -1});
    }
    result.ok = true;
    return result;
}

// The size of the remote file, or -1 with the reason.
std::int64_t remoteSize(const std::string& url, const DemoTransfers::Settings& settings, Progress& progress,
                        std::string& error)
{
    char errorText[CURL_ERROR_SIZE] = {};
    CurlHandle curl = prepare(url, settings, progress, errorText);
    if (!curl) {
        error = "libcurl could not start a transfer";
        return -1;
    }
    curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
    const CURLcode code = curl_easy_perform(curl.get());
    curl_off_t size = -1;
    if (code == CURLE_OK)
        curl_easy_getinfo(curl.get(), CURLINFO_CONTENT_LENGTH_DOWNLOAD_T, &size);
    if (code != CURLE_OK)
        error = failure(code, errorText);
    else if (size < 0)
        error = "the host does not tell the file's size";
    return code == CURLE_OK ? size : -1;
}

std::int64_t localSize(int fd)
{
    struct stat info = {};
    return ::fstat(fd, &info) == 0 ? info.st_size : -1;
}

DemoTransfers::Result download(const DemoTransfers::Task& task, const DemoTransfers::Settings& settings,
                               Progress& progress)
{
    DemoTransfers::Result result;
    if (task.localPath.empty() || hasLineBreakOrNul(task.remoteName) ||
        task.remoteName.find('/') != std::string::npos) {
        result.error = "not a file name: " + task.remoteName;
        return result;
    }
    const std::string url = task.folder.Url(task.remoteName);
    const std::int64_t total = remoteSize(url, settings, progress, result.error);
    if (total < 0)
        return result;
    if (total > settings.maxFileBytes) {
        result.error = "the file is larger than " + std::to_string(settings.maxFileBytes) + " bytes";
        return result;
    }
    const int fd = ::open(task.localPath.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        result.error = "cannot write " + task.localPath + ": " + std::strerror(errno);
        return result;
    }
    const auto closeFd = std::unique_ptr<int, void (*)(int*)>(new int(fd), [](int* p) {
        ::close(*p);
        delete p;
    });
    // A few tries in one go; what is on disk is kept for the next task.
    std::int64_t have = localSize(fd);
    for (int attempt = 0; attempt < std::max(1, settings.attempts) && have != total; ++attempt) {
        if (have < 0 || have > total) {
            if (::ftruncate(fd, 0) != 0) {
                result.error = "cannot write " + task.localPath + ": " + std::strerror(errno);
                return result;
            }
            have = 0;
        }
        char errorText[CURL_ERROR_SIZE] = {};
        progress.already = have;
        progress.total = total;
        Sink sink;
        sink.fd = fd;
        CurlHandle curl = prepare(url, settings, progress, errorText);
        if (!curl) {
            result.error = "libcurl could not start a transfer";
            return result;
        }
        curl_easy_setopt(curl.get(), CURLOPT_RESUME_FROM_LARGE, static_cast<curl_off_t>(have));
        curl_easy_setopt(curl.get(), CURLOPT_MAXFILESIZE_LARGE,
                         static_cast<curl_off_t>(settings.maxFileBytes));
        curl_easy_setopt(curl.get(), CURLOPT_WRITEFUNCTION, onData);
        curl_easy_setopt(curl.get(), CURLOPT_WRITEDATA, &sink);
        const CURLcode code = curl_easy_perform(curl.get());
        have = localSize(fd);
        if (progress.abort && progress.abort->load()) {
            result.error = "stopped";
            return result;
        }
        if (sink.error != 0) {
            result.error = "cannot write " + task.localPath + ": " +
                           std::error_code(sink.error, std::generic_category()).message();
            return result;
        }
        if (code == CURLE_OK)
            continue; // the size check below decides
        result.error = failure(code, errorText);
        if (code == CURLE_LOGIN_DENIED || code == CURLE_REMOTE_FILE_NOT_FOUND ||
            code == CURLE_REMOTE_ACCESS_DENIED)
            return result;
    }
    if (have != total) {
        if (result.error.empty())
            result.error = "got " + std::to_string(have) + " of " + std::to_string(total) + " bytes";
        return result;
    }
    if (::fsync(fd) != 0) {
        result.error = "cannot write " + task.localPath + ": " + std::strerror(errno);
        return result;
    }
    result.size = have;
    result.sha256 = DemoTransfers::Sha256OfFile(task.localPath);
    if (result.sha256.empty()) {
        result.error = "cannot read back " + task.localPath;
        return result;
    }
    if (!task.finalPath.empty() &&
        !DemoTransfers::Finish(task.localPath, task.finalPath, task.gzip, result.error))
        return result;
    result.ok = true;
    return result;
}

DemoTransfers::Result remove(const DemoTransfers::Task& task, const DemoTransfers::Settings& settings,
                             Progress& progress)
{
    DemoTransfers::Result result;
    // The name goes into a protocol command: no line break may end it early.
    if (hasLineBreakOrNul(task.remoteName) || task.remoteName.find('/') != std::string::npos ||
        task.remoteName.find('"') != std::string::npos) {
        result.error = "not a file name: " + task.remoteName;
        return result;
    }
    char errorText[CURL_ERROR_SIZE] = {};
    CurlHandle curl = prepare(task.folder.Url(), settings, progress, errorText);
    if (!curl) {
        result.error = "libcurl could not start a transfer";
        return result;
    }
    const std::string command = task.folder.scheme == "sftp"
                                    ? "rm \"" + task.folder.path + task.remoteName + "\""
                                    : "DELE " + task.remoteName;
    const std::unique_ptr<curl_slist, CurlDeleter> quote(curl_slist_append(nullptr, command.c_str()));
    curl_easy_setopt(curl.get(), CURLOPT_NOBODY, 1L);
    curl_easy_setopt(curl.get(), CURLOPT_POSTQUOTE, quote.get());
    const CURLcode code = curl_easy_perform(curl.get());
    result.ok = code == CURLE_OK;
    if (!result.ok)
        result.error = failure(code, errorText);
    return result;
}

} // namespace

DemoTransfers::DemoTransfers() : DemoTransfers(Settings{}) {}

DemoTransfers::DemoTransfers(Settings settings) : m_settings(std::move(settings))
{
    // The first manager runs curl_global_init once per process.
    static CFtpJobManager initCurl;
}

DemoTransfers::~DemoTransfers()
{
    Stop();
}

void DemoTransfers::Start()
{
    std::lock_guard lock(m_mutex);
    if (m_worker.joinable())
        return;
    m_stopping = false;
    m_abort = false;
    m_worker = std::thread(&DemoTransfers::WorkerMain, this);
}

void DemoTransfers::Stop()
{
    std::thread worker;
    {
        std::lock_guard lock(m_mutex);
        worker = std::move(m_worker);
        m_stopping = true;
        m_abort = true;
    }
    m_wake.notify_one();
    if (worker.joinable())
        worker.join();
    std::lock_guard lock(m_mutex);
    m_queue.clear();
    m_stopping = false;
}

std::uint64_t DemoTransfers::Queue(Task task)
{
    std::uint64_t id = 0;
    {
        std::lock_guard lock(m_mutex);
        id = m_nextId++;
        task.id = id;
        m_queue.push_back(std::move(task));
    }
    m_wake.notify_one();
    return id;
}

std::vector<DemoTransfers::Result> DemoTransfers::Take()
{
    std::lock_guard lock(m_mutex);
    std::vector<Result> results;
    results.swap(m_results);
    return results;
}

std::optional<std::pair<std::uint64_t, int>> DemoTransfers::Progress() const
{
    std::lock_guard lock(m_mutex);
    if (m_running == 0)
        return std::nullopt;
    return std::make_pair(m_running, m_percent.load());
}

int DemoTransfers::Pending() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_queue.size()) + (m_running ? 1 : 0);
}

void DemoTransfers::WorkerMain()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
        if (m_stopping)
            return;
        Task task = std::move(m_queue.front());
        m_queue.pop_front();
        m_running = task.id;
        m_percent = 0;
        const Settings settings = m_settings;
        lock.unlock();
        Result result;
        try {
            result = Run(task, settings, &m_abort, &m_percent);
        } catch (const std::exception& error) {
            result.error = error.what();
        }
        result.id = task.id;
        result.kind = task.kind;
        lock.lock();
        m_running = 0;
        // A result nobody takes must not pile up for ever.
        if (m_results.size() < 10000)
            m_results.push_back(std::move(result));
    }
}

DemoTransfers::Result DemoTransfers::Run(const Task& task, const Settings& settings,
                                         const std::atomic<bool>* abort, std::atomic<int>* percent)
{
    ::Progress progress{abort, percent};
    Result result;
    switch (task.kind) {
    case Kind::List:
        result = list(task, settings, progress);
        break;
    case Kind::Download:
        result = download(task, settings, progress);
        break;
    case Kind::Delete:
        result = remove(task, settings, progress);
        break;
    case Kind::Upload: {
        std::string error;
        const CFtpJobManager::Reporter capture = [&error](std::string text) { error = std::move(text); };
        result.ok = CFtpJobManager::RunJob(task.upload, settings.timeouts, capture, abort);
        for (std::size_t at; (at = error.find(" :\n")) != std::string::npos;)
            error.replace(at, 3, ": ");
        std::replace(error.begin(), error.end(), '\n', ' ');
        result.error = error;
        break;
    }
    }
    result.id = task.id;
    result.kind = task.kind;
    return result;
}

namespace {

// Gives from the name to, never replacing a file there. A hard link does it
// in one step; where the file system has none, a rename after a look.
bool nameWithoutReplacing(const std::string& from, const std::string& to)
{
    if (::link(from.c_str(), to.c_str()) == 0) {
        ::unlink(from.c_str());
        return true;
    }
    if (errno != EPERM && errno != ENOTSUP && errno != EOPNOTSUPP && errno != EXDEV)
        return false;
    struct stat info = {};
    if (::lstat(to.c_str(), &info) == 0) {
        errno = EEXIST;
        return false;
    }
    return ::rename(from.c_str(), to.c_str()) == 0;
}

} // namespace

bool DemoTransfers::Finish(const std::string& from, const std::string& to, bool gzip, std::string& error)
{
    const std::string temporary = to + ".part";
    const auto fail = [&](const std::string& what, int code) {
        error = what + ": " + std::error_code(code, std::generic_category()).message();
        ::unlink(temporary.c_str());
        return false;
    };
    if (!gzip) {
        // The partial file is complete: a link gives it the final name at once,
        // and fails rather than replace a demo already there.
        if (!nameWithoutReplacing(from, to))
            return fail("cannot name " + to, errno);
        return true;
    }
    const int in = ::open(from.c_str(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return fail("cannot read " + from, errno);
    gzFile out = gzopen(temporary.c_str(), "wb6");
    if (!out) {
        ::close(in);
        return fail("cannot write " + temporary, errno ? errno : ENOMEM);
    }
    std::vector<char> buffer(1 << 16);
    int code = 0;
    for (;;) {
        const ssize_t got = ::read(in, buffer.data(), buffer.size());
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0) {
            code = errno;
            break;
        }
        if (got == 0)
            break;
        errno = 0;
        if (gzwrite(out, buffer.data(), static_cast<unsigned>(got)) != got) {
            code = errno ? errno : ENOSPC;
            break;
        }
    }
    ::close(in);
    errno = 0;
    if (gzclose(out) != Z_OK && code == 0)
        code = errno ? errno : ENOSPC;
    if (code != 0)
        return fail("cannot write " + temporary, code);
    if (!nameWithoutReplacing(temporary, to))
        return fail("cannot name " + to, errno);
    ::unlink(from.c_str());
    return true;
}

std::string DemoTransfers::Sha256OfFile(const std::string& path)
{
    QFile file(QString::fromStdString(path));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file))
        return {};
    return hash.result().toHex().toStdString();
}
