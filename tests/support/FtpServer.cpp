#include "support/FtpServer.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

namespace {

// Debian's python3-pyftpdlib belongs to the system interpreter; a python3
// found first on PATH (a virtual environment) may not have it.
QString python()
{
    const QString system = QStringLiteral("/usr/bin/python3");
    return QFileInfo(system).isExecutable() ? system : QStringLiteral("python3");
}

} // namespace

FtpServer::FtpServer()
{
    QDir(m_home.path()).mkdir(QString::fromLatin1(kStartDir));
}

FtpServer::~FtpServer()
{
    stop();
}

bool FtpServer::start(quint16 port)
{
    stop();
    m_lines.clear();
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->start(
        python(), {QStringLiteral(QUORVANE_FTP_SERVER_SCRIPT), QStringLiteral("--port"),
                   QString::number(port), QStringLiteral("--home"), m_home.path(), QStringLiteral("--user"),
                   QString::fromLatin1(kUser), QStringLiteral("--password"), QString::fromLatin1(kPassword),
                   QStringLiteral("--start-dir"), QLatin1Char('/') + QString::fromLatin1(kStartDir)});
    const QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && m_process->state() != QProcess::NotRunning) {
        if (m_process->canReadLine()) {
            const QByteArray line = m_process->readLine().trimmed();
            bool ok = false;
            m_port = static_cast<quint16>(line.mid(6).toUInt(&ok));
            if (line.startsWith("ready ") && ok && m_port != 0)
                return true;
            m_error = QStringLiteral("unexpected line from the FTP server: ") + QString::fromUtf8(line);
            stop();
            return false;
        }
        m_process->waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    m_error = QStringLiteral("the FTP server did not start: ") +
              QString::fromLocal8Bit(m_process->readAllStandardError()).trimmed();
    stop();
    return false;
}

void FtpServer::stop()
{
    if (!m_process)
        return;
    m_process->kill();
    m_process->waitForFinished(5000);
    m_process.reset();
}

std::optional<QByteArray> FtpServer::file(const QString& remotePath) const
{
    QFile file(m_home.path() + remotePath);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return file.readAll();
}

bool FtpServer::putFile(const QString& remotePath, const QByteArray& bytes) const
{
    QFile file(m_home.path() + remotePath);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool FtpServer::hold()
{
    return command("hold", "held");
}

bool FtpServer::release()
{
    return command("release", "released");
}

bool FtpServer::cutAfter(qint64 bytes)
{
    return command("cut " + QByteArray::number(bytes), "cutting " + QByteArray::number(bytes));
}

bool FtpServer::command(const QByteArray& command, const QByteArray& answer)
{
    if (!m_process || m_process->write(command + '\n') != command.size() + 1)
        return false;
    return waitForLine(answer);
}

bool FtpServer::waitForLine(const QByteArray& line, int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    while (m_process) {
        readLines();
        if (m_lines.contains(line))
            return true;
        if (deadline.hasExpired() || m_process->state() == QProcess::NotRunning)
            return false;
        m_process->waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime())));
    }
    return false;
}

QList<QByteArray> FtpServer::received()
{
    readLines();
    QList<QByteArray> paths;
    for (const QByteArray& line : m_lines) {
        if (line.startsWith("received "))
            paths.append(line.mid(9));
    }
    return paths;
}

void FtpServer::readLines()
{
    while (m_process && m_process->canReadLine())
        m_lines.append(m_process->readLine().trimmed());
}
