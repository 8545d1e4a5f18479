#pragma once

#include "core/Operator.h"
#include "ui/ModalDialog.h"

#include <string>

class QCheckBox;
class QLabel;
class QLineEdit;
class QPushButton;

// "AutoWeb Config": the AutoWeb module's switch and FTP settings. The
// update interval is shown but not editable; the last upload's time and
// result are shown, and "Upload Now" publishes at once.
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
    // The settings as they stand in the box.
    AutoWebValues typedValues() const;
    void showLastUpload();
    void uploadNow();

    QCheckBox* m_enabled;
    QLabel* m_lastUpload;
    QPushButton* m_uploadNow;
    std::string m_shownUpload;
    QLineEdit* m_server;
    QLineEdit* m_login;
    QLineEdit* m_password;
    QLineEdit* m_remoteFile;
    QLineEdit* m_interval;
    AutoWebValues m_values;
};
