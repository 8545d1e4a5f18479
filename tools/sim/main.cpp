// quorvane-sim: a park of simulated Half-Life game servers and HLTV proxies
// on 127.0.0.1, for the integration tests, the demo and the benchmarks.

#include "Park.h"
#include "ParkPlan.h"
#include "SignalWatch.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char* argv[])
{
    SignalWatch::dieWithParent();
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-sim"));

    QString error;
    QString help;
    const std::optional<ParkPlan> plan = planFromCommandLine(QCoreApplication::arguments(), &error, &help);
    if (!plan) {
        if (!help.isEmpty()) {
            std::fputs(help.toLocal8Bit().constData(), stdout);
            return 0;
        }
        std::fprintf(stderr, "quorvane-sim: %s\n", error.toLocal8Bit().constData());
        return 2;
    }

    SignalWatch signalWatch;
    QObject::connect(&signalWatch, &SignalWatch::stopRequested, &app, &QCoreApplication::quit);

    Park park(*plan);
    bool planError = false;
    if (!park.start(&error, &planError)) {
        std::fprintf(stderr, "quorvane-sim: %s\n", error.toLocal8Bit().constData());
        return planError ? 2 : 1;
    }
    // Whoever started the park reads these lines to learn the ports; "ready"
    // says that the listing is complete.
    const QByteArray listing = park.listing() + "ready\n";
    std::fwrite(listing.constData(), 1, static_cast<size_t>(listing.size()), stdout);
    std::fflush(stdout);

    // The totals go to standard error on exit, and so far on SIGUSR1 (each
    // report is the three lines, counted from the start).
    const auto reportTraffic = [&park] {
        const QByteArray report = park.trafficReport();
        std::fwrite(report.constData(), 1, static_cast<size_t>(report.size()), stderr);
        std::fflush(stderr);
    };
    if (plan->countQueries)
        QObject::connect(&signalWatch, &SignalWatch::reportRequested, &app, reportTraffic);
    const int code = QCoreApplication::exec();
    if (plan->countQueries)
        reportTraffic();
    return code;
}
