#include "ui/WidgetOperator.h"

#include "core/TextCodec.h"

#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QInputDialog>
#include <QLineEdit>
#include <QMessageBox>

namespace {

const QString kTitle = QStringLiteral("Quorvane");

QComboBox* levelChoice(QWidget* parent, int presetIndex)
{
    auto* levels = new QComboBox(parent);
    for (int level = 1; level <= 5; ++level)
        levels->addItem(QString::number(level));
    levels->setCurrentIndex(presetIndex >= 0 && presetIndex < 5 ? presetIndex : -1);
    return levels;
}

struct FormDialog
{
    explicit FormDialog(QWidget* parent, const QString& caption) : dialog(parent), form(&dialog)
    {
        dialog.setWindowTitle(caption);
    }
    bool run()
    {
        auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, &dialog);
        QObject::connect(buttons, &QDialogButtonBox::accepted, &dialog, &QDialog::accept);
        QObject::connect(buttons, &QDialogButtonBox::rejected, &dialog, &QDialog::reject);
        form.addRow(buttons);
        return dialog.exec() == QDialog::Accepted;
    }
    QDialog dialog;
    QFormLayout form;
};

} // namespace

void WidgetOperator::showMessage(const std::string& text)
{
    QMessageBox::warning(m_parent, kTitle, decodeText(text));
}

bool WidgetOperator::askYesNo(const std::string& text)
{
    return QMessageBox::question(m_parent, kTitle, decodeText(text), QMessageBox::Yes | QMessageBox::No) ==
           QMessageBox::Yes;
}

std::optional<std::string> WidgetOperator::promptLine(const std::string& prompt, const std::string& initialValue)
{
    bool ok = false;
    const QString text = QInputDialog::getText(m_parent, kTitle, decodeText(prompt), QLineEdit::Normal,
                                               decodeText(initialValue), &ok);
    if (!ok)
        return std::nullopt;
    return encodeTyped(text);
}

std::optional<AddZoneAnswer> WidgetOperator::askAddZone(const AddZoneRequest& request)
{
    FormDialog ui(m_parent, QStringLiteral("Add Zone"));
    auto* name = new QLineEdit(&ui.dialog);
    auto* level = levelChoice(&ui.dialog, request.presetLevelIndex);
    ui.form.addRow(QStringLiteral("Name"), name);
    ui.form.addRow(QStringLiteral("Level"), level);
    if (!ui.run())
        return std::nullopt;
    return AddZoneAnswer{encodeTyped(name->text()), level->currentIndex()};
}

std::optional<AddGroupAnswer> WidgetOperator::askAddGroup(const AddGroupRequest& request)
{
    FormDialog ui(m_parent, QStringLiteral("Add a Group"));
    auto* zone = new QComboBox(&ui.dialog);
    for (const std::string& zoneName : request.zoneNames)
        zone->addItem(decodeText(zoneName));
    auto* name = new QLineEdit(&ui.dialog);
    auto* level = levelChoice(&ui.dialog, -1);
    ui.form.addRow(QStringLiteral("Zone"), zone);
    ui.form.addRow(QStringLiteral("Name"), name);
    ui.form.addRow(QStringLiteral("Level"), level);
    if (!ui.run())
        return std::nullopt;
    return AddGroupAnswer{zone->currentIndex(), encodeTyped(name->text()), level->currentIndex()};
}
