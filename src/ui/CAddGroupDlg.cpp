#include "ui/CAddGroupDlg.h"

#include "core/TextCodec.h"
#include "ui/CAddZoneDlg.h"
#include "ui/SortedComboBox.h"

#include <QLineEdit>

CAddGroupDlg::CAddGroupDlg(const AddGroupRequest& request, QWidget* parent)
    : ModalDialog(QStringLiteral("Add a Group"), parent)
{
    setDialogSize(186, 95);
    addStatic(QStringLiteral("Zone"), 7, 7, 50, 10);
    m_zone = new SortedComboBox(this);
    m_zone->setObjectName(QStringLiteral("zoneList"));
    place(m_zone, 70, 7, 109, 89);
    // Every zone added is searched for at once, so the last search decides
    // (normally the last zone; a later-sorting zone whose name extends it
    // wins instead).
    for (std::size_t i = 0; i < request.zoneNames.size(); ++i) {
        const QString name = decodeText(request.zoneNames[i]);
        m_zone->addSorted(name, static_cast<int>(i));
        m_zone->selectByPrefix(name);
    }
    addStatic(QStringLiteral("Name"), 7, 25, 100, 11);
    m_name = addEdit(QStringLiteral("nameEdit"), 7, 39, 108, 12);
    addStatic(QStringLiteral("Level"), 127, 25, 44, 10);
    m_level = makeLevelList(this, -1);
    place(m_level, 127, 39, 45, 46);
    addOkButton(71, 74, 50, 14);
    addCancelButton(129, 74, 50, 14);
    m_name->setFocus();
}

bool CAddGroupDlg::validateAndStore()
{
    if (m_zone->currentIndex() < 0) {
        showMessage(QStringLiteral("Please choose the zone the group belongs to."));
        m_zone->setFocus();
        return false;
    }
    m_answer.zoneIndex = m_zone->currentData().toInt();
    m_answer.name = encodeTyped(m_name->text());
    m_answer.levelIndex = m_level->currentIndex();
    return true;
}
