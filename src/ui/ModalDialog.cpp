#include "ui/ModalDialog.h"

#include "core/CommandArguments.h"
#include "core/TextCodec.h"
#include "ui/PlainMessageBox.h"

#include <QComboBox>
#include <QFontMetrics>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>

#include <algorithm>
#include <limits>

namespace {

// units * base / divisor in whole numbers, rounded to the nearest.
int scale(int units, int base, int divisor)
{
    const long long product = static_cast<long long>(units) * base;
    return static_cast<int>((product + (product >= 0 ? divisor / 2 : -divisor / 2)) / divisor);
}

const QRegularExpression& digitsOnly()
{
    static const QRegularExpression pattern(QStringLiteral("[0-9]*"));
    return pattern;
}

} // namespace

std::string typedText(const QString& text, const std::string& original)
{
    return text == decodeText(original) ? original : encodeTyped(text);
}

ModalDialog::ModalDialog(const QString& caption, QWidget* parent) : QDialog(parent)
{
    setWindowTitle(caption);
    setModal(true);
    const QFontMetrics metrics(font());
    const QString alphabet = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_baseWidth = std::max(1, (metrics.horizontalAdvance(alphabet) / 26 + 1) / 2);
    m_baseHeight = std::max(1, metrics.height());
    m_messageHandler = [this](const QString& text) { plainbox::warn(this, text); };
}

void ModalDialog::setMessageHandler(MessageHandler handler)
{
    m_messageHandler = std::move(handler);
}

void ModalDialog::accept()
{
    if (validateAndStore())
        QDialog::accept();
}

int ModalDialog::unitsToPixelsX(int units) const
{
    return scale(units, m_baseWidth, 4);
}

int ModalDialog::unitsToPixelsY(int units) const
{
    return scale(units, m_baseHeight, 8);
}

void ModalDialog::showMessage(const QString& text)
{
    if (m_messageHandler)
        m_messageHandler(text);
}

bool ModalDialog::readPassword(QLineEdit* edit, const std::string& original, std::string& value)
{
    std::string text = typedText(edit->text(), original);
    if (!isUsableRconPassword(text)) {
        refuse(edit, QString::fromLatin1(kPasswordRefusedText.data(), static_cast<qsizetype>(kPasswordRefusedText.size())));
        return false;
    }
    value = std::move(text);
    return true;
}

void ModalDialog::setDialogSize(int width, int height)
{
    setFixedSize(unitsToPixelsX(width), unitsToPixelsY(height));
}

void ModalDialog::place(QWidget* control, int x, int y, int width, int height) const
{
    int pixelHeight = unitsToPixelsY(height);
    if (qobject_cast<QComboBox*>(control))
        pixelHeight = control->sizeHint().height();
    else if (!qobject_cast<QLabel*>(control))
        pixelHeight = std::max(pixelHeight, control->minimumSizeHint().height());
    control->setGeometry(unitsToPixelsX(x), unitsToPixelsY(y), unitsToPixelsX(width), pixelHeight);
}

QLabel* ModalDialog::addStatic(const QString& text, int x, int y, int width, int height)
{
    auto* label = new QLabel(text, this);
    label->setTextFormat(Qt::PlainText);
    label->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    place(label, x, y, width, height);
    // Wider fonts than the one the rectangles were drawn for must not cut
    // a label short.
    if (label->sizeHint().width() > label->width())
        label->resize(label->sizeHint().width(), label->height());
    return label;
}

QLineEdit* ModalDialog::addEdit(const QString& objectName, int x, int y, int width, int height)
{
    auto* edit = new QLineEdit(this);
    edit->setObjectName(objectName);
    place(edit, x, y, width, height);
    return edit;
}

QLineEdit* ModalDialog::addDigitsEdit(const QString& objectName, int x, int y, int width, int height)
{
    QLineEdit* edit = addEdit(objectName, x, y, width, height);
    edit->setValidator(new QRegularExpressionValidator(digitsOnly(), edit));
    return edit;
}

QPushButton* ModalDialog::addOkButton(int x, int y, int width, int height)
{
    auto* button = new QPushButton(QStringLiteral("OK"), this);
    button->setObjectName(QStringLiteral("okButton"));
    button->setDefault(true);
    place(button, x, y, width, height);
    connect(button, &QPushButton::clicked, this, &ModalDialog::accept);
    return button;
}

QPushButton* ModalDialog::addCancelButton(int x, int y, int width, int height)
{
    auto* button = new QPushButton(QStringLiteral("Cancel"), this);
    button->setObjectName(QStringLiteral("cancelButton"));
    place(button, x, y, width, height);
    connect(button, &QPushButton::clicked, this, &ModalDialog::reject);
    return button;
}

bool ModalDialog::readUnsigned(QLineEdit* edit, std::uint32_t& value)
{
    const QString text = edit->text().trimmed();
    const bool digits = !text.isEmpty() && std::all_of(text.cbegin(), text.cend(), [](QChar c) {
        return c >= QLatin1Char('0') && c <= QLatin1Char('9');
    });
    bool ok = false;
    const qulonglong number = digits ? text.toULongLong(&ok) : 0;
    if (!ok || number > std::numeric_limits<std::uint32_t>::max()) {
        refuse(edit, dialogtext::kPositiveInteger);
        return false;
    }
    value = static_cast<std::uint32_t>(number);
    return true;
}

bool ModalDialog::readInteger(QLineEdit* edit, std::int32_t minimum, std::int32_t maximum,
                              std::int32_t& value)
{
    bool ok = false;
    const qlonglong number = edit->text().trimmed().toLongLong(&ok);
    if (!ok) {
        refuse(edit, dialogtext::kInteger);
        return false;
    }
    if (number < minimum || number > maximum) {
        refuse(edit, QStringLiteral("Please enter an integer between %1 and %2.").arg(minimum).arg(maximum));
        return false;
    }
    value = static_cast<std::int32_t>(number);
    return true;
}

void ModalDialog::refuse(QLineEdit* edit, const QString& message)
{
    showMessage(message);
    if (edit->isEnabled()) {
        edit->setFocus();
        edit->selectAll();
    }
}
