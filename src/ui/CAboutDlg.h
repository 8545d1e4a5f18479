#pragma once

#include "ui/ModalDialog.h"

#include <string_view>

// "About Quorvane": the program's icon, version and credits; OK only.
class CAboutDlg : public ModalDialog
{
    Q_OBJECT

public:
    explicit CAboutDlg(QWidget* parent = nullptr);

    // "Quorvane Version major.minor" from a dotted version of up to four
    // parts (missing parts count as 0); when the third and fourth parts,
    // taken together as one 32-bit number (third in the high half), are
    // not zero, " Beta n" with that number follows: 1.0.0.1 gives
    // "Quorvane Version 1.0 Beta 1", 1.0.2.1 "... Beta 131073".
    static QString versionText(std::string_view version);
};
