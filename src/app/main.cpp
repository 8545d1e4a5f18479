#include "app/CommandLine.h"
#include "app/ConsoleOperator.h"
#include "app/DemoPark.h"
#include "app/HeadlessRunner.h"
#include "app/LedgerCommand.h"
#include "app/LedgerSetup.h"
#include "app/SignalBridge.h"
#include "app/WindowFeeds.h"
#include "core/Clock.h"
#include "core/RandomSource.h"
#include "core/ResourceLimits.h"
#include "layout/CQuorvaneDoc.h"
#include "layout/LayoutFile.h"
#include "ledger/Ledger.h"
#include "metrics/MetricsServer.h"
#include "ui/CControlView.h"
#include "ui/CMainFrame.h"
#include "ui/WidgetOperator.h"

#include <QApplication>
#include <QCoreApplication>
#include <QGuiApplication>
#include <QStatusBar>
#include <QTextStream>
#include <QTimer>
#include <iostream>
#include <memory>

namespace {

// Opens the layout named on the command line; false (with the reason on
// standard error) when the file cannot be read at all.
bool openLayout(CQuorvaneDoc& document, const QString& path)
{
    if (path.isEmpty())
        return true;
    QString error;
    if (layoutfile::openFile(document, path, error) || error.isEmpty())
        return true;
    std::cerr << "quorvane: Failed to open document. " << path.toStdString() << ": " << error.toStdString()
              << std::endl;
    return false;
}

int runHeadless(int argc, char* argv[], const CommandLine& commandLine)
{
    // Rendering needs fonts and painting, never a screen.
    std::unique_ptr<QCoreApplication> application;
    if (commandLine.renderPath.isEmpty()) {
        application = std::make_unique<QCoreApplication>(argc, argv);
    } else {
        if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
            qputenv("QT_QPA_PLATFORM", "offscreen");
        application = std::make_unique<QGuiApplication>(argc, argv);
    }
    QCoreApplication& app = *application;
    SystemClock clock;
    RandomSource random;
    ConsoleOperator op;
    // Made before the document, gone after it: the document writes to it to the end.
    std::unique_ptr<Ledger> ledger;
    CQuorvaneDoc document(CoreContext{&clock, &random, &op});
    document.OnNewDocument();
    if (!openLayout(document, commandLine.layoutPath))
        return 2;
    // Rendering one picture keeps no ledger.
    if (commandLine.renderPath.isEmpty()) {
        QString error;
        ledger = openRunLedger(commandLine, false, clock, error);
        if (!error.isEmpty()) {
            std::cerr << "quorvane: " << error.toStdString() << std::endl;
            return 2;
        }
        if (ledger) {
            QObject::connect(ledger.get(), &Ledger::message, &app,
                             [](const QString& text) { std::cerr << "quorvane: " << text.toStdString() << std::endl; });
            document.AttachLedger(ledger.get());
        }
    }
    DemoPark demo;
    if (commandLine.demo) {
        QString error;
        if (!demo.start(error)) {
            std::cerr << "quorvane: " << error.toStdString() << std::endl;
            return 1;
        }
        demo.buildLayout(document);
    }

    // Made only when asked for: nothing listens unless told to.
    std::unique_ptr<MetricsServer> metrics;
    if (commandLine.metricsPort != 0) {
        metrics = std::make_unique<MetricsServer>(document);
        const QHostAddress address(QString::fromStdString(commandLine.metricsAddress));
        if (address.isNull() || metrics->listen(address, static_cast<quint16>(commandLine.metricsPort)) == 0) {
            std::cerr << "quorvane: cannot serve metrics on " << commandLine.metricsAddress << ':'
                      << commandLine.metricsPort << std::endl;
            return 2;
        }
    }

    HeadlessRunner runner(commandLine, document);
    // Either way out, the servers streaming their log here are told to stop.
    const auto finish = [&runner](int code) {
        runner.stopStreaming();
        QCoreApplication::exit(code);
    };
    SignalBridge signalBridge;
    QObject::connect(&signalBridge, &SignalBridge::terminationRequested, &app, [finish] { finish(0); });
    QObject::connect(&runner, &HeadlessRunner::finished, &app, finish);
    runner.start();
    return QCoreApplication::exec();
}

int runWindowed(QApplication& app, const CommandLine& commandLine)
{
    SystemClock clock;
    RandomSource random;
    WidgetOperator op;
    // Made before the document, gone after it: the document writes to it to the end.
    QString ledgerError;
    std::unique_ptr<Ledger> ledger = openRunLedger(commandLine, true, clock, ledgerError);
    CQuorvaneDoc document(CoreContext{&clock, &random, &op});
    document.OnNewDocument();

    DemoPark demo;
    if (commandLine.demo) {
        QString error;
        if (!demo.start(error)) {
            op.showMessage("Cannot start the demo: " + error.toStdString());
            return 1;
        }
        demo.buildLayout(document);
    }
    SignalBridge signalBridge;
    QObject::connect(&signalBridge, &SignalBridge::terminationRequested, &app,
                     [] { QCoreApplication::exit(0); });

    CMainFrame window(document, new CControlView(document));
    op.setParentWidget(&window);
    if (!ledgerError.isEmpty())
        op.showMessage("The ledger is not kept: " + ledgerError.toStdString());
    if (ledger) {
        // Trouble is told once per spell, in the status bar: the window runs on without it.
        QObject::connect(ledger.get(), &Ledger::message, &window,
                         [&window](const QString& text) { window.statusBar()->showMessage(text); });
        document.AttachLedger(ledger.get());
    }
    window.show();
    WindowFeeds feeds(document, op);
    feeds.start(commandLine);
    QObject::connect(&window, &CMainFrame::feedSettingsRequested, &window,
                     [&feeds, &window] { feeds.edit(&window); });
    QObject::connect(&window, &CMainFrame::ledgerSettingsRequested, &window,
                     [&window] { editLedgerSettings(&window); });
    if (!commandLine.layoutPath.isEmpty())
        window.OpenLayout(commandLine.layoutPath);
    if (!commandLine.screenshotPath.isEmpty()) {
        // One full poll cycle and a link step, then the window as it is shown.
        QTimer::singleShot(commandLine.screenshotDelaySeconds * 1000, &window, [&window, &commandLine] {
            const bool saved = window.grab().save(commandLine.screenshotPath, "PNG");
            QCoreApplication::exit(saved ? 0 : 2);
        });
    }
    return QApplication::exec();
}

} // namespace

