#include "SignalWatch.h"

#include <csignal>
#include <sys/socket.h>
#include <unistd.h>

#ifdef __linux__
#include <sys/prctl.h>
#endif

namespace {

int g_pipe[2] = {-1, -1};

constexpr char kStop = 1;
constexpr char kReport = 2;

void onSignal(int signal)
{
    const char byte = signal == SIGUSR1 ? kReport : kStop;
    // Nothing else is safe here; a full pipe already holds a request.
    if (::write(g_pipe[0], &byte, 1) < 0) {
    }
}

} // namespace

SignalWatch::SignalWatch()
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, g_pipe) != 0)
        return;
    m_notifier = std::make_unique<QSocketNotifier>(g_pipe[1], QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SignalWatch::drain);

    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
    ::sigaction(SIGUSR1, &action, nullptr);
}

SignalWatch::~SignalWatch()
{
    if (!m_notifier)
        return;
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGUSR1, SIG_DFL);
    m_notifier.reset();
    ::close(g_pipe[0]);
    ::close(g_pipe[1]);
    g_pipe[0] = g_pipe[1] = -1;
}

void SignalWatch::dieWithParent()
{
#ifdef __linux__
    ::prctl(PR_SET_PDEATHSIG, SIGTERM);
#endif
}

void SignalWatch::drain()
{
    char buffer[16];
    const ssize_t got = ::read(g_pipe[1], buffer, sizeof buffer);
    bool stop = false;
    for (ssize_t i = 0; i < got; ++i) {
        if (buffer[i] == kReport)
            emit reportRequested();
        else
            stop = true;
    }
    if (stop)
        emit stopRequested();
}
