#include "ui/WidgetOperator.h"

#include "core/TextCodec.h"
#include "ui/CAboutDlg.h"
#include "ui/CAddGroupDlg.h"
#include "ui/CAddRangeDlg.h"
#include "ui/CAddZoneDlg.h"
#include "ui/CAdminBotDlg.h"
#include "ui/CAutoWebDlg.h"
#include "ui/CObjectDlg.h"
#include "ui/CPromptDlg.h"

#include <QMessageBox>

void WidgetOperator::showMessage(const std::string& text)
{
    QMessageBox::warning(m_parent, dialogtext::kTitle, decodeText(text));
}

bool WidgetOperator::askYesNo(const std::string& text)
{
    return QMessageBox::question(m_parent, dialogtext::kTitle, decodeText(text),
                                 QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> WidgetOperator::promptLine(const std::string& prompt,
                                                      const std::string& initialValue)
{
    CPromptDlg dialog(prompt, initialValue, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.value();
}

std::optional<AddZoneAnswer> WidgetOperator::askAddZone(const AddZoneRequest& request)
{
    CAddZoneDlg dialog(request, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.answer();
}

std::optional<AddGroupAnswer> WidgetOperator::askAddGroup(const AddGroupRequest& request)
{
    CAddGroupDlg dialog(request, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.answer();
}

std::optional<ObjectDialogValues> WidgetOperator::askObject(const ObjectDialogRequest& request)
{
    CObjectDlg dialog(request, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.values();
}

std::optional<RangeDialogAnswer> WidgetOperator::askRange(const RangeDialogRequest& request)
{
    CAddRangeDlg dialog(request, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.answer();
}

std::optional<AutoWebValues> WidgetOperator::askAutoWeb(const AutoWebValues& current)
{
    CAutoWebDlg dialog(current, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.values();
}

std::optional<bool> WidgetOperator::askAdminBot(bool enabled)
{
    CAdminBotDlg dialog(enabled, m_parent);
    if (dialog.exec() != QDialog::Accepted)
        return std::nullopt;
    return dialog.isModuleEnabled();
}

void WidgetOperator::showAbout()
{
    CAboutDlg dialog(m_parent);
    dialog.exec();
}
