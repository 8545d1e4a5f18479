#include "ui/DesktopNotifier.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QIcon>
#include <QSystemTrayIcon>
#include <QVariantMap>

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
constexpr int kTimeoutMs = 10000;
constexpr int kCallTimeoutMs = 500;

} // namespace

DesktopNotifier::DesktopNotifier() = default;

DesktopNotifier::~DesktopNotifier() = default;

void DesktopNotifier::notify(const QString& summary, const QString& body)
{
    if (notifyOverDBus(summary, body))
        return;
    if (!QSystemTrayIcon::isSystemTrayAvailable())
        return;
    if (!m_tray) {
        m_tray = std::make_unique<QSystemTrayIcon>(QIcon(QStringLiteral(":/icons/130.png")));
        m_tray->setToolTip(QCoreApplication::applicationName());
        m_tray->show();
    }
    m_tray->showMessage(summary, body, QSystemTrayIcon::Warning, kTimeoutMs);
}

bool DesktopNotifier::notifyOverDBus(const QString& summary, const QString& body)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kService))
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    // Servers may read the body as markup: escape what machines named.
    call << QCoreApplication::applicationName() << m_lastId << QStringLiteral("dialog-warning") << summary
         << body.toHtmlEscaped() << QStringList() << QVariantMap() << kTimeoutMs;
    const QDBusMessage reply = bus.call(call, QDBus::Block, kCallTimeoutMs);
    if (reply.type() != QDBusMessage::ReplyMessage)
        return false;
    if (!reply.arguments().isEmpty())
        m_lastId = reply.arguments().constFirst().toUInt();
    return true;
}
