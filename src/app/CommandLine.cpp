#include "app/CommandLine.h"

#include "core/CommandArguments.h"

#include <QFile>
#include <QProcess>
#include <algorithm>

namespace {

// The first line of a file, without its line end: a password kept out of
// the process list.
bool readFirstLine(const QString& path, std::string& line, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read %1: %2").arg(path, file.errorString());
        return false;
    }
    QByteArray first = file.readLine(4096);
    while (first.endsWith('\n') || first.endsWith('\r'))
        first.chop(1);
    line = first.toStdString();
    return true;
}

} // namespace

std::optional<CommandLine> parseCommandLine(const QStringList& arguments, QString& error)
{
    CommandLine line;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString& argument = arguments[i];
        const auto value = [&]() -> std::optional<QString> {
            if (i + 1 >= arguments.size()) {
                error = QStringLiteral("%1 needs a value").arg(argument);
                return std::nullopt;
            }
            return arguments[++i];
        };
        if (argument == QLatin1String("--help") || argument == QLatin1String("-h")) {
            line.help = true;
        } else if (argument == QLatin1String("--demo")) {
            line.demo = true;
        } else if (argument == QLatin1String("--version")) {
            line.version = true;
        } else if (argument == QLatin1String("--render")) {
            const auto layout = value();
            const auto picture = layout ? value() : std::nullopt;
            if (!picture)
                return std::nullopt;
            line.layoutPath = *layout;
            line.renderPath = *picture;
            line.once = true;
        } else if (argument == QLatin1String("--screenshot")) {
            const auto picture = value();
            if (!picture)
                return std::nullopt;
            line.screenshotPath = *picture;
        } else if (argument == QLatin1String("--screenshot-delay")) {
            const auto seconds = value();
            bool ok = false;
            line.screenshotDelaySeconds = seconds ? seconds->toInt(&ok) : 0;
            if (!ok || line.screenshotDelaySeconds < 0 || line.screenshotDelaySeconds > 3600) {
                error = QStringLiteral("--screenshot-delay expects a number of seconds (0 to 3600)");
                return std::nullopt;
            }
        } else if (argument == QLatin1String("--headless")) {
            line.headless = true;
        } else if (argument == QLatin1String("--json")) {
            line.json = true;
        } else if (argument == QLatin1String("--once")) {
            line.once = true;
        } else if (argument == QLatin1String("--log-listen") || argument == QLatin1String("--metrics")) {
            const auto text = value();
            if (!text)
                return std::nullopt;
            const bool log = argument == QLatin1String("--log-listen");
            std::string& address = log ? line.logListenAddress : line.metricsAddress;
            int& port = log ? line.logListenPort : line.metricsPort;
            if (!splitAddress(*text, address, port)) {
                address = "127.0.0.1";
                bool ok = false;
                port = text->toInt(&ok);
                if (!ok || port < 1 || port > 65535) {
                    error =
                        QStringLiteral("%1 expects ADDRESS:PORT or PORT, not \"%2\"").arg(argument, *text);
                    return std::nullopt;
                }
            }
        } else if (argument == QLatin1String("--ledger")) {
            const auto text = value();
            if (!text)
                return std::nullopt;
            line.ledger = *text;
        } else if (argument == QLatin1String("--no-ledger")) {
            line.noLedger = true;
        } else if (argument == QLatin1String("--ledger-keep")) {
            const auto days = value();
            bool ok = false;
            line.ledgerKeepDays = days ? days->toInt(&ok) : 0;
            if (!ok || line.ledgerKeepDays < 1 || line.ledgerKeepDays > 3650) {
                error = QStringLiteral("--ledger-keep expects a number of days (1 to 3650)");
                return std::nullopt;
            }
        } else if (argument == QLatin1String("--demos")) {
            const auto text = value();
            if (!text)
                return std::nullopt;
            line.demosFolder = *text;
        } else if (argument == QLatin1String("--demos-keep")) {
            const auto days = value();
            bool ok = false;
            line.demosKeepDays = days ? days->toInt(&ok) : 0;
            if (!ok || line.demosKeepDays < 1 || line.demosKeepDays > 36500) {
                error = QStringLiteral("--demos-keep expects a number of days (1 to 36500)");
                return std::nullopt;
            }
        } else if (argument == QLatin1String("--demos-gzip")) {
            line.demosGzip = true;
        } else if (argument == QLatin1String("--demos-delete")) {
            line.demosDelete = true;
        } else if (argument == QLatin1String("--demos-publish")) {
            const auto text = value();
            if (!text)
                return std::nullopt;
            line.demosPublishFolder = *text;
        } else if (argument == QLatin1String("--demo-folder")) {
            const auto text = value();
            if (!text)
                return std::nullopt;
            const qsizetype equals = text->indexOf(QLatin1Char('='));
            CommandLine::DemoFolder folder;
            if (equals <= 0 || !splitAddress(text->left(equals), folder.address, folder.port)) {
                error = QStringLiteral("--demo-folder expects ADDRESS:PORT=ftp://HOST[:PORT]/PATH/");
                return std::nullopt;
            }
            folder.url = text->mid(equals + 1).toStdString();
            line.demoFolders.push_back(std::move(folder));
        } else if (argument == QLatin1String("--stream-logs")) {
            line.streamLogs = true;
        } else if (argument == QLatin1String("--on-change")) {
            const auto text = value();
            if (!text)
                return std::nullopt;
            if (QProcess::splitCommand(*text).isEmpty()) {
                error = QStringLiteral("--on-change needs a command");
                return std::nullopt;
            }
            line.onChangeCommand = *text;
        } else if (argument == QLatin1String("--server") || argument == QLatin1String("--proxy") ||
                   argument == QLatin1String("--hub")) {
            const auto text = value();
            if (!text)
                return std::nullopt;
            CommandLine::ObjectArgument object;
            object.kind = argument == QLatin1String("--server")  ? CommandLine::Kind::Server
                          : argument == QLatin1String("--proxy") ? CommandLine::Kind::Proxy
                                                                 : CommandLine::Kind::Hub;
            if (!splitAddress(*text, object.address, object.port)) {
                error = QStringLiteral("%1 expects ADDRESS:PORT, not \"%2\"").arg(argument, *text);
                return std::nullopt;
            }
            line.objects.push_back(object);
        } else if (argument == QLatin1String("--rcon") || argument == QLatin1String("--rcon-file")) {
            const auto text = value();
            if (!text)
                return std::nullopt;
            if (line.objects.empty()) {
                error = QStringLiteral("%1 must follow the --server, --proxy or --hub it belongs to")
                            .arg(argument);
                return std::nullopt;
            }
            std::string password = text->toStdString();
            if (argument == QLatin1String("--rcon-file") && !readFirstLine(*text, password, error))
                return std::nullopt;
            if (!isUsableRconPassword(password)) {
                error = QString::fromLatin1(kPasswordRefusedText.data(),
                                            static_cast<qsizetype>(kPasswordRefusedText.size()));
                return std::nullopt;
            }
            line.objects.back().rconPassword = password;
        } else if (argument == QLatin1String("--log-secret")) {
            const auto text = value();
            if (!text)
                return std::nullopt;
            if (line.objects.empty() || line.objects.back().kind != CommandLine::Kind::Server) {
                error = QStringLiteral("--log-secret must follow the --server it belongs to");
                return std::nullopt;
            }
            // What the log's "S<secret>L " form can carry: no spaces, no controls.
            const std::string secret = text->toStdString();
            if (secret.empty() || secret.size() > 64 || std::any_of(secret.begin(), secret.end(), [](char c) {
                    return static_cast<unsigned char>(c) <= ' ' || static_cast<unsigned char>(c) == 0x7F;
                })) {
                error = QStringLiteral("--log-secret expects 1 to 64 characters without spaces");
                return std::nullopt;
            }
            line.objects.back().logSecret = secret;
        } else if (argument.startsWith(QLatin1String("--"))) {
            error = QStringLiteral("unknown option %1").arg(argument);
            return std::nullopt;
        } else if (line.layoutPath.isEmpty()) {
            line.layoutPath = argument;
        } else {
            error = QStringLiteral("only one layout file can be given");
            return std::nullopt;
        }
    }
    // --log-listen and --metrics also serve the window (over its settings).
    if (!line.headless && line.renderPath.isEmpty() &&
        (line.json || line.once || !line.objects.empty() || line.streamLogs ||
         !line.onChangeCommand.isEmpty())) {
        error = QStringLiteral("--server, --proxy, --hub, --json, --once, --stream-logs and --on-change "
                               "need --headless");
        return std::nullopt;
    }
    if (line.streamLogs && line.logListenPort == 0) {
        error = QStringLiteral("--stream-logs needs --log-listen");
        return std::nullopt;
    }
    return line;
}

