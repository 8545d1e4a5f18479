#pragma once

#include <QMessageBox>
#include <QString>

// Message boxes whose text is never read as markup. QMessageBox guesses
// rich text from the first tag it sees, so a player named
// "<img src=/dev/zero>" would have Qt load that "image"; every box of the
// program is made here instead, with plain text.
namespace plainbox {

// A box ready to exec(): icon, the program's title, text and buttons.
void prepare(QMessageBox& box, QMessageBox::Icon icon, const QString& text,
             QMessageBox::StandardButtons buttons = QMessageBox::Ok);

// Shows a warning with an OK button and waits for it.
void warn(QWidget* parent, const QString& text);

// A question; the button the operator pressed.
QMessageBox::StandardButton ask(QWidget* parent, const QString& text, QMessageBox::StandardButtons buttons);

} // namespace plainbox
