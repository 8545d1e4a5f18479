#pragma once

#include <QDialog>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

class QLabel;
class QLineEdit;
class QPushButton;

// Base of the program's modal dialogs. Controls are placed in dialog units
// of the dialog's font (a quarter of the average character width across, an
// eighth of the line height down), so every dialog keeps its proportions
// whatever font the desktop uses.
//
// OK runs validateAndStore(); the dialog closes only when it returns true.
// Messages shown while validating go through a replaceable handler, so a
// test can collect them instead of facing a message box.
class ModalDialog : public QDialog
{
    Q_OBJECT

public:
    using MessageHandler = std::function<void(const QString&)>;

    explicit ModalDialog(const QString& caption, QWidget* parent = nullptr);

    // Replaces the default (a warning box titled "Quorvane").
    void setMessageHandler(MessageHandler handler);

    void accept() override;

    int unitsToPixelsX(int units) const;
    int unitsToPixelsY(int units) const;

protected:
    // Reads the controls into the dialog's values; false keeps the dialog open.
    virtual bool validateAndStore() { return true; }

    void showMessage(const QString& text);

    // Client area of width by height dialog units.
    void setDialogSize(int width, int height);
    // Places a control at the dialog-unit rectangle x, y, width, height.
    // Drop-down lists keep their own height: the rectangle's height is the
    // height of the opened list.
    void place(QWidget* control, int x, int y, int width, int height) const;

    QLabel* addStatic(const QString& text, int x, int y, int width, int height);
    QLineEdit* addEdit(const QString& objectName, int x, int y, int width, int height);
    // An edit that takes digits only from the keyboard; see readUnsigned.
    QLineEdit* addDigitsEdit(const QString& objectName, int x, int y, int width, int height);
    QPushButton* addOkButton(int x, int y, int width, int height);
    QPushButton* addCancelButton(int x, int y, int width, int height);

    // Reads an unsigned 32-bit number from a digits edit. Pasted or preset
    // text may still hold other characters: then the operator is told, the
    // edit gets the focus and false is returned.
    bool readUnsigned(QLineEdit* edit, std::uint32_t& value);
    // Reads a password placed between the quotes of rcon datagrams and
    // commands: one that holds a '"', a line break or a NUL is refused (the
    // operator is told, the edit gets the focus) and false is returned.
    // original as for typedText.
    bool readPassword(QLineEdit* edit, const std::string& original, std::string& value);
    // Reads a signed number within minimum..maximum, with the same handling.
    bool readInteger(QLineEdit* edit, std::int32_t minimum, std::int32_t maximum, std::int32_t& value);

private:
    void refuse(QLineEdit* edit, const QString& message);

    MessageHandler m_messageHandler;
    int m_baseWidth = 0;
    int m_baseHeight = 0;
};

// The bytes to store for the text of an edit that was preset with original:
// the original bytes when the text is still what they decode to (so a name
// read from an old file keeps its encoding), otherwise the typed UTF-8.
std::string typedText(const QString& text, const std::string& original);

// The dialogs' own message texts.
namespace dialogtext {
inline const QString kTitle = QStringLiteral("Quorvane");
inline const QString kPositiveInteger = QStringLiteral("Please enter a positive integer.");
inline const QString kInteger = QStringLiteral("Please enter an integer.");
} // namespace dialogtext
