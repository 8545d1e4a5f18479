#pragma once

#include <cstddef>
#include <deque>
#include <mutex>
#include <string>
#include <vector>

// What became of one upload: confirmed by the server, or the reason it failed.
struct FtpOutcome
{
    bool ok = false;
    std::string message;
};

// The outcomes of one sender's uploads, handed from the worker thread to the
// sender's own thread: the worker posts, the sender takes them when it looks
// (the user-interface thread once a second). Bounded: a sender that never
// looks keeps only the newest kCapacity.
class FtpOutcomes
{
public:
    static constexpr std::size_t kCapacity = 16;

    // Callable from any thread.
    void Post(FtpOutcome outcome);
    // Everything posted since the last Take, oldest first.
    std::vector<FtpOutcome> Take();

private:
    std::mutex m_mutex;
    std::deque<FtpOutcome> m_posted;
};
