#pragma once

#include "core/Operator.h"
#include "ui/ModalDialog.h"

class QLineEdit;
class SortedComboBox;

// "Add a Group": the zone it goes into, a name and a level.
class CAddGroupDlg : public ModalDialog
{
    Q_OBJECT

public:
    explicit CAddGroupDlg(const AddGroupRequest& request, QWidget* parent = nullptr);

    // The values taken by the last accepted OK; zoneIndex indexes the
    // request's zoneNames.
    const AddGroupAnswer& answer() const { return m_answer; }

protected:
    bool validateAndStore() override;

private:
    SortedComboBox* m_zone;
    QLineEdit* m_name;
    SortedComboBox* m_level;
    AddGroupAnswer m_answer;
};
