#pragma once

#include "ui/ModalDialog.h"

class QCheckBox;

// "Adminbot module": the AdminBot module's switch, with what it unlocks.
class CAdminBotDlg : public ModalDialog
{
    Q_OBJECT

public:
    explicit CAdminBotDlg(bool enabled, QWidget* parent = nullptr);

    bool isModuleEnabled() const;

private:
    QCheckBox* m_enabled;
};
