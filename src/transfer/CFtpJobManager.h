#pragma once

#include "transfer/CFtpJob.h"

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

// Limits on one job, so that a dead or stalled server can hold neither the
// queue nor the program's exit for long. A job that runs into one of them
// ends with a message and the worker goes on with the next job.
struct FtpTimeouts
{
    // TCP connection, the server's greeting and the login. 0 leaves curl's
    // default (minutes).
    std::chrono::milliseconds connect{15000};
    // Any one reply of the server once connected, the final reply to the
    // upload included. curl counts it in whole seconds; 0 leaves its default
    // (minutes).
    std::chrono::seconds response{30};
    // An upload that moves fewer than lowSpeedBytes bytes per second during
    // lowSpeedTime is abandoned; lowSpeedBytes 0 turns the check off.
    long lowSpeedBytes = 1;
    std::chrono::seconds lowSpeedTime{30};
    // The whole job, from connecting to the last reply; 0 for no limit.
    std::chrono::milliseconds total{std::chrono::minutes(5)};
};

// Uploads files to FTP servers in the background: jobs queued from any
// thread run one at a time, in the order queued, on one worker thread.
//
// Messages for the operator (a refused login, a dead server, a local file
// that cannot be read) are handed to the reporter on the worker thread; the
// worker never waits for the operator. UiThreadReporter turns them into
// queued calls on the user-interface thread.
//
// curl_global_init runs once per process, in the first manager's
// constructor; build the first manager before other threads use libcurl.
class CFtpJobManager
{
public:
    using Reporter = std::function<void(std::string)>;

    CFtpJobManager();
    ~CFtpJobManager(); // Stop()
    CFtpJobManager(const CFtpJobManager&) = delete;
    CFtpJobManager& operator=(const CFtpJobManager&) = delete;

    // Starts the worker thread; does nothing while it runs. After Stop it
    // may be started again.
    void Start();
    // Appends the job to the queue and wakes the worker; always true. A job
    // added while no worker runs waits for the next Start.
    bool AddJob(std::unique_ptr<CFtpJob> job);
    // Like AddJob, but first drops the jobs still waiting to store the same
    // remote file on the same server: of a page published every 30 seconds
    // only the newest matters, and a slow server must not make the queue
    // grow for ever. The job being uploaded is left alone.
    bool AddReplacingJob(std::unique_ptr<CFtpJob> job);
    // Jobs queued, plus one while the worker holds a job.
    int GetJobCount() const;
    // Ends the worker and waits for it: the upload under way is aborted
    // (within about a second, however stuck the server) and the jobs still
    // queued are dropped unrun, so that closing the program is never held
    // by a dead or slow server. Safe to call twice and before Start; not
    // from the reporter.
    void Stop();
    // True from the moment Stop asks the worker to end until it has ended.
    bool IsStopping() const;

    // Both take effect from the next job the worker takes.
    void SetReporter(Reporter reporter);
    void SetTimeouts(const FtpTimeouts& timeouts);
    FtpTimeouts GetTimeouts() const;

    // The transfer of one job, on the calling thread: passive mode, binary
    // type, the remote file replaced by the job's bytes. Failures go to
    // report (which may be empty). True when the server confirmed the
    // upload. When abort becomes true the transfer ends at once, without a
    // message.
    static bool RunJob(const CFtpJob& job, const FtpTimeouts& timeouts, const Reporter& report,
                       const std::atomic<bool>* abort = nullptr);

private:
    void WorkerMain();

    std::thread m_worker;
    mutable std::mutex m_mutex; // guards everything below
    std::condition_variable m_wake;
    std::deque<std::unique_ptr<CFtpJob>> m_queue;
    bool m_busy = false;     // the worker holds a job taken from the queue
    bool m_stopping = false; // end now; what is queued is dropped
    std::atomic<bool> m_abort{false}; // read by the running transfer
    Reporter m_reporter;
    FtpTimeouts m_timeouts;
};
