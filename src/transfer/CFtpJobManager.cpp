#include "transfer/CFtpJobManager.h"

#include "transfer/FtpOutcomes.h"

#include <curl/curl.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <new>
#include <optional>
#include <system_error>
#include <utility>

namespace {

std::once_flag g_curlInit;

void deliver(const CFtpJobManager::Reporter& report, std::string text)
{
    if (!report)
        return;
    try {
        report(std::move(text));
    } catch (...) {
        // A failing reporter must not end the worker.
    }
}

// The first line of every message about a failed job.
std::string errorHeader(const CFtpJob& job)
{
    return "FTP Engine error with Job on server " + job.m_strServer + ":" + std::to_string(job.m_nPort) +
           " :\n";
}

bool hasLineBreakOrNul(const std::string& text)
{
    return text.find_first_of(std::string("\r\n\0", 3)) != std::string::npos;
}

// A local file opened for reading, closed when it goes out of scope.
class LocalFile
{
public:
    // Opens regular files only: a FIFO or a device could block the worker or
    // never end, a directory cannot be read.
    explicit LocalFile(const std::string& path)
    {
        if (path.empty() || path.find('\0') != std::string::npos)
            return;
        m_fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
        struct stat info = {};
        if (m_fd >= 0 && (::fstat(m_fd, &info) != 0 || !S_ISREG(info.st_mode))) {
            ::close(m_fd);
            m_fd = -1;
        }
        if (m_fd >= 0)
            m_size = info.st_size;
    }
    ~LocalFile()
    {
        if (m_fd >= 0)
            ::close(m_fd);
    }
    LocalFile(const LocalFile&) = delete;
    LocalFile& operator=(const LocalFile&) = delete;

    bool isOpen() const { return m_fd >= 0; }
    int fd() const { return m_fd; }
    curl_off_t size() const { return m_size; }

private:
    int m_fd = -1;
    curl_off_t m_size = 0;
};

// What the read callback hands to curl: the job's bytes or a local file.
struct UploadSource
{
    const std::string* bytes = nullptr;
    std::size_t offset = 0;
    int fd = -1;
    int readError = 0; // errno of a failed read of the local file
};

size_t readUpload(char* buffer, size_t size, size_t count, void* userdata)
{
    auto* source = static_cast<UploadSource*>(userdata);
    const std::size_t room = size * count;
    if (source->fd < 0) {
        const std::size_t n = std::min(room, source->bytes->size() - source->offset);
        std::memcpy(buffer, source->bytes->data() + source->offset, n);
        source->offset += n;
        return n;
    }
    for (;;) {
        const ssize_t got = ::read(source->fd, buffer, room);
        if (got >= 0)
            return static_cast<size_t>(got);
        if (errno != EINTR) {
            source->readError = errno;
            return CURL_READFUNC_ABORT;
        }
    }
}

// The URL path for a remote file name. A name that starts with "/" is taken
// from the server's root: curl goes to the login directory first unless the
// first path part is an encoded "/" ("%2F"). Every part is percent-encoded,
// so that spaces, '#', '?' and '%' reach the server as they are.
std::string remotePath(CURL* curl, const std::string& remoteFile)
{
    std::string path = "/";
    std::size_t at = 0;
    if (!remoteFile.empty() && remoteFile.front() == '/') {
        path += "%2F";
        at = remoteFile.find_first_not_of('/');
        if (at == std::string::npos)
            at = remoteFile.size();
    }
    for (;;) {
        const std::size_t slash = std::min(remoteFile.find('/', at), remoteFile.size());
        char* escaped = curl_easy_escape(curl, remoteFile.data() + at, static_cast<int>(slash - at));
        if (!escaped)
            throw std::bad_alloc();
        path += escaped;
        curl_free(escaped);
        if (slash == remoteFile.size())
            return path;
        path += '/';
        at = slash + 1;
    }
}

int abortWhenAsked(void* abort, curl_off_t, curl_off_t, curl_off_t, curl_off_t)
{
    return static_cast<const std::atomic<bool>*>(abort)->load() ? 1 : 0;
}

struct CurlDeleter
{
    void operator()(CURL* curl) const { curl_easy_cleanup(curl); }
    void operator()(CURLU* url) const { curl_url_cleanup(url); }
};

} // namespace

CFtpJobManager::CFtpJobManager()
{
    std::call_once(g_curlInit, [] { curl_global_init(CURL_GLOBAL_DEFAULT); });
}

CFtpJobManager::~CFtpJobManager()
{
    Stop();
}