bool splitAddress(const QString& text, std::string& address, int& port)
{
    const qsizetype colon = text.lastIndexOf(QLatin1Char(':'));
    if (colon <= 0)
        return false;
    bool ok = false;
    const int number = text.mid(colon + 1).toInt(&ok);
    if (!ok || number < 1 || number > 65535)
        return false;
    address = text.left(colon).toStdString();
    port = number;
    return true;
}

bool wantsWindow(const QStringList& arguments)
{
    for (const char* option : {"--headless", "--render", "--help", "-h", "--version"}) {
        if (arguments.contains(QLatin1String(option)))
            return false;
    }
    return true;
}

QString usageText()
{
    return QStringLiteral(
        "Usage: quorvane [LAYOUT] [--log-listen [ADDRESS:]PORT] [--metrics [ADDRESS:]PORT]\n"
        "       quorvane --headless [LAYOUT] [--server|--proxy|--hub ADDRESS:PORT\n"
        "                [--rcon PASSWORD | --rcon-file FILE] [--log-secret SECRET]]...\n"
        "                [--json] [--once] [--log-listen [ADDRESS:]PORT [--stream-logs]]\n"
        "                [--metrics [ADDRESS:]PORT] [--on-change COMMAND]\n"
        "       quorvane ledger matches|players|commands|availability|bans|schedules [--since DATE]\n"
        "                [--until DATE] [--object ADDRESS:PORT] [--find TEXT] [--json] [--ledger L]\n"
        "       quorvane ledger forget STEAMID|IP [--ledger L]\n"
        "       quorvane --render LAYOUT OUT.png [--server|--proxy|--hub ADDRESS:PORT [--rcon PASSWORD]]...\n"
        "\n"
        "A console for a park of Half-Life game servers, HLTV proxies and GTV hub managers.\n"
        "\n"
        "  LAYOUT             a layout file to open\n"
        "                     (the window keeps its log port and metrics address in Modules >\n"
        "                     Live Feeds; --log-listen and --metrics override them for the session)\n"
        "  --headless         run without a window: poll, link, record, publish the AutoWeb page\n"
        "  --server A:P       watch a game server (also --proxy, --hub); --rcon sets its password\n"
        "                     (visible to other local users: prefer --rcon-file FILE, whose\n"
        "                     first line is the password)\n"
        "  --json             print one JSON object a line instead of text\n"
        "  --once             poll one full cycle, print every object, exit 1 if one is timed out\n"
        "  --log-listen A:P   receive the logs machines stream to this UDP address (PORT alone:\n"
        "                     127.0.0.1) and print chat, kills, joins, rounds and maps\n"
        "  --log-secret S     accept the server's log only with sv_logsecret S (after --server)\n"
        "  --stream-logs      ask each game server with rcon to stream its log to --log-listen\n"
        "                     (logaddress_add and log on)\n"
        "  --metrics A:P      serve /metrics for Prometheus on this TCP address (PORT alone:\n"
        "                     127.0.0.1)\n"
        "  --on-change CMD    run CMD (split at spaces, no shell) with the object's JSON on its\n"
        "                     standard input when a machine goes down or comes back\n"
        "  --render L OUT     poll one full cycle of layout L and write its canvas to OUT (PNG)\n"
        "  --demo             start a simulated park on 127.0.0.1 and show it (with --headless: print it)\n"
        "  --screenshot OUT   after one poll cycle, save the window as shown to OUT (PNG) and exit\n"
        "  --screenshot-delay S  wait S seconds instead of 8 before the screenshot\n"
        "  --ledger L         keep the ledger in file L, or in postgresql://USER@HOST[:PORT]/DB\n"
        "                     (password from PGPASSFILE or ~/.pgpass); default:\n"
        "                     ledger.sqlite in the user's data folder\n"
        "  --no-ledger        keep no ledger this session\n"
        "  --ledger-keep D    keep player sightings, commands and history D days (default 30)\n"
        "  --demos DIR        keep collected demos in DIR (default: demos in the user's data folder)\n"
        "  --demos-keep D     delete kept demos after D days (default 30)\n"
        "  --demos-gzip       keep demos gzip-compressed\n"
        "  --demos-delete     delete each demo from the proxy once it is downloaded and checked\n"
        "  --demos-publish F  upload each demo to folder F of the AutoWeb FTP server, listed on the page\n"
        "  --demo-folder A:P=URL  the proxy A:P writes its demos to URL (ftp:// or sftp://, login from\n"
        "                     ~/.netrc); kept in the ledger\n"
        "  --version          print the version\n"
        "  --help             print this text\n"
        "\n"
        "The window also takes Qt's own options, such as -style NAME, -stylesheet FILE,\n"
        "-platform NAME and -reverse.\n");
}
