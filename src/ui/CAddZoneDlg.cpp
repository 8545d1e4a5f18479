#include "ui/CAddZoneDlg.h"

#include "core/TextCodec.h"
#include "ui/SortedComboBox.h"

#include <QLineEdit>

SortedComboBox* makeLevelList(QWidget* parent, int presetIndex)
{
    auto* levels = new SortedComboBox(parent);
    levels->setObjectName(QStringLiteral("levelList"));
    for (int level = 1; level <= 5; ++level)
        levels->addSorted(QString::number(level));
    levels->setCurrentIndex(presetIndex >= 0 && presetIndex < levels->count() ? presetIndex : -1);
    return levels;
}

CAddZoneDlg::CAddZoneDlg(const AddZoneRequest& request, QWidget* parent)
    : ModalDialog(QStringLiteral("Add Zone"), parent)
{
    setDialogSize(186, 63);
    addStatic(QStringLiteral("Name"), 7, 7, 100, 11);
    m_name = addEdit(QStringLiteral("nameEdit"), 7, 21, 108, 12);
    addStatic(QStringLiteral("Level"), 127, 7, 44, 10);
    m_level = makeLevelList(this, request.presetLevelIndex);
    place(m_level, 127, 21, 45, 46);
    addOkButton(74, 42, 50, 14);
    addCancelButton(129, 42, 50, 14);
    m_name->setFocus();
}

bool CAddZoneDlg::validateAndStore()
{
    m_answer.name = encodeTyped(m_name->text());
    m_answer.levelIndex = m_level->currentIndex();
    return true;
}
