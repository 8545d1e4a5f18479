#include "ui/CPromptDlg.h"

#include "core/TextCodec.h"

#include <QLabel>
#include <QLineEdit>

CPromptDlg::CPromptDlg(const std::string& prompt, const std::string& initialValue, QWidget* parent)
    : ModalDialog(dialogtext::kTitle, parent), m_initialValue(initialValue)
{
    setDialogSize(186, 66);
    m_prompt = addStatic(decodeText(prompt), 7, 7, 172, 13);
    m_prompt->setObjectName(QStringLiteral("promptLabel"));
    m_value = addEdit(QStringLiteral("valueEdit"), 7, 24, 172, 12);
    m_value->setText(decodeText(initialValue));
    m_value->selectAll();
    addOkButton(73, 45, 50, 14);
    addCancelButton(129, 45, 50, 14);
    m_value->setFocus();
}

std::string CPromptDlg::value() const
{
    return typedText(m_value->text(), m_initialValue);
}