void CFtpJobManager::Start()
{
    std::lock_guard lock(m_mutex);
    if (m_worker.joinable())
        return;
    m_stopping = false;
    m_abort = false;
    m_worker = std::thread(&CFtpJobManager::WorkerMain, this);
}

bool CFtpJobManager::AddJob(std::unique_ptr<CFtpJob> job)
{
    if (!job)
        return true;
    {
        std::lock_guard lock(m_mutex);
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
    return true;
}

bool CFtpJobManager::AddReplacingJob(std::unique_ptr<CFtpJob> job)
{
    if (!job)
        return true;
    {
        std::lock_guard lock(m_mutex);
        const auto sameTarget = [&job](const std::unique_ptr<CFtpJob>& queued) {
            return queued->m_strServer == job->m_strServer && queued->m_nPort == job->m_nPort &&
                   queued->m_strUser == job->m_strUser && queued->m_strRemoteFile == job->m_strRemoteFile;
        };
        std::erase_if(m_queue, sameTarget);
        m_queue.push_back(std::move(job));
    }
    m_wake.notify_one();
    return true;
}

int CFtpJobManager::GetJobCount() const
{
    std::lock_guard lock(m_mutex);
    return static_cast<int>(m_queue.size()) + (m_busy ? 1 : 0);
}

void CFtpJobManager::Stop()
{
    std::thread worker;
    {
        std::lock_guard lock(m_mutex);
        worker = std::move(m_worker);
        m_stopping = worker.joinable();
        m_abort = true;
    }
    if (worker.joinable()) {
        m_wake.notify_one();
        worker.join();
    }
    std::deque<std::unique_ptr<CFtpJob>> unrun;
    {
        std::lock_guard lock(m_mutex);
        m_stopping = false;
        unrun.swap(m_queue);
    }
}

bool CFtpJobManager::IsStopping() const
{
    std::lock_guard lock(m_mutex);
    return m_stopping;
}

void CFtpJobManager::SetReporter(Reporter reporter)
{
    std::lock_guard lock(m_mutex);
    m_reporter = std::move(reporter);
}

void CFtpJobManager::SetTimeouts(const FtpTimeouts& timeouts)
{
    std::lock_guard lock(m_mutex);
    m_timeouts = timeouts;
}

FtpTimeouts CFtpJobManager::GetTimeouts() const
{
    std::lock_guard lock(m_mutex);
    return m_timeouts;
}

void CFtpJobManager::WorkerMain()
{
    std::unique_lock lock(m_mutex);
    for (;;) {
        m_wake.wait(lock, [this] { return !m_queue.empty() || m_stopping; });
        if (m_stopping)
            return; // what is still queued is dropped by Stop
        std::unique_ptr<CFtpJob> job = std::move(m_queue.front());
        m_queue.pop_front();
        m_busy = true;
        const Reporter report = m_reporter;
        const FtpTimeouts timeouts = m_timeouts;
        lock.unlock();

        // A job with an outcome box takes its messages there instead.
        std::string failure;
        const Reporter capture = [&failure](std::string text) { failure = std::move(text); };
        const Reporter& tell = job->m_pOutcomes ? capture : report;
        bool ok = false;
        try {
            ok = RunJob(*job, timeouts, tell, &m_abort);
        } catch (const std::exception& error) {
            deliver(tell, errorHeader(*job) + error.what());
        } catch (...) {
            deliver(tell, errorHeader(*job) + "unexpected failure");
        }
        if (job->m_pOutcomes && !m_abort)
            job->m_pOutcomes->Post({ok, ok ? std::string() : failure});
        job.reset();

        lock.lock();
        m_busy = false;
    }
}

bool CFtpJobManager::RunJob(const CFtpJob& job, const FtpTimeouts& timeouts, const Reporter& report,
                            const std::atomic<bool>* abort)
{
    // The local file is opened before anything is sent: a file that cannot
    // be read must not replace the remote file with an empty one.
    std::optional<LocalFile> local;
    if (job.UploadsLocalFile()) {
        local.emplace(job.m_strContent);
        if (!local->isOpen()) {
            deliver(report, "Unable to open file " + job.m_strContent + ". FTP Upload canceled.");
            return false;
        }
    }
    const auto fail = [&](const std::string& text) {
        deliver(report, errorHeader(job) + text);
        return false;
    };
    if (job.m_nPort < 1 || job.m_nPort > 65535)
        return fail("The port number must be between 1 and 65535.");
    if (hasLineBreakOrNul(job.m_strUser) || hasLineBreakOrNul(job.m_strPassword))
        return fail("The user name or the password contains a line break or a NUL byte.");
    if (job.m_strServer.find('\0') != std::string::npos)
        return fail("The server name contains a NUL byte.");

    const std::unique_ptr<CURL, CurlDeleter> curl(curl_easy_init());
    const std::unique_ptr<CURLU, CurlDeleter> url(curl_url());
    if (!curl || !url)
        return fail("libcurl could not start a transfer.");

    // The URL is built from its parts, so that no byte of the server name or
    // the remote file can change its meaning; the credentials never enter it.
    std::string host = job.m_strServer;
    if (host.find(':') != std::string::npos && host.front() != '[')
        host = "[" + host + "]"; // IPv6 address
    const std::string port = std::to_string(job.m_nPort);
    const std::string path = remotePath(curl.get(), job.m_strRemoteFile);
    CURLUcode urlError = curl_url_set(url.get(), CURLUPART_SCHEME, "ftp", 0);
    if (!urlError)
        urlError = curl_url_set(url.get(), CURLUPART_HOST, host.c_str(), 0);
    if (!urlError)
        urlError = curl_url_set(url.get(), CURLUPART_PORT, port.c_str(), 0);
    if (!urlError)
        urlError = curl_url_set(url.get(), CURLUPART_PATH, path.c_str(), 0);
    if (urlError)
        return fail(curl_url_strerror(urlError));

    UploadSource source;
    curl_off_t size = 0;
    if (local) {
        source.fd = local->fd();
        size = local->size();
    } else {
        source.bytes = &job.m_strContent;
        size = static_cast<curl_off_t>(job.m_strContent.size());
    }

    char errorText[CURL_ERROR_SIZE] = {};
    CURL* handle = curl.get();
    curl_easy_setopt(handle, CURLOPT_ERRORBUFFER, errorText);
    curl_easy_setopt(handle, CURLOPT_CURLU, url.get());
#if LIBCURL_VERSION_NUM >= 0x075500
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS_STR, "ftp");
#else
    curl_easy_setopt(handle, CURLOPT_PROTOCOLS, static_cast<long>(CURLPROTO_FTP));
#endif
    curl_easy_setopt(handle, CURLOPT_NOSIGNAL, 1L);
    curl_easy_setopt(handle, CURLOPT_USERNAME, job.m_strUser.c_str());
    curl_easy_setopt(handle, CURLOPT_PASSWORD, job.m_strPassword.c_str());
    curl_easy_setopt(handle, CURLOPT_FTPPORT, static_cast<char*>(nullptr)); // passive
    curl_easy_setopt(handle, CURLOPT_TRANSFERTEXT, 0L);                     // binary
    curl_easy_setopt(handle, CURLOPT_UPLOAD, 1L);
    curl_easy_setopt(handle, CURLOPT_READFUNCTION, readUpload);
    curl_easy_setopt(handle, CURLOPT_READDATA, &source);
    curl_easy_setopt(handle, CURLOPT_INFILESIZE_LARGE, size);
    // Negative values count as 0, as curl would refuse them.
    const auto limit = [](auto duration) { return std::max<long>(0, static_cast<long>(duration.count())); };
    curl_easy_setopt(handle, CURLOPT_CONNECTTIMEOUT_MS, limit(timeouts.connect));
    curl_easy_setopt(handle, CURLOPT_SERVER_RESPONSE_TIMEOUT, limit(timeouts.response));
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_LIMIT, std::max<long>(0, timeouts.lowSpeedBytes));
    curl_easy_setopt(handle, CURLOPT_LOW_SPEED_TIME, limit(timeouts.lowSpeedTime));
    curl_easy_setopt(handle, CURLOPT_TIMEOUT_MS, limit(timeouts.total));
    // curl calls this at least once a second, also while it waits for a
    // silent server: the moment to give up when the program ends.
    if (abort) {
        curl_easy_setopt(handle, CURLOPT_NOPROGRESS, 0L);
        curl_easy_setopt(handle, CURLOPT_XFERINFOFUNCTION, abortWhenAsked);
        curl_easy_setopt(handle, CURLOPT_XFERINFODATA, abort);
    }

    const CURLcode result = curl_easy_perform(handle);
    if (result == CURLE_OK)
        return true;
    if (abort && *abort)
        return false; // the program is ending: nothing to tell
    if (source.readError != 0)
        return fail("Unable to read file " + job.m_strContent + ": " +
                    std::error_code(source.readError, std::generic_category()).message());
    return fail(errorText[0] != '\0' ? errorText : curl_easy_strerror(result));
}
