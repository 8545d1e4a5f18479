#include "ui/CAdminBotDlg.h"

#include <QCheckBox>
#include <QLabel>

CAdminBotDlg::CAdminBotDlg(bool enabled, QWidget* parent)
    : ModalDialog(QStringLiteral("Adminbot module"), parent)
{
    setDialogSize(199, 151);
    QLabel* text = addStatic(
        QStringLiteral(
            "The adminbot-amx module need the HL servers to be controled by AdminBot-amx pluggin.\n\n"
            "If enabled, this will unlock the Auto-Record options and make HTML informations provided "
            "by the AutoWeb module more accurate."),
        7, 7, 185, 52);
    text->setObjectName(QStringLiteral("adminBotText"));
    text->setWordWrap(true);
    place(text, 7, 7, 185, 52);
    m_enabled = new QCheckBox(QStringLiteral("Enable Adminbot module"), this);
    m_enabled->setObjectName(QStringLiteral("enableCheck"));
    m_enabled->setChecked(enabled);
    place(m_enabled, 13, 75, 147, 10);
    addOkButton(83, 130, 50, 14);
    addCancelButton(142, 130, 50, 14);
    m_enabled->setFocus();
}

bool CAdminBotDlg::isModuleEnabled() const
{
    return m_enabled->isChecked();
}
