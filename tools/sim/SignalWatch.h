#pragma once

#include <QObject>
#include <QSocketNotifier>

#include <memory>

// Turns SIGINT and SIGTERM into a clean quit of the event loop, and SIGUSR1
// into a request for the traffic counted so far: the handler only writes a
// byte to a socket pair, which the event loop then reads.
class SignalWatch : public QObject
{
    Q_OBJECT

public:
    SignalWatch();
    ~SignalWatch() override;

    bool ok() const { return m_notifier != nullptr; }

    // Asks the kernel to send SIGTERM to this process when its parent dies,
    // so that a park started by a test that crashed does not linger.
    static void dieWithParent();

signals:
    void stopRequested();
    void reportRequested();

private:
    void drain();

    std::unique_ptr<QSocketNotifier> m_notifier;
};
