#include "app/LedgerCommand.h"

#include "app/CommandLine.h"
#include "app/LedgerSetup.h"
#include "core/Clock.h"
#include "core/TerminalText.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerBrowse.h"
#include "ledger/LedgerDemoFiles.h"
#include "ledger/LedgerQuery.h"
#include "ledger/LedgerTarget.h"
#include "park/ScheduleRule.h"

#include <QFileInfo>
#include <QHostAddress>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{
QString Cell(const LedgerQuery::Table& table, int column, const QVariant& value)
{
    if (table.timeColumns.contains(table.columns[column]))
    {
        const qlonglong seconds = value.toLongLong();
        return seconds == 0 ? QString() : LedgerQuery::FormatTime(seconds);
    }
    return value.toString();
}

// A schedule's rule as the window's table words it: "every 30 min, warns 5
// min before"; kept as it is when it is not one.
void DescribeRules(LedgerQuery::Table& table)
{
    const qsizetype found = table.columns.indexOf(QStringLiteral("rule"));
    if (found < 0)
        return;
    const auto column = static_cast<std::size_t>(found);
    for (auto& row : table.rows)
    {
        if (const auto rule = decodeRule(row[column].toString().toStdString()))
            row[column] = QString::fromStdString(describeRule(*rule));
    }
}

// Texts from the wire reach a terminal: no control characters.
QString Printable(const QString& text)
{
    return escapeForTerminal(text);
}
const char* const kUsage =
    "usage: quorvane ledger matches|players|commands|availability|bans|schedules [--since DATE]\n"
    "       [--until DATE] [--object ADDRESS:PORT] [--find TEXT] [--json]\n"
    "       [--ledger FILE|postgresql://USER@HOST[:PORT]/DB]\n"
    "       quorvane ledger forget STEAMID|IP [--ledger ...]\n";

// quorvane ledger forget WHO: written by the ledger's own writer, here on
// this thread, before the program exits.
int runForget(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const auto usage = [&err](const QString& problem) {
        err << "quorvane: " << problem << "\n" << kUsage;
        return 2;
    };
    CommandLine commandLine;
    QString who;
    for (qsizetype i = 0; i < arguments.size(); ++i)
    {
        if (arguments[i] == QLatin1String("--ledger") && i + 1 < arguments.size())
            commandLine.ledger = arguments[++i];
        else if (who.isEmpty() && !arguments[i].startsWith(QLatin1String("--")))
            who = arguments[i];
        else
            return usage(QStringLiteral("unknown option %1").arg(Printable(arguments[i])));
    }
    if (!LedgerBrowse::IsPlayerKey(who))
        return usage(QStringLiteral("forget expects a SteamID (STEAM_0:1:1234) or an IP address"));
    // The ledger keeps addresses as Qt writes them.
    if (const QHostAddress address(who); !address.isNull())
        who = address.toString();
    QString error;
    const auto target = chosenLedgerTarget(commandLine, true, error);
    if (!target)
    {
        err << "quorvane: " << (error.isEmpty() ? QStringLiteral("the ledger is switched off") : error) << "\n";
        return 2;
    }
    if (target->kind == LedgerTarget::Kind::Sqlite && !QFileInfo::exists(target->path))
    {
        err << "quorvane: there is no ledger at " << target->path << "\n";
        return 1;
    }
    SystemClock clock;
    Ledger::Options options;
    options.settings.target = *target;
    // The writer prunes as it opens: by the days the window keeps.
    options.settings.keepDays = chosenKeepDays(commandLine, true);
    options.threaded = false;
    Ledger ledger(options, clock);
    QString trouble;
    QObject::connect(&ledger, &Ledger::message, [&trouble](const QString& text) { trouble = text; });
    ledger.forgetPlayer(who.toStdString());
    if (!ledger.pump() || ledger.queued() != 0)
    {
        err << "quorvane: " << (trouble.isEmpty() ? QStringLiteral("the ledger cannot be written") : trouble)
            << "\n";
        return 1;
    }
    out << "quorvane: " << who << " is forgotten in the ledger " << target->describe() << "\n";
    return 0;
}
} // namespace

