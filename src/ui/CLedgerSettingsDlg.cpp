#include "ui/CLedgerSettingsDlg.h"

#include "ledger/LedgerTarget.h"

#include <QCheckBox>
#include <QLineEdit>

CLedgerSettingsDlg::CLedgerSettingsDlg(const Values& current, QWidget* parent)
    : ModalDialog(QStringLiteral("Ledger"), parent), m_values(current)
{
    setDialogSize(240, 126);
    m_enabled = new QCheckBox(QStringLiteral("Keep a ledger of commands, matches, players and availability"), this);
    m_enabled->setObjectName(QStringLiteral("ledgerEnabledCheck"));
    m_enabled->setChecked(current.enabled);
    place(m_enabled, 7, 7, 226, 10);
    addStatic(QStringLiteral("File, or postgresql://USER@HOST[:PORT]/DB (empty: the default file):"), 7, 22, 226, 10);
    m_target = addEdit(QStringLiteral("ledgerTargetEdit"), 7, 34, 226, 13);
    m_target->setText(current.target);
    addStatic(QStringLiteral("Days player sightings and commands are kept:"), 7, 54, 170, 10);
    m_keepDays = addDigitsEdit(QStringLiteral("ledgerKeepDaysEdit"), 183, 52, 50, 13);
    m_keepDays->setText(QString::number(current.keepDays));
    addStatic(QStringLiteral("The password of a PostgreSQL ledger goes into ~/.pgpass. Taken at the next start."), 7,
              74, 226, 20);
    addOkButton(123, 105, 50, 14);
    addCancelButton(183, 105, 50, 14);
}

bool CLedgerSettingsDlg::validateAndStore()
{
    const QString target = m_target->text().trimmed();
    QString error;
    if (!target.isEmpty() && !LedgerTarget::parse(target, error))
    {
        showMessage(error + QLatin1Char('.'));
        m_target->setFocus();
        return false;
    }
    std::int32_t days = 0;
    if (!readInteger(m_keepDays, 1, 3650, days))
        return false;
    m_values = {m_enabled->isChecked(), target, days};
    return true;
}
