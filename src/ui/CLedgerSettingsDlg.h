#pragma once

#include "ui/ModalDialog.h"

class QCheckBox;
class QLineEdit;

// "Ledger": whether the window keeps a ledger, where (a file, or
// postgresql://USER@HOST[:PORT]/DB; empty: the default file) and how many
// days personal data are kept. Taken at the next start.
class CLedgerSettingsDlg : public ModalDialog
{
    Q_OBJECT

public:
    struct Values
    {
        bool enabled = true;
        QString target;
        int keepDays = 30;
    };

    explicit CLedgerSettingsDlg(const Values& current, QWidget* parent = nullptr);

    const Values& values() const { return m_values; }

protected:
    bool validateAndStore() override;

private:
    QCheckBox* m_enabled;
    QLineEdit* m_target;
    QLineEdit* m_keepDays;
    Values m_values;
};
