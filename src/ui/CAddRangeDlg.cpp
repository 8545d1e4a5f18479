#include "ui/CAddRangeDlg.h"

#include "core/TextCodec.h"
#include "layout/RangeValidation.h"
#include "ui/CObjectDlg.h"
#include "ui/IPv4AddressEdit.h"
#include "ui/SortedComboBox.h"

#include <QLineEdit>

CAddRangeDlg::CAddRangeDlg(const RangeDialogRequest& request, QWidget* parent)
    : ModalDialog(QStringLiteral("Add a range of object"), parent)
{
    setDialogSize(233, 154);

    addStatic(QStringLiteral("Address from"), 7, 7, 102, 8);
    m_from = new IPv4AddressEdit(this);
    m_from->setObjectName(QStringLiteral("addressFromEdit"));
    place(m_from, 7, 19, 102, 11);
    addStatic(QStringLiteral("Address to"), 124, 7, 102, 8);
    m_to = new IPv4AddressEdit(this);
    m_to->setObjectName(QStringLiteral("addressToEdit"));
    place(m_to, 124, 19, 102, 11);
    if (const auto preset = scanDottedAddress(request.presetAddress)) {
        m_from->setAddress(*preset);
        m_to->setAddress(*preset);
    }

    addStatic(QStringLiteral("Port from"), 7, 40, 48, 8);
    m_portFrom = addDigitsEdit(QStringLiteral("portFromEdit"), 7, 52, 49, 12);
    m_portFrom->setText(QString::number(request.firstPort));
    addStatic(QStringLiteral("Port to"), 124, 40, 48, 8);
    m_portTo = addDigitsEdit(QStringLiteral("portToEdit"), 124, 52, 49, 12);
    m_portTo->setText(QString::number(request.lastPort));

    addStatic(QStringLiteral("Group"), 7, 65, 110, 8);
    m_group = new SortedComboBox(this);
    m_group->setObjectName(QStringLiteral("groupList"));
    place(m_group, 7, 76, 105, 85);
    fillGroupList(m_group, request.groupLabels, request.preselectLabel);

    addStatic(QStringLiteral("Object Type"), 7, 97, 75, 11);
    m_type = new SortedComboBox(this);
    m_type->setObjectName(QStringLiteral("typeList"));
    place(m_type, 7, 111, 105, 63);
    // Shown sorted ("GTV", "HLTV", "Server"); each entry carries its kind.
    m_type->addSorted(QStringLiteral("Server"), RangeTypeServer);
    m_type->addSorted(QStringLiteral("HLTV"), RangeTypeHLTV);
    m_type->addSorted(QStringLiteral("GTV"), RangeTypeGTV);
    m_type->setCurrentIndex(m_type->findData(request.typeIndex));

    addStatic(QStringLiteral("rcon"), 124, 97, 74, 11);
    m_rcon = addEdit(QStringLiteral("rconEdit"), 124, 111, 81, 12);
    m_rcon->setEchoMode(QLineEdit::Password);

    addOkButton(117, 133, 50, 14);
    addCancelButton(176, 133, 50, 14);
    m_from->setFocus();
}

bool CAddRangeDlg::validateAndStore()
{
    RangeDialogAnswer out;
    if (!readUnsigned(m_portFrom, out.firstPort) || !readUnsigned(m_portTo, out.lastPort))
        return false;
    const auto first = m_from->address();
    const auto last = m_to->address();
    if (!first || !last) {
        showMessage(QStringLiteral("Please enter both addresses in full, as four numbers from 0 to 255."));
        (first ? m_to : m_from)->setFocus();
        return false;
    }
    // Both checks are reported, one after the other.
    const std::vector<std::string> problems = validateRange(*first, *last, out.firstPort, out.lastPort);
    for (const std::string& problem : problems)
        showMessage(decodeText(problem));
    if (!problems.empty())
        return false;
    if (m_group->currentIndex() < 0) {
        showMessage(QStringLiteral("Please choose the group the objects belong to."));
        m_group->setFocus();
        return false;
    }
    if (m_type->currentIndex() < 0) {
        showMessage(QStringLiteral("Please choose the type of the objects."));
        m_type->setFocus();
        return false;
    }
    const std::array<int, 4>& a = *first;
    out.prefix = std::to_string(a[0]) + "." + std::to_string(a[1]) + "." + std::to_string(a[2]) + ".";
    out.firstByte = a[3];
    out.lastByte = (*last)[3];
    out.groupIndex = m_group->currentData().toInt();
    out.typeIndex = m_type->currentData().toInt();
    if (!readPassword(m_rcon, std::string(), out.rconPassword))
        return false;
    m_answer = out;
    return true;
}
