#include "ui/CAutoWebDlg.h"

#include "core/TextCodec.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

CAutoWebDlg::CAutoWebDlg(const AutoWebValues& current, QWidget* parent)
    : ModalDialog(QStringLiteral("AutoWeb Config"), parent), m_values(current)
{
    setDialogSize(194, 199);
    m_enabled = new QCheckBox(QStringLiteral("Enable AutoWeb Module"), this);
    m_enabled->setObjectName(QStringLiteral("enableCheck"));
    m_enabled->setChecked(current.enabled);
    place(m_enabled, 7, 7, 164, 10);

    addStatic(QStringLiteral("FTP Server"), 7, 22, 162, 11);
    m_server = addEdit(QStringLiteral("ftpServerEdit"), 7, 33, 180, 13);
    m_server->setText(decodeText(current.ftpServer));
    addStatic(QStringLiteral("Login"), 7, 50, 166, 10);
    m_login = addEdit(QStringLiteral("loginEdit"), 7, 65, 180, 13);
    m_login->setText(decodeText(current.login));
    addStatic(QStringLiteral("Password"), 7, 82, 166, 10);
    m_password = addEdit(QStringLiteral("passwordEdit"), 7, 95, 180, 13);
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setText(decodeText(current.password));
    addStatic(QStringLiteral("Remote Filename"), 7, 111, 166, 10);
    m_remoteFile = addEdit(QStringLiteral("remoteFileEdit"), 7, 121, 180, 13);
    m_remoteFile->setText(decodeText(current.remoteFile));

    QLabel* intervalLabel = addStatic(QStringLiteral("Update interval in seconds"), 7, 137, 90, 10);
    intervalLabel->setObjectName(QStringLiteral("intervalLabel"));
    intervalLabel->setEnabled(false);
    m_interval = addDigitsEdit(QStringLiteral("intervalEdit"), 111, 135, 29, 13);
    m_interval->setText(QString::number(current.updateInterval));
    m_interval->setEnabled(false);

    // What became of the last upload, kept current while the box is open;
    // "Upload Now" publishes with the values as they stand in the box.
    m_lastUpload = addStatic(QString(), 7, 153, 126, 20);
    m_lastUpload->setObjectName(QStringLiteral("lastUploadLabel"));
    m_lastUpload->setWordWrap(true);
    m_uploadNow = new QPushButton(QStringLiteral("Upload Now"), this);
    m_uploadNow->setObjectName(QStringLiteral("uploadNowButton"));
    m_uploadNow->setAutoDefault(false);
    m_uploadNow->setEnabled(static_cast<bool>(current.uploadNow));
    place(m_uploadNow, 137, 153, 50, 14);
    connect(m_uploadNow, &QPushButton::clicked, this, &CAutoWebDlg::uploadNow);
    auto* poll = new QTimer(this);
    connect(poll, &QTimer::timeout, this, &CAutoWebDlg::showLastUpload);
    poll->start(500);
    showLastUpload();

    addOkButton(77, 178, 50, 14);
    addCancelButton(137, 178, 50, 14);
    m_enabled->setFocus();
}

void CAutoWebDlg::showLastUpload()
{
    if (!m_values.lastUpload)
        return;
    const std::string text = m_values.lastUpload();
    if (text == m_shownUpload)
        return;
    m_shownUpload = text;
    m_lastUpload->setText(decodeText(text));
}

void CAutoWebDlg::uploadNow()
{
    if (!m_values.uploadNow)
        return;
    m_values.uploadNow(typedValues());
    m_lastUpload->setText(QStringLiteral("Uploading..."));
}

AutoWebValues CAutoWebDlg::typedValues() const
{
    AutoWebValues out = m_values;
    out.enabled = m_enabled->isChecked();
    out.ftpServer = typedText(m_server->text(), m_values.ftpServer);
    out.login = typedText(m_login->text(), m_values.login);
    out.password = typedText(m_password->text(), m_values.password);
    out.remoteFile = typedText(m_remoteFile->text(), m_values.remoteFile);
    return out;
}

bool CAutoWebDlg::validateAndStore()
{
    AutoWebValues out = m_values;
    // The operator cannot change a disabled field: its value, even one out
    // of the field's range read from a layout, is kept as it was.
    if (m_interval->isEnabled() &&
        !readInteger(m_interval, kMinimumInterval, kMaximumInterval, out.updateInterval))
        return false;
    const AutoWebValues typed = typedValues();
    out.enabled = typed.enabled;
    out.ftpServer = typed.ftpServer;
    out.login = typed.login;
    out.password = typed.password;
    out.remoteFile = typed.remoteFile;
    m_values = out;
    return true;
}