int main(int argc, char* argv[])
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    // One socket per monitored object: make room for large parks.
    raiseOpenFileLimit();
    ignoreFileSizeSignal();
    // Qt's own event dispatcher keeps socket notifiers in a hash; the GLib
    // one keeps them in lists whose cost grows with their number, which made
    // opening or closing a layout of 10,000 objects take seconds. Without
    // GLib's loop, GTK's native dialogs are not offered: Qt's are used.
    if (!qEnvironmentVariableIsSet("QT_NO_GLIB"))
        qputenv("QT_NO_GLIB", "1");
    QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs);
    QCoreApplication::setApplicationName(QStringLiteral("Quorvane"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
    QGuiApplication::setDesktopFileName(QStringLiteral(QUORVANE_APP_ID));

    // quorvane ledger ...: prints from the ledger and exits, no window, no polling.
    if (!arguments.isEmpty() && arguments.front() == QLatin1String("ledger")) {
        QCoreApplication app(argc, argv);
        QTextStream out(stdout);
        QTextStream err(stderr);
        return runLedgerCommand(arguments.mid(1), out, err);
    }

    // The window takes Qt's own options (-style, -platform, -stylesheet,
    // -reverse, ...): the application removes them before ours are read.
    std::unique_ptr<QApplication> gui;
    if (wantsWindow(arguments)) {
        gui = std::make_unique<QApplication>(argc, argv);
        arguments = QCoreApplication::arguments().mid(1);
    }
    QString error;
    const auto commandLine = parseCommandLine(arguments, error);
    if (!commandLine) {
        std::cerr << "quorvane: " << error.toStdString() << std::endl;
        return 2;
    }
    if (commandLine->help) {
        std::cout << usageText().toStdString();
        return 0;
    }
    if (commandLine->version) {
        std::cout << "Quorvane " QUORVANE_VERSION << std::endl;
        return 0;
    }
    if (!gui)
        return runHeadless(argc, argv, *commandLine);
    return runWindowed(*gui, *commandLine);
}
