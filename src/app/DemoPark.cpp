#include "app/DemoPark.h"

#include "layout/CQuorvaneDoc.h"
#include "objects/CHLTV.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>

namespace {

constexpr int kStartTimeoutMs = 10000;
const std::string kPassword = "demo";

} // namespace

DemoPark::~DemoPark()
{
    if (m_process) {
        m_process->terminate();
        if (!m_process->waitForFinished(2000))
            m_process->kill();
        m_process->waitForFinished(1000);
    }
}

bool DemoPark::start(QString& error)
{
    const QString program = QDir(QCoreApplication::applicationDirPath()).filePath(QStringLiteral("quorvane-sim"));
    if (!QFile::exists(program)) {
        error = QStringLiteral("the park simulator %1 is missing").arg(program);
        return false;
    }
    const QString config = m_dir.filePath(QStringLiteral("demo-park.json"));
    if (!m_dir.isValid() || !QFile::copy(QStringLiteral(":/demo/demo-park.json"), config)) {
        error = QStringLiteral("cannot write the demo park's configuration");
        return false;
    }
    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process->start(program, {QStringLiteral("--config"), config, QStringLiteral("--port"), QStringLiteral("0")});
    QDeadlineTimer deadline(kStartTimeoutMs);
    QByteArray pending;
    while (!deadline.hasExpired()) {
        if (!m_process->waitForReadyRead(static_cast<int>(std::max<qint64>(1, deadline.remainingTime()))))
            break;
        pending += m_process->readAllStandardOutput();
        qsizetype end = 0;
        while ((end = pending.indexOf('\n')) >= 0) {
            const QByteArray line = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (line == "ready")
                return true;
            const QList<QByteArray> parts = line.split(' ');
            if (parts.size() == 2 && parts[1].contains(':'))
                m_machines.push_back({QString::fromLatin1(parts[0]), parts[1].split(':').last().toInt()});
        }
    }
    error = QStringLiteral("the park simulator did not start");
    return false;
}

void DemoPark::buildLayout(CQuorvaneDoc& document) const
{
    document.OnNewDocument();
    document.m_moduleAdminBot.m_bEnabled = 1; // match reports drive the recording
    CGroup* servers = document.m_groups[0].get();
    CGroup* local = document.m_groups[1].get();
    CGroup* internet = document.m_groups[2].get();
    bool firstProxy = true;
    for (const Machine& machine : m_machines) {
        if (machine.kind == QLatin1String("server")) {
            document.AddServer("127.0.0.1", machine.port, kPassword, servers);
        } else if (machine.kind == QLatin1String("proxy")) {
            document.AddProxy("127.0.0.1", machine.port, firstProxy ? local : internet, kPassword, "", "127.0.0.1",
                              machine.port, true, firstProxy);
            firstProxy = false;
        } else if (machine.kind == QLatin1String("hub")) {
            document.AddHubManager("127.0.0.1", machine.port, kPassword, internet);
        }
    }
    document.SetModifiedFlag(false);
}
