#include "app/DemoSetup.h"

#include "app/CommandLine.h"
#include "layout/CQuorvaneDoc.h"
#include "objects/CHLTV.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

DemoCollector::Settings chosenDemoSettings(const CommandLine& commandLine, bool window)
{
    DemoCollector::Settings settings;
    settings.folder = QDir(QStandardPaths::writableLocation(QStandardPaths::AppDataLocation))
                          .filePath(QStringLiteral("demos"))
                          .toStdString();
    if (window) {
        const QSettings stored;
        const QString folder = stored.value(QStringLiteral("Demos/Folder")).toString();
        if (!folder.isEmpty())
            settings.folder = folder.toStdString();
        const int days = stored.value(QStringLiteral("Demos/KeepDays"), settings.keepDays).toInt();
        if (days >= 0 && days <= 36500)
            settings.keepDays = days;
        if (stored.value(QStringLiteral("Demos/Compression")).toString() == QLatin1String("gzip"))
            settings.compression = DemoCollector::Compression::Gzip;
        settings.deleteFromProxy = stored.value(QStringLiteral("Demos/DeleteFromProxy"), false).toBool();
        const QString publish = stored.value(QStringLiteral("Demos/PublishFolder")).toString();
        settings.publish = !publish.isEmpty();
        if (settings.publish)
            settings.publishFolder = publish.toStdString();
        const QString base = stored.value(QStringLiteral("Demos/PublishUrl")).toString();
        if (!base.isEmpty())
            settings.publishUrlBase = base.toStdString();
    }
    if (!commandLine.demosFolder.isEmpty())
        settings.folder = commandLine.demosFolder.toStdString();
    if (commandLine.demosKeepDays > 0)
        settings.keepDays = commandLine.demosKeepDays;
    if (commandLine.demosGzip)
        settings.compression = DemoCollector::Compression::Gzip;
    if (commandLine.demosDelete)
        settings.deleteFromProxy = true;
    if (!commandLine.demosPublishFolder.isEmpty()) {
        settings.publish = true;
        settings.publishFolder = commandLine.demosPublishFolder.toStdString();
        // The page links to the demos by their folder's name beside it.
        settings.publishUrlBase = QDir(commandLine.demosPublishFolder).dirName().toStdString() + "/";
    }
    return settings;
}

bool applyDemoFolders(const CommandLine& commandLine, CQuorvaneDoc& document, std::string& error)
{
    for (const CommandLine::DemoFolder& folder : commandLine.demoFolders) {
        auto* proxy = dynamic_cast<CHLTV*>(document.FindObject(folder.address, folder.port));
        if (!proxy) {
            error = "--demo-folder: no proxy " + folder.address + ":" + std::to_string(folder.port);
            return false;
        }
        if (const auto refusal = document.SetDemoFolder(*proxy, folder.url)) {
            error = *refusal;
            return false;
        }
    }
    return true;
}

QJsonObject describeDemo(const DemoCollector::FileState& file)
{
    const auto text = [](const std::string& bytes) {
        return QString::fromUtf8(bytes.data(), static_cast<qsizetype>(bytes.size()));
    };
    QJsonObject report;
    report.insert(QStringLiteral("event"), QStringLiteral("demo"));
    report.insert(QStringLiteral("proxy"), text(file.proxy));
    report.insert(QStringLiteral("match_object"), text(file.match.object));
    report.insert(QStringLiteral("match_started"), static_cast<qint64>(file.match.started));
    report.insert(QStringLiteral("teams"), text(file.match.teamA + " vs " + file.match.teamB));
    report.insert(QStringLiteral("map"), text(file.match.map));
    report.insert(QStringLiteral("remote"), text(file.remoteName));
    report.insert(QStringLiteral("file"), text(file.fileName));
    report.insert(QStringLiteral("size"), static_cast<qint64>(file.size));
    report.insert(QStringLiteral("sha256"), text(file.sha256));
    report.insert(QStringLiteral("state"), text(file.state));
    if (!file.url.empty())
        report.insert(QStringLiteral("url"), text(file.url));
    return report;
}
