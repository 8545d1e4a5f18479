#include "ui/CFeedSettingsDlg.h"

#include "feeds/FeedSettings.h"

#include <QLabel>
#include <QLineEdit>

CFeedSettingsDlg::CFeedSettingsDlg(const Values& current, QWidget* parent)
    : ModalDialog(QStringLiteral("Live Feeds"), parent), m_values(current)
{
    setDialogSize(220, 112);
    addStatic(QStringLiteral("Log port (UDP), where servers stream their logs:"), 7, 7, 206, 10);
    m_logListen = addEdit(QStringLiteral("logListenEdit"), 7, 19, 206, 13);
    m_logListen->setText(current.logListen);
    addStatic(QStringLiteral("Prometheus /metrics address (TCP):"), 7, 38, 206, 10);
    m_metrics = addEdit(QStringLiteral("metricsEdit"), 7, 50, 206, 13);
    m_metrics->setText(current.metrics);
    addStatic(QStringLiteral("ADDRESS:PORT, or PORT alone for 127.0.0.1; empty: off."), 7, 69, 206, 10);
    addOkButton(103, 91, 50, 14);
    addCancelButton(163, 91, 50, 14);
    m_logListen->setFocus();
}

bool CFeedSettingsDlg::validateAndStore()
{
    for (QLineEdit* edit : {m_logListen, m_metrics}) {
        if (!edit->text().trimmed().isEmpty() && !feedsettings::parseEndpoint(edit->text())) {
            showMessage(QStringLiteral("Type ADDRESS:PORT with an IP address, or a port alone, or leave the "
                                       "field empty to turn it off."));
            edit->setFocus();
            return false;
        }
    }
    m_values = {m_logListen->text().trimmed(), m_metrics->text().trimmed()};
    return true;
}
