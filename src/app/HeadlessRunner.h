#pragma once

#include "app/ChangeAlerts.h"
#include "app/CommandLine.h"
#include "objects/ObjectStatus.h"

#include <QObject>
#include <QTimer>
#include <memory>
#include <string>
#include <unordered_map>
#include <unordered_set>

struct LogEvent;
class ScheduleRunner;

class CCommonObject;
class CQuorvaneDoc;

// Runs the document without a window: the one-second tick, links and
// automatic recording, and a line on standard output whenever an object's
// status, host name, map or player count changes (JSON with --json). With
// --once it polls one full cycle, prints every object and finishes with 0
// when none is timed out, 1 otherwise.
class HeadlessRunner : public QObject
{
    Q_OBJECT

public:
    HeadlessRunner(const CommandLine& commandLine, CQuorvaneDoc& document, QObject* parent = nullptr);
    ~HeadlessRunner() override;

    // Adds the objects of the command line and starts ticking.
    void start();
    // Before the program ends: the servers asked to stream their log here
    // are asked to stop (logaddress_del). Datagrams only, sent at once.
    void stopStreaming();

    // What a change report is printed for.
    struct ChangeKey
    {
        CSStatus status = CSStatus_TIMEOUT;
        std::string hostname;
        std::string map;
        int players = 0;
        bool streamLost = false;
        // A proxy's relay (lost or relaying) and a refused password are news too.
        bool relayLost = false;
        bool passwordRefused = false;
    };

    // One second: the document's tick, then what is printed for it (the
    // timer calls it).
    void tick();

signals:
    void finished(int exitCode);

private:
    void printObject(const CCommonObject& object);
    void printChanges();
    void finishOnce();
    // Opens the log port of --log-listen; false (reason on standard error)
    // when it cannot be opened.
    bool openLogPort();
    void printEvent(const std::string& objectName, const LogEvent& event);
    // --stream-logs: each game server, once rcon is accepted, is asked to
    // stream here; the document asks again when it must.
    void streamLogs();
    // One line on standard error whenever an object's rcon is suspended (a
    // ban, a refused password) or resumes.
    void reportSuspensions();
    // Writes the canvas, as painted, to the --render picture.
    bool renderCanvas();

    const CommandLine& m_commandLine;
    CQuorvaneDoc& m_document;
    QTimer m_timer;
    QTimer m_autoWebTimer;
    // The schedules this run keeps in the ledger, run at the document's ticks as in the window.
    std::unique_ptr<ScheduleRunner> m_schedules;
    int m_ticks = 0;
    // What was last printed per object.
    std::unordered_map<const CCommonObject*, ChangeKey> m_printed;
    ChangeAlerts m_alerts;
    // Servers that could not be asked (said once on standard error).
    std::unordered_set<std::string> m_streamFailed;
    // The suspension reason last reported per object (empty: none).
    std::unordered_map<const CCommonObject*, std::string> m_suspensions;
};
