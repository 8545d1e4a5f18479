#pragma once

#include <QObject>
#include <QPointer>
#include <memory>
#include <unordered_map>

class CRconSocket;
class QSocketNotifier;

// Watches the sockets of every rcon channel through one epoll set, which
// the event loop sees as a single descriptor. A park of thousands of
// objects would otherwise have the loop poll thousands of descriptors at
// each wake-up; here a wake-up costs what is ready, not what is open.
// Channels live on the UI thread, and so does the poller.
class ChannelPoller : public QObject
{
    Q_OBJECT

public:
    // The poller of the application (made on first use); nullptr when the
    // epoll set cannot be made (no descriptor left).
    static ChannelPoller* instance();

    ~ChannelPoller() override;

    // Watches fd for datagrams, calling channel->onReadable(); false when
    // the descriptor cannot be added.
    bool watch(int fd, CRconSocket* channel);
    void forget(int fd);

private:
    explicit ChannelPoller(int epoll, QObject* parent);
    void onReady();

    int m_epoll;
    std::unique_ptr<QSocketNotifier> m_notifier;
    // By descriptor: a channel closed while others' replies are handled is
    // found gone, never called through a stale pointer.
    std::unordered_map<int, QPointer<CRconSocket>> m_channels;
};
