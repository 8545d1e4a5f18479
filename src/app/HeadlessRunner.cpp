#include "app/HeadlessRunner.h"

#include "app/DemoSetup.h"

#include "core/Clock.h"
#include "core/TerminalText.h"
#include "feeds/EventReport.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/CanvasLayout.h"
#include "layout/CanvasPainter.h"
#include "layout/ScheduleRunner.h"
#include "objects/CHLServer.h"
#include "objects/ObjectReport.h"
#include "objects/RconNotices.h"

#include <QImage>
#include <QJsonArray>
#include <QJsonDocument>
#include <QPainter>
#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {

constexpr int kTickMs = 1000;
constexpr int kAutoWebMs = 30000;
// One full poll cycle, plus the sixth-tick link step, plus one more tick
// for the answers to the last queries.
constexpr int kTicksForOnce = 7;
constexpr int kSettleMs = 500;

// What a change report is printed for; compared field by field every
// second, without building the report (a park of thousands is compared
// every second, while reports are printed rarely).
HeadlessRunner::ChangeKey changeKey(const CCommonObject& object, bool streamLost)
{
    HeadlessRunner::ChangeKey key;
    key.streamLost = streamLost;
    key.status = object.m_nStatus;
    key.hostname = object.m_strHostname;
    if (const auto* server = dynamic_cast<const CHLServer*>(&object))
        key.map = server->m_strMap;
    key.players = std::clamp(object.GetPlayerCount(), 0, CCommonObject::kMaxPlayers);
    key.relayLost = object.IsRelayLost();
    key.passwordRefused = object.PasswordRefused();
    return key;
}

bool sameKey(const HeadlessRunner::ChangeKey& key, const CCommonObject& object, bool streamLost)
{
    const auto* server = dynamic_cast<const CHLServer*>(&object);
    const std::string& map = server ? server->m_strMap : std::string();
    return key.streamLost == streamLost && key.status == object.m_nStatus &&
           key.hostname == object.m_strHostname && key.map == map &&
           key.players == std::clamp(object.GetPlayerCount(), 0, CCommonObject::kMaxPlayers) &&
           key.relayLost == object.IsRelayLost() && key.passwordRefused == object.PasswordRefused();
}

} // namespace

HeadlessRunner::HeadlessRunner(const CommandLine& commandLine, CQuorvaneDoc& document, QObject* parent)
    : QObject(parent), m_commandLine(commandLine), m_document(document), m_alerts(commandLine.onChangeCommand)
{
    // Nothing here shows the player history: not kept.
    m_document.KeepHistory(false);
    m_schedules = std::make_unique<ScheduleRunner>(m_document);
    m_timer.setInterval(kTickMs);
    connect(&m_timer, &QTimer::timeout, this, &HeadlessRunner::tick);
    // The status page, when the layout enables it, as the window would.
    m_autoWebTimer.setInterval(kAutoWebMs);
    connect(&m_autoWebTimer, &QTimer::timeout, &m_document, &CQuorvaneDoc::TickAutoWeb);
    // Operator messages go to standard error; so do the AutoWeb notices.
    connect(&m_document, &CQuorvaneDoc::autoWebNotice, this,
            [](const QString& text, bool) { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); });
    // Demo collection: its lines on standard error, each file's states as events.
    connect(&m_document, &CQuorvaneDoc::demoNotice, this,
            [](const QString& text, bool) { std::fprintf(stderr, "%s\n", text.toLocal8Bit().constData()); });
    // An rcon attack: one line on standard error (and --on-change runs).
    connect(&m_document, &CQuorvaneDoc::rconAttack, this, [](const RconAttacks::Alert& alert) {
        std::fprintf(stderr, "quorvane: rcon attack on %s from %s: %d refused commands in a minute\n",
                     alert.server.c_str(), alert.source.c_str(), alert.count);
    });
    connect(&m_document, &CQuorvaneDoc::demoChanged, this, [this](const DemoCollector::FileState& file) {
        if (m_commandLine.json)
            std::cout << QJsonDocument(describeDemo(file)).toJson(QJsonDocument::Compact).toStdString()
                      << std::endl;
        else if (file.state == "kept" || file.state == "published" || file.state.starts_with("failed"))
            std::cout << "demo " << file.fileName << " " << file.state << std::endl;
    });
}

