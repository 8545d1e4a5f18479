#include "ui/PlainMessageBox.h"

#include "ui/ModalDialog.h"

namespace plainbox {

void prepare(QMessageBox& box, QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons)
{
    box.setIcon(icon);
    box.setWindowTitle(dialogtext::kTitle);
    box.setTextFormat(Qt::PlainText);
    box.setText(text);
    box.setStandardButtons(buttons);
}

void warn(QWidget* parent, const QString& text)
{
    QMessageBox box(parent);
    prepare(box, QMessageBox::Warning, text);
    box.exec();
}

QMessageBox::StandardButton ask(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons)
{
    QMessageBox box(parent);
    prepare(box, QMessageBox::Question, text, buttons);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace plainbox
