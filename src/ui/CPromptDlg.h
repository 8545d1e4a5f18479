#pragma once

#include "ui/ModalDialog.h"

#include <string>

class QLabel;
class QLineEdit;

// The one-line prompt, captioned "Quorvane".
class CPromptDlg : public ModalDialog
{
    Q_OBJECT

public:
    CPromptDlg(const std::string& prompt, const std::string& initialValue, QWidget* parent = nullptr);

    // The text in the edit, as bytes to store: the preset bytes when the
    // operator left them as they were, otherwise UTF-8.
    std::string value() const;

private:
    QLabel* m_prompt;
    QLineEdit* m_value;
    std::string m_initialValue;
};
