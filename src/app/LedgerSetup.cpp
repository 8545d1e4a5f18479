#include "app/LedgerSetup.h"

#include "app/CommandLine.h"
#include "ledger/Ledger.h"
#include "ledger/LedgerTarget.h"
#include "ui/CLedgerSettingsDlg.h"

#include <QSettings>
#include <QSysInfo>

namespace
{
constexpr int kDefaultKeepDays = 30;
} // namespace

std::optional<LedgerTarget> chosenLedgerTarget(const CommandLine& commandLine, bool window, QString& error)
{
    error.clear();
    if (commandLine.noLedger)
        return std::nullopt;
    QString text = commandLine.ledger;
    if (text.isEmpty() && window)
    {
        const QSettings settings;
        if (!settings.value(QStringLiteral("Ledger/Enabled"), true).toBool())
            return std::nullopt;
        text = settings.value(QStringLiteral("Ledger/Target")).toString();
    }
    if (text.isEmpty())
        return LedgerTarget::defaultFile();
    return LedgerTarget::parse(text, error);
}

int chosenKeepDays(const CommandLine& commandLine, bool window)
{
    if (commandLine.ledgerKeepDays > 0)
        return commandLine.ledgerKeepDays;
    if (window)
    {
        const int days = QSettings().value(QStringLiteral("Ledger/KeepDays"), kDefaultKeepDays).toInt();
        if (days >= 1 && days <= 3650)
            return days;
    }
    return kDefaultKeepDays;
}

std::unique_ptr<Ledger> openRunLedger(const CommandLine& commandLine, bool window, const Clock& clock,
                                      QString& error)
{
    const auto target = chosenLedgerTarget(commandLine, window, error);
    if (!target)
        return nullptr;
    Ledger::Options options;
    options.settings.target = *target;
    // Several consoles and headless runs may share one PostgreSQL ledger.
    options.settings.instance =
        QSysInfo::machineHostName() + (window ? QStringLiteral("/window") : QStringLiteral("/headless"));
    options.settings.keepDays = chosenKeepDays(commandLine, window);
    return std::make_unique<Ledger>(options, clock);
}

void editLedgerSettings(QWidget* parent)
{
    QSettings settings;
    CLedgerSettingsDlg::Values current;
    current.enabled = settings.value(QStringLiteral("Ledger/Enabled"), true).toBool();
    current.target = settings.value(QStringLiteral("Ledger/Target")).toString();
    current.keepDays = settings.value(QStringLiteral("Ledger/KeepDays"), kDefaultKeepDays).toInt();
    CLedgerSettingsDlg dialog(current, parent);
    if (dialog.exec() != QDialog::Accepted)
        return;
    settings.setValue(QStringLiteral("Ledger/Enabled"), dialog.values().enabled);
    settings.setValue(QStringLiteral("Ledger/Target"), dialog.values().target);
    settings.setValue(QStringLiteral("Ledger/KeepDays"), dialog.values().keepDays);
}
