#pragma once

#include "core/Operator.h"
#include "ui/ModalDialog.h"

class QLineEdit;
class SortedComboBox;

// "Add Zone": a name and a level from "1" to "5".
class CAddZoneDlg : public ModalDialog
{
    Q_OBJECT

public:
    explicit CAddZoneDlg(const AddZoneRequest& request, QWidget* parent = nullptr);

    // The values taken by the last accepted OK.
    const AddZoneAnswer& answer() const { return m_answer; }

protected:
    bool validateAndStore() override;

private:
    QLineEdit* m_name;
    SortedComboBox* m_level;
    AddZoneAnswer m_answer;
};

// The level list shared by the zone and group dialogs: "1" to "5", with the
// entry at presetIndex selected (nothing when it is outside 0..4).
SortedComboBox* makeLevelList(QWidget* parent, int presetIndex);
