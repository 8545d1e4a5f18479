#pragma once

#include "core/Operator.h"
#include "ui/ModalDialog.h"

class IPv4AddressEdit;
class QLineEdit;
class SortedComboBox;

// "Add a range of object": addresses that differ in their last byte only,
// a port range, the group and the kind of object to create.
class CAddRangeDlg : public ModalDialog
{
    Q_OBJECT

public:
    explicit CAddRangeDlg(const RangeDialogRequest& request, QWidget* parent = nullptr);

    // The range taken by the last accepted OK: always a valid one.
    const RangeDialogAnswer& answer() const { return m_answer; }

protected:
    bool validateAndStore() override;

private:
    IPv4AddressEdit* m_from;
    IPv4AddressEdit* m_to;
    QLineEdit* m_portFrom;
    QLineEdit* m_portTo;
    SortedComboBox* m_group;
    SortedComboBox* m_type;
    QLineEdit* m_rcon;
    RangeDialogAnswer m_answer;
};