HeadlessRunner::~HeadlessRunner() = default;

void HeadlessRunner::start()
{
    if (!openLogPort()) {
        QTimer::singleShot(0, this, [this] { emit finished(2); });
        return;
    }
    CGroup* servers = m_document.m_groups.empty() ? nullptr : m_document.m_groups.front().get();
    CGroup* proxies = m_document.m_groups.size() > 1 ? m_document.m_groups[1].get() : servers;
    CGroup* hubs = m_document.m_groups.empty() ? nullptr : m_document.m_groups.back().get();
    for (const CommandLine::ObjectArgument& object : m_commandLine.objects) {
        switch (object.kind) {
        case CommandLine::Kind::Server:
            if (CCommonObject* server =
                    m_document.AddServer(object.address, object.port, object.rconPassword, servers);
                server && !object.logSecret.empty())
                m_document.m_feeds.setSecret(server->GetName(), object.logSecret);
            break;
        case CommandLine::Kind::Proxy:
            m_document.AddProxy(object.address, object.port, proxies, object.rconPassword, "", object.address,
                                object.port, true, false);
            break;
        case CommandLine::Kind::Hub:
            m_document.AddHubManager(object.address, object.port, object.rconPassword, hubs);
            break;
        }
    }
    std::string error;
    if (!applyDemoFolders(m_commandLine, m_document, error)) {
        std::cerr << "quorvane: " << error << std::endl;
        QTimer::singleShot(0, this, [this] { emit finished(2); });
        return;
    }
    tick();
    m_timer.start();
    if (!m_commandLine.once)
        m_autoWebTimer.start();
}

void HeadlessRunner::tick()
{
    m_document.TickSecond();
    ++m_ticks;
    if (m_commandLine.streamLogs)
        streamLogs();
    reportSuspensions();
    if (m_alerts.isValid())
        m_alerts.check(m_document, m_document.context().clock->now());
    if (!m_commandLine.once) {
        printChanges();
    } else if (m_ticks == kTicksForOnce) {
        m_timer.stop();
        QTimer::singleShot(kSettleMs, this, &HeadlessRunner::finishOnce);
    }
}

void HeadlessRunner::printObject(const CCommonObject& object)
{
    QJsonObject report = describeObject(object);
    if (m_document.StreamWanted(object))
        report.insert(QStringLiteral("logstream"), m_document.StreamLost(object)
                                                       ? QStringLiteral("log stream lost")
                                                       : QStringLiteral("streaming"));
    if (m_commandLine.json) {
        std::cout << QJsonDocument(report).toJson(QJsonDocument::Compact).toStdString() << '\n';
        return;
    }
    // Host names and maps come from the machines: escaped, they can neither
    // drive the terminal nor start a line that looks like another object's.
    const auto field = [&report](const char* key, bool quoted = false) {
        return escapeForTerminal(report.value(QLatin1String(key)).toString(), quoted).toStdString();
    };
    std::cout << field("object") << ' ' << field("kind") << ' ' << field("status") << " \""
              << field("hostname", true) << "\" " << field("map") << ' '
              << report.value(QLatin1String("players")).toInt() << " players"
              << (m_document.StreamLost(object) ? " (log stream lost)" : "") << '\n';
}

void HeadlessRunner::printChanges()
{
    for (const auto& object : m_document.m_objects) {
        const bool lost = m_document.StreamLost(*object);
        const auto printed = m_printed.find(object.get());
        if (printed != m_printed.end() && sameKey(printed->second, *object, lost))
            continue;
        m_printed[object.get()] = changeKey(*object, lost);
        printObject(*object);
    }
    // One write for the second's reports, not one per line: a reader sees
    // each second whole.
    std::cout.flush();
}

