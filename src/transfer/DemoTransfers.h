#pragma once

#include "transfer/CFtpJob.h"
#include "transfer/CFtpJobManager.h"
#include "transfer/RemoteFolder.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

// Moves demo files on a worker thread of their own, apart from the page
// uploads (CFtpJobManager): a page never waits behind a 50 MB demo. One task
// runs at a time, so no host ever sees two downloads from us at once.
//
// Tasks are queued from the owner's thread and their results are taken by it
// (once a second); nothing here calls back into the owner.
class DemoTransfers
{
public:
    struct Settings
    {
        // libcurl's netrc file; empty: ~/.netrc.
        std::string netrcFile;
        FtpTimeouts timeouts;
        // Largest listing and largest demo taken; a proxy cannot fill the disk.
        std::size_t maxListing = 4 << 20;
        std::int64_t maxFileBytes = std::int64_t{4} << 30;
        // Tries of one download task, each resuming where the last ended.
        int attempts = 3;
    };

    enum class Kind
    {
        List,     // the folder's file names and sizes
        Download, // remote file -> local partial file, resumed where it ended
        Delete,   // the remote file
        Upload,   // a local file to an FTP server (the job)
    };

    struct Task
    {
        std::uint64_t id = 0; // set by Queue
        Kind kind = Kind::List;
        RemoteFolder folder;
        std::string remoteName; // Download, Delete
        std::string localPath;  // Download: the partial file written to
        // Download: once verified, the demo is moved (gzip-compressed when
        // asked) to this name, which never names a file half written; the
        // partial file is removed then. Empty: it stays at localPath.
        std::string finalPath;
        bool gzip = false;
        CFtpJob upload; // Upload
    };

    struct Entry
    {
        std::string name;
        std::int64_t size = -1; // -1: the server did not tell
    };

    struct Result
    {
        std::uint64_t id = 0;
        Kind kind = Kind::List;
        bool ok = false;
        std::string error;          // one line, when !ok
        std::vector<Entry> entries; // List
        std::int64_t size = 0;      // Download: bytes of the whole local file
        std::string sha256;         // Download: hex, when ok
    };

    DemoTransfers();
    explicit DemoTransfers(Settings settings);
    ~DemoTransfers(); // Stop()
    DemoTransfers(const DemoTransfers&) = delete;
    DemoTransfers& operator=(const DemoTransfers&) = delete;

    void Start();
    // Aborts the task under way (within about a second) and drops the rest.
    void Stop();
    // Returns the task's id. Tasks run in the order queued.
    std::uint64_t Queue(Task task);
    // What has ended since the last call, oldest first.
    std::vector<Result> Take();
    // The download under way: its task and how far it is, 0..100.
    std::optional<std::pair<std::uint64_t, int>> Progress() const;
    int Pending() const;

    // The work of one task on the calling thread (tests call these directly).
    static Result Run(const Task& task, const Settings& settings, const std::atomic<bool>* abort = nullptr,
                      std::atomic<int>* percent = nullptr);
    // Copies from to to (gzip when asked) through a temporary file beside
    // to, then gives it the name to without replacing a file there. False
    // with the reason; nothing is left under to then.
    static bool Finish(const std::string& from, const std::string& to, bool gzip, std::string& error);
    // Hex SHA-256 of a local file; empty when it cannot be read.
    static std::string Sha256OfFile(const std::string& path);

private:
    void WorkerMain();

    Settings m_settings;
    std::thread m_worker;
    mutable std::mutex m_mutex; // guards what follows
    std::condition_variable m_wake;
    std::deque<Task> m_queue;
    std::vector<Result> m_results;
    std::uint64_t m_nextId = 1;
    std::uint64_t m_running = 0; // the id of the task under way, 0: none
    bool m_stopping = false;
    std::atomic<bool> m_abort{false};
    std::atomic<int> m_percent{0};
};
