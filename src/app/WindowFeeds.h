#pragma once

#include <QString>
#include <memory>

class CQuorvaneDoc;
class MetricsServer;
class Operator;
class QWidget;
struct CommandLine;

// The window's log port and metrics endpoint: opened from the settings
// (Modules, Live Feeds), or from --log-listen and --metrics, which override
// the settings for the session without changing them. A port that cannot
// be opened is reported to the operator in plain words; the window runs on
// without it.
class WindowFeeds
{
public:
    WindowFeeds(CQuorvaneDoc& document, Operator& op);
    ~WindowFeeds();

    void start(const CommandLine& commandLine);
    // Runs the settings dialog; on OK stores and applies what it holds.
    void edit(QWidget* parent);

    // "ADDRESS:PORT", "PORT" or empty (off); false after telling the
    // operator why it could not be opened.
    bool applyLogListen(const QString& text);
    bool applyMetrics(const QString& text);

private:
    CQuorvaneDoc& m_document;
    Operator& m_operator;
    std::unique_ptr<MetricsServer> m_metrics;
};
