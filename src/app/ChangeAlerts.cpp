#include "app/ChangeAlerts.h"

#include "layout/CQuorvaneDoc.h"
#include "objects/ObjectReport.h"

#include <QJsonDocument>
#include <QProcess>
#include <iostream>

ChangeAlerts::ChangeAlerts(const QString& command, QObject* parent)
    : QObject(parent), m_command(QProcess::splitCommand(command))
{
}

void ChangeAlerts::check(const CQuorvaneDoc& document, std::int64_t now)
{
    for (const auto& object : document.m_objects) {
        const bool up = object->m_nStatus != CSStatus_TIMEOUT && object->m_nStatus != CSStatus_BAD;
        const std::string name = object->GetName();
        const auto found = m_states.find(name);
        if (found == m_states.end()) {
            if (up) // first seen up: from now on, changes count
                m_states.emplace(name, State{true, -kMinSeconds});
            continue;
        }
        State& state = found->second;
        // A relay lost and back is news of its own, limited on its own.
        const bool relayLost = object->IsRelayLost();
        if (relayLost != state.relayLost && now - state.lastRelayRun >= kMinSeconds) {
            state.relayLost = relayLost;
            state.lastRelayRun = now;
            QJsonObject report = describeObject(*object);
            report.insert(QStringLiteral("change"),
                          relayLost ? QStringLiteral("relay-lost") : QStringLiteral("relay-back"));
            run(QJsonDocument(report).toJson(QJsonDocument::Compact) + '\n');
        }
        if (up == state.reported || now - state.lastRun < kMinSeconds)
            continue;
        state.reported = up;
        state.lastRun = now;
        QJsonObject report = describeObject(*object);
        report.insert(QStringLiteral("change"), up ? QStringLiteral("up") : QStringLiteral("down"));
        run(QJsonDocument(report).toJson(QJsonDocument::Compact) + '\n');
    }
    for (const RconAttacks::Alert& alert : document.rconAttacks().AlertsAfter(m_lastAttack)) {
        m_lastAttack = alert.sequence;
        QJsonObject report;
        for (const auto& object : document.m_objects) {
            if (object->GetName() == alert.server) {
                report = describeObject(*object);
                break;
            }
        }
        report.insert(QStringLiteral("change"), QStringLiteral("rcon-attack"));
        report.insert(QStringLiteral("source"), QString::fromStdString(alert.source));
        report.insert(QStringLiteral("refused"), alert.count);
        run(QJsonDocument(report).toJson(QJsonDocument::Compact) + '\n');
    }
}

void ChangeAlerts::run(const QByteArray& input)
{
    if (m_running >= kMaxRunning) {
        std::cerr << "quorvane: --on-change: " << kMaxRunning << " runs still going, one skipped"
                  << std::endl;
        return;
    }
    auto* process = new QProcess(this);
    ++m_running;
    connect(process, &QProcess::finished, this, [this, process] {
        --m_running;
        process->deleteLater();
    });
    connect(process, &QProcess::errorOccurred, this, [this, process](QProcess::ProcessError error) {
        if (error != QProcess::FailedToStart)
            return;
        std::cerr << "quorvane: --on-change: " << process->errorString().toStdString() << std::endl;
        --m_running;
        process->deleteLater();
    });
    process->setProcessChannelMode(QProcess::ForwardedChannels);
    process->start(m_command.first(), m_command.mid(1));
    process->write(input);
    process->closeWriteChannel();
}
