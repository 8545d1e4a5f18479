#pragma once

#include "ui/ModalDialog.h"

class QLineEdit;

// "Live Feeds": the UDP address machines stream their logs to and the TCP
// address /metrics is served on, each "ADDRESS:PORT", "PORT" (127.0.0.1)
// or empty for off.
class CFeedSettingsDlg : public ModalDialog
{
    Q_OBJECT

public:
    struct Values
    {
        QString logListen;
        QString metrics;
    };

    explicit CFeedSettingsDlg(const Values& current, QWidget* parent = nullptr);

    // The settings taken by the last accepted OK.
    const Values& values() const { return m_values; }

protected:
    bool validateAndStore() override;

private:
    QLineEdit* m_logListen;
    QLineEdit* m_metrics;
    Values m_values;
};
