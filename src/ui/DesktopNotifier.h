#pragma once

#include "ui/Notifier.h"

#include <memory>

class QSystemTrayIcon;

// Desktop notifications: the freedesktop notification service on the
// session bus when there is one, else a balloon from a tray icon, else
// nothing (the status bar still shows the count).
class DesktopNotifier : public Notifier
{
public:
    DesktopNotifier();
    ~DesktopNotifier() override;

    void notify(const QString& summary, const QString& body) override;

private:
    bool notifyOverDBus(const QString& summary, const QString& body);

    std::unique_ptr<QSystemTrayIcon> m_tray;
    // Each alert replaces the previous one instead of piling up.
    unsigned int m_lastId = 0;
};
