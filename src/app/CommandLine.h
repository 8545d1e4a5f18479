#pragma once

#include <QStringList>
#include <optional>
#include <string>
#include <vector>

// What the program was asked to do on its command line.
struct CommandLine
{
    enum class Kind
    {
        Server,
        Proxy,
        Hub,
    };
    struct ObjectArgument
    {
        Kind kind = Kind::Server;
        std::string address;
        int port = 0;
        std::string rconPassword;
        // --log-secret: the sv_logsecret its log datagrams must carry.
        std::string logSecret;
    };

    bool headless = false;
    bool json = false;
    bool once = false;
    bool help = false;
    bool demo = false; // a simulated park and a layout of it
    bool version = false;
    // --render LAYOUT OUT.png: one poll cycle, then the canvas to a picture.
    QString renderPath;
    // --screenshot OUT.png: the window as shown, after one poll cycle, then exit.
    QString screenshotPath;
    // --screenshot-delay SECONDS: how long the window runs before it is saved.
    int screenshotDelaySeconds = 8;
    // --log-listen ADDR:PORT: the UDP port machines stream their logs to.
    std::string logListenAddress;
    int logListenPort = 0;
    // --stream-logs: ask every game server with rcon to stream its log here.
    bool streamLogs = false;
    // --metrics ADDR:PORT (or PORT, on 127.0.0.1): the Prometheus endpoint.
    std::string metricsAddress;
    int metricsPort = 0;
    // --on-change CMD: run for each object that goes down or comes back.
    QString onChangeCommand;
    std::vector<ObjectArgument> objects;
    QString layoutPath;
    // --ledger FILE|postgresql://USER@HOST[:PORT]/DB, --no-ledger, --ledger-keep DAYS.
    QString ledger;
    bool noLedger = false;
    int ledgerKeepDays = 0; // 0: the setting, else 30
};

// Parses the arguments after the program name. On a mistake returns nullopt
// and sets error to a one-line explanation.
std::optional<CommandLine> parseCommandLine(const QStringList& arguments, QString& error);

// True unless the arguments ask for a run without a window (--headless,
// --render) or for text only (--help, --version).
bool wantsWindow(const QStringList& arguments);

// The text --help prints.
QString usageText();

// "host:port" split at its last colon; false when the port is not a number
// in 1..65535.
bool splitAddress(const QString& text, std::string& address, int& port);
