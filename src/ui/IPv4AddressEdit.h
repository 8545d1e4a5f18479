#pragma once

#include <QLineEdit>

#include <array>
#include <optional>
#include <string>

// A field for one dotted IPv4 address: the keyboard is limited to four
// numbers of 0 to 255 separated by dots.
class IPv4AddressEdit : public QLineEdit
{
    Q_OBJECT

public:
    explicit IPv4AddressEdit(QWidget* parent = nullptr);

    // The four bytes; nullopt unless all four numbers are there and in range.
    std::optional<std::array<int, 4>> address() const;
    void setAddress(const std::array<int, 4>& bytes);
};

// Reads the leading "%d.%d.%d.%d" of text (later characters are ignored);
// each number is reduced to its low byte, as an address field would show it.
std::optional<std::array<int, 4>> scanDottedAddress(const std::string& text);