int runLedgerCommand(const QStringList& arguments, QTextStream& out, QTextStream& err)
{
    const auto usage = [&err](const QString& problem) {
        err << "quorvane: " << problem << "\n" << kUsage;
        return 2;
    };
    if (arguments.isEmpty())
        return usage(QStringLiteral("ledger needs what to list"));
    if (arguments[0] == QLatin1String("forget"))
        return runForget(arguments.mid(1), out, err);
    const auto kind = LedgerQuery::KindNamed(arguments[0]);
    if (!kind)
        return usage(QStringLiteral("no such list: %1").arg(Printable(arguments[0])));
    LedgerQuery::Filter filter;
    CommandLine commandLine;
    bool json = false;
    for (qsizetype i = 1; i < arguments.size(); ++i)
    {
        const QString& option = arguments[i];
        if (option == QLatin1String("--json"))
        {
            json = true;
            continue;
        }
        if (i + 1 >= arguments.size())
            return usage(QStringLiteral("%1 needs a value").arg(Printable(option)));
        const QString value = arguments[++i];
        if (option == QLatin1String("--since") || option == QLatin1String("--until"))
        {
            const auto when = LedgerQuery::ParseTime(value);
            if (!when)
                return usage(QStringLiteral("%1 expects a date such as 2026-12-07 or 2026-12-07T21:30").arg(option));
            (option == QLatin1String("--since") ? filter.since : filter.until) = *when;
        }
        else if (option == QLatin1String("--object"))
        {
            std::string address;
            int port = 0;
            if (!splitAddress(value, address, port))
                return usage(QStringLiteral("--object expects ADDRESS:PORT"));
            filter.object = value;
        }
        else if (option == QLatin1String("--find"))
            filter.find = value;
        else if (option == QLatin1String("--ledger"))
            commandLine.ledger = value;
        else
            return usage(QStringLiteral("unknown option %1").arg(Printable(option)));
    }
    QString error;
    const auto target = chosenLedgerTarget(commandLine, true, error);
    if (!target)
    {
        err << "quorvane: " << (error.isEmpty() ? QStringLiteral("the ledger is switched off") : error) << "\n";
        return 2;
    }
    auto table = LedgerQuery::run(*target, *kind, filter, error);
    if (!table)
    {
        err << "quorvane: the ledger " << target->describe() << " cannot be read: " << error << "\n";
        return 1;
    }
    if (*kind == LedgerQuery::Kind::Schedules)
        DescribeRules(*table);
    // The demo files of the matches listed, in their rows.
    std::optional<LedgerDemoFiles::ByMatch> demoFiles;
    if (*kind == LedgerQuery::Kind::Matches && json)
    {
        demoFiles = LedgerDemoFiles::files(*target, filter.since, filter.until, error);
        if (!demoFiles)
        {
            err << "quorvane: the ledger " << target->describe() << " cannot be read: " << error << "\n";
            return 1;
        }
    }
    if (json)
    {
        for (const auto& row : table->rows)
        {
            QJsonObject object;
            if (demoFiles)
            {
                QJsonArray files;
                const auto found = demoFiles->find({row[2].toString(), row[0].toLongLong()});
                for (const LedgerDemoFiles::File& file : found == demoFiles->end() ? std::vector<LedgerDemoFiles::File>()
                                                                                   : found->second)
                    files.append(QJsonObject{{QStringLiteral("file"), file.fileName},
                                             {QStringLiteral("proxy"), file.proxy},
                                             {QStringLiteral("remote"), file.remoteName},
                                             {QStringLiteral("size"), static_cast<qint64>(file.size)},
                                             {QStringLiteral("sha256"), file.sha256},
                                             {QStringLiteral("state"), file.state},
                                             {QStringLiteral("url"), file.url}});
                object.insert(QStringLiteral("files"), files);
            }
            for (int c = 0; c < table->columns.size(); ++c)
            {
                const bool time = table->timeColumns.contains(table->columns[c]);
                object.insert(table->columns[c],
                              time || row[c].typeId() != QMetaType::LongLong ? QJsonValue(Cell(*table, c, row[c]))
                                                                              : QJsonValue(row[c].toLongLong()));
            }
            out << QJsonDocument(object).toJson(QJsonDocument::Compact) << "\n";
        }
        return 0;
    }
    out << table->columns.join(QLatin1Char('\t')) << "\n";
    for (const auto& row : table->rows)
    {
        QStringList cells;
        for (int c = 0; c < table->columns.size(); ++c)
            cells << Printable(Cell(*table, c, row[c]));
        out << cells.join(QLatin1Char('\t')) << "\n";
    }
    return 0;
}
