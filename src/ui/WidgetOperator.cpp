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
#include "ui/PlainMessageBox.h"

#include <QMessageBox>

QString WidgetOperator::boxText(const Message& message)
{
    if (message.count <= 1)
        return message.text;
    return message.text + QStringLiteral("\n\n(repeated %1 times)").arg(message.count);
}

void WidgetOperator::showMessage(const std::string& text)
{
    Message message{decodeText(text), 1};
    if (m_showing) {
        // Shown from within the open box's event loop: counted or queued,
        // never a second box on top.
        if (message.text == m_shown.text) {
            ++m_shown.count;
            if (m_openBox)
                m_openBox->setText(boxText(m_shown));
            return;
        }
        for (Message& waiting : m_pending) {
            if (waiting.text == message.text) {
                ++waiting.count;
                return;
            }
        }
        if (m_pending.size() < kMaxPending)
            m_pending.push_back(std::move(message));
        else
            ++m_dropped;
        return;
    }
    m_showing = true;
    m_pending.push_back(std::move(message));
    while (!m_pending.empty() || m_dropped > 0) {
        if (m_pending.empty()) {
            m_pending.push_back({QStringLiteral("%1 more messages were not shown.").arg(m_dropped), 1});
            m_dropped = 0;
        }
        m_shown = std::move(m_pending.front());
        m_pending.pop_front();
        QMessageBox box(m_parent);
        plainbox::prepare(box, QMessageBox::Warning, boxText(m_shown));
        m_openBox = &box;
        box.exec();
        m_openBox = nullptr;
    }
    m_shown = {};
    m_showing = false;
}

bool WidgetOperator::askYesNo(const std::string& text)
{
    return plainbox::ask(m_parent, decodeText(text), QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
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