void HeadlessRunner::finishOnce()
{
    // Replies of the last tick may name upstreams and parents: link them
    // before the report rather than a tick later.
    m_document.RelinkAll();
    if (!m_commandLine.renderPath.isEmpty()) {
        emit finished(renderCanvas() ? 0 : 2);
        return;
    }
    bool allAnswer = true;
    for (const auto& object : m_document.m_objects) {
        printObject(*object);
        allAnswer = allAnswer && object->m_nStatus != CSStatus_TIMEOUT;
    }
    std::cout.flush();
    emit finished(allAnswer ? 0 : 1);
}

bool HeadlessRunner::renderCanvas()
{
    // As the window was last arranged.
    const QSize size = RecalcLayout(m_document, savedLayoutOptions());
    QImage image(size, QImage::Format_RGB32);
    QPainter painter(&image);
    PaintCanvas(painter, m_document, image.rect());
    painter.end();
    if (image.save(m_commandLine.renderPath, "PNG"))
        return true;
    std::cerr << "quorvane: cannot write " << m_commandLine.renderPath.toStdString() << std::endl;
    return false;
}

bool HeadlessRunner::openLogPort()
{
    if (m_commandLine.logListenPort == 0)
        return true;
    const QHostAddress address(QString::fromStdString(m_commandLine.logListenAddress));
    QString error = QStringLiteral("not an IP address");
    if (!address.isNull() &&
        m_document.m_feeds.listen(address, static_cast<quint16>(m_commandLine.logListenPort), error)) {
        connect(&m_document.m_feeds, &LiveFeeds::eventReceived, this, &HeadlessRunner::printEvent);
        return true;
    }
    std::cerr << "quorvane: cannot listen for logs on " << m_commandLine.logListenAddress << ':'
              << m_commandLine.logListenPort << ": " << error.toStdString() << std::endl;
    return false;
}

void HeadlessRunner::printEvent(const std::string& objectName, const LogEvent& event)
{
    if (m_commandLine.json)
        std::cout
            << QJsonDocument(describeEvent(objectName, event)).toJson(QJsonDocument::Compact).toStdString();
    else
        std::cout << eventLine(objectName, event).toStdString();
    std::cout << std::endl;
}

void HeadlessRunner::streamLogs()
{
    // The first ask; the document asks again after a restart or a silence.
    for (const auto& object : m_document.m_objects) {
        if (!object->IsGameServer() || object->m_nStatus < CSStatus_CONTROL || object->RconGains() == 0 ||
            m_document.StreamWanted(*object) || m_streamFailed.count(object->GetName()))
            continue;
        std::string error;
        if (!m_document.StreamLogs(*object, true, error)) {
            m_streamFailed.insert(object->GetName()); // said once
            std::cerr << "quorvane: " << error << std::endl;
        }
    }
}

void HeadlessRunner::stopStreaming()
{
    for (const auto& object : m_document.m_objects) {
        if (!m_document.StreamWanted(*object))
            continue;
        std::string error;
        if (!m_document.StreamLogs(*object, false, error))
            std::cerr << "quorvane: " << error << std::endl;
    }
}

void HeadlessRunner::reportSuspensions()
{
    for (const auto& object : m_document.m_objects) {
        const std::string reason = object->RconSuspended() ? object->RconSuspendReason() : std::string();
        const auto [known, added] = m_suspensions.try_emplace(object.get(), reason);
        if (added ? reason.empty() : known->second == reason)
            continue;
        const std::string line = !reason.empty() ? reason
                                                 : (known->second == notices::kBanned
                                                        ? std::string(notices::kBanLifted)
                                                        : std::string("Quorvane : internal rcon resumes."));
        known->second = reason;
        std::cerr << "quorvane: "
                  << escapeForTerminal(QString::fromStdString(object->GetName())).toStdString() << ": "
                  << line << std::endl;
    }
}
