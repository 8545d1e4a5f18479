#pragma once

// `quorvane ledger KIND --json --ledger PATH [OPTIONS...]`, run as the
// program itself (QUORVANE_BINARY): one JSON object per line printed;
// nothing when it fails or takes more than 20 s.
#include <QJsonDocument>
#include <QJsonObject>
#include <QList>
#include <QProcess>
#include <QStringList>

inline QList<QJsonObject> ledgerLines(const QString& kind, const QString& path, const QStringList& options = {})
{
    QProcess program;
    program.start(QStringLiteral(QUORVANE_BINARY),
                  QStringList{QStringLiteral("ledger"), kind, QStringLiteral("--json"), QStringLiteral("--ledger"), path} +
                      options);
    if (!program.waitForFinished(20000) || program.exitStatus() != QProcess::NormalExit || program.exitCode() != 0)
        return {};
    QList<QJsonObject> lines;
    for (const QByteArray& line : program.readAllStandardOutput().split('\n'))
        if (!line.isEmpty())
            lines << QJsonDocument::fromJson(line).object();
    return lines;
}
