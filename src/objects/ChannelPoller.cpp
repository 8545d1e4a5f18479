#include "objects/ChannelPoller.h"

#include "objects/CRconSocket.h"

#include <QCoreApplication>
#include <QSocketNotifier>

#include <array>
#include <sys/epoll.h>
#include <unistd.h>

namespace {

ChannelPoller* g_poller = nullptr;

// Ready sockets taken per wake-up; more stay ready for the next one.
constexpr int kEventsPerWakeUp = 256;

} // namespace

ChannelPoller* ChannelPoller::instance()
{
    if (!g_poller) {
        const int epoll = ::epoll_create1(EPOLL_CLOEXEC);
        if (epoll < 0)
            return nullptr;
        g_poller = new ChannelPoller(epoll, QCoreApplication::instance());
    }
    return g_poller;
}

ChannelPoller::ChannelPoller(int epoll, QObject* parent)
    : QObject(parent), m_epoll(epoll), m_notifier(std::make_unique<QSocketNotifier>(epoll, QSocketNotifier::Read))
{
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &ChannelPoller::onReady);
}

ChannelPoller::~ChannelPoller()
{
    m_notifier.reset();
    ::close(m_epoll);
    if (g_poller == this)
        g_poller = nullptr;
}

bool ChannelPoller::watch(int fd, CRconSocket* channel)
{
    epoll_event event{};
    event.events = EPOLLIN;
    event.data.fd = fd;
    if (::epoll_ctl(m_epoll, EPOLL_CTL_ADD, fd, &event) != 0)
        return false;
    m_channels[fd] = channel;
    return true;
}

void ChannelPoller::forget(int fd)
{
    ::epoll_ctl(m_epoll, EPOLL_CTL_DEL, fd, nullptr);
    m_channels.erase(fd);
}

void ChannelPoller::onReady()
{
    std::array<epoll_event, kEventsPerWakeUp> events;
    const int ready = ::epoll_wait(m_epoll, events.data(), kEventsPerWakeUp, 0);
    for (int i = 0; i < ready; ++i) {
        // Looked up anew for each: handling one reply may close another
        // channel (a modal message runs the event loop), or this poller's
        // application may end.
        const auto found = m_channels.find(events[static_cast<std::size_t>(i)].data.fd);
        if (found == m_channels.end() || !found->second)
            continue;
        const QPointer<ChannelPoller> alive(this);
        found->second->onReadable();
        if (!alive)
            return;
    }
}
