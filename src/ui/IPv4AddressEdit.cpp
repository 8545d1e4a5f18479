#include "ui/IPv4AddressEdit.h"

#include <QStringList>
#include <QValidator>

#include <cstdio>

namespace {

class IPv4Validator : public QValidator
{
public:
    using QValidator::QValidator;

    State validate(QString& input, int&) const override
    {
        const QStringList parts = input.split(QLatin1Char('.'));
        if (parts.size() > 4)
            return Invalid;
        bool complete = parts.size() == 4;
        for (const QString& part : parts) {
            if (part.size() > 3)
                return Invalid;
            for (const QChar c : part) {
                if (c < QLatin1Char('0') || c > QLatin1Char('9'))
                    return Invalid;
            }
            if (part.isEmpty())
                complete = false;
            else if (part.toInt() > 255)
                return Invalid;
        }
        return complete ? Acceptable : Intermediate;
    }
};

} // namespace

IPv4AddressEdit::IPv4AddressEdit(QWidget* parent) : QLineEdit(parent)
{
    setValidator(new IPv4Validator(this));
    setPlaceholderText(QStringLiteral("0.0.0.0"));
}

std::optional<std::array<int, 4>> IPv4AddressEdit::address() const
{
    const QStringList parts = text().trimmed().split(QLatin1Char('.'));
    if (parts.size() != 4)
        return std::nullopt;
    std::array<int, 4> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const QString& part = parts[static_cast<qsizetype>(i)];
        bool ok = part.size() <= 3;
        for (const QChar c : part)
            ok = ok && c >= QLatin1Char('0') && c <= QLatin1Char('9');
        const int value = ok ? part.toInt(&ok) : -1;
        if (!ok || value > 255)
            return std::nullopt;
        bytes[i] = value;
    }
    return bytes;
}

void IPv4AddressEdit::setAddress(const std::array<int, 4>& bytes)
{
    setText(QStringLiteral("%1.%2.%3.%4").arg(bytes[0]).arg(bytes[1]).arg(bytes[2]).arg(bytes[3]));
}

std::optional<std::array<int, 4>> scanDottedAddress(const std::string& text)
{
    std::array<int, 4> bytes{};
    if (std::sscanf(text.c_str(), "%d.%d.%d.%d", &bytes[0], &bytes[1], &bytes[2], &bytes[3]) != 4)
        return std::nullopt;
    for (int& byte : bytes)
        byte &= 0xFF;
    return bytes;
}
