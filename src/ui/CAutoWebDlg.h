#pragma once

#include "core/Operator.h"
#include "ui/ModalDialog.h"

class QCheckBox;
class QLineEdit;

// "AutoWeb Config": the AutoWeb module's switch and FTP settings. The
// update interval is shown but not editable.
class CAutoWebDlg : public ModalDialog
{
    Q_OBJECT

public:
    explicit CAutoWebDlg(const AutoWebValues& current, QWidget* parent = nullptr);

    // The settings taken by the last accepted OK.
    const AutoWebValues& values() const { return m_values; }

    static constexpr std::int32_t kMinimumInterval = 10;
    static constexpr std::int32_t kMaximumInterval = 99999999;

protected:
    bool validateAndStore() override;

private:
    QCheckBox* m_enabled;
    QLineEdit* m_server;
    QLineEdit* m_login;
    QLineEdit* m_password;
    QLineEdit* m_remoteFile;
    QLineEdit* m_interval;
    AutoWebValues m_values;
};
