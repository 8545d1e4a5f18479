#include "app/WindowFeeds.h"

#include "app/CommandLine.h"
#include "core/Operator.h"
#include "feeds/FeedSettings.h"
#include "layout/CQuorvaneDoc.h"
#include "metrics/MetricsServer.h"
#include "ui/CFeedSettingsDlg.h"

#include <QSettings>

namespace {

QSettings settings()
{
    return QSettings(QStringLiteral("Quorvane"), QStringLiteral("Quorvane"));
}

QString endpointText(const std::string& address, int port)
{
    return port == 0 ? QString() : QString::fromStdString(address) + QLatin1Char(':') + QString::number(port);
}

} // namespace

WindowFeeds::WindowFeeds(CQuorvaneDoc& document, Operator& op) : m_document(document), m_operator(op) {}

WindowFeeds::~WindowFeeds() = default;

void WindowFeeds::start(const CommandLine& commandLine)
{
    QSettings store = settings();
    applyLogListen(commandLine.logListenPort != 0
                       ? endpointText(commandLine.logListenAddress, commandLine.logListenPort)
                       : store.value(QLatin1String(feedsettings::kLogListen)).toString());
    applyMetrics(commandLine.metricsPort != 0
                     ? endpointText(commandLine.metricsAddress, commandLine.metricsPort)
                     : store.value(QLatin1String(feedsettings::kMetrics)).toString());
}

void WindowFeeds::edit(QWidget* parent)
{
    QSettings store = settings();
    CFeedSettingsDlg dialog({store.value(QLatin1String(feedsettings::kLogListen)).toString(),
                             store.value(QLatin1String(feedsettings::kMetrics)).toString()},
                            parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    store.setValue(QLatin1String(feedsettings::kLogListen), dialog.values().logListen);
    store.setValue(QLatin1String(feedsettings::kMetrics), dialog.values().metrics);
    applyLogListen(dialog.values().logListen);
    applyMetrics(dialog.values().metrics);
}

bool WindowFeeds::applyLogListen(const QString& text)
{
    LiveFeeds& feeds = m_document.m_feeds;
    if (text.trimmed().isEmpty()) {
        feeds.close();
        return true;
    }
    const auto endpoint = feedsettings::parseEndpoint(text);
    QString error = QStringLiteral("not ADDRESS:PORT with an IP address, nor a port");
    if (endpoint && feeds.isListening() && feeds.listenAddress() == endpoint->address &&
        feeds.listenPort() == endpoint->port)
        return true;
    if (endpoint && feeds.listen(endpoint->address, endpoint->port, error))
        return true;
    feeds.close();
    m_operator.showMessage("Cannot listen for logs on " + text.toStdString() + ": " + error.toStdString() +
                           ". Change the log port in Modules, Live Feeds.");
    return false;
}

bool WindowFeeds::applyMetrics(const QString& text)
{
    // A new server each time: the old one lets its port go first.
    m_metrics.reset();
    if (text.trimmed().isEmpty())
        return true;
    const auto endpoint = feedsettings::parseEndpoint(text);
    if (endpoint) {
        m_metrics = std::make_unique<MetricsServer>(m_document);
        if (m_metrics->listen(endpoint->address, endpoint->port) != 0)
            return true;
        m_metrics.reset();
    }
    m_operator.showMessage("Cannot serve metrics on " + text.toStdString() +
                           (endpoint ? ": the address is not available or the port is in use"
                                     : ": not ADDRESS:PORT with an IP address, nor a port") +
                           ". Change the metrics address in Modules, Live Feeds.");
    return false;
}
