#include "ui/CAboutDlg.h"

#include <QLabel>
#include <QPixmap>
#include <QPushButton>
#include <QtGlobal>

#include <array>
#include <charconv>

#ifndef QUORVANE_VERSION
#error "QUORVANE_VERSION must name the project's version"
#endif

QString CAboutDlg::versionText(std::string_view version)
{
    std::array<std::uint32_t, 4> parts{};
    std::size_t part = 0;
    const char* cursor = version.data();
    const char* const end = version.data() + version.size();
    while (part < parts.size() && cursor < end) {
        std::uint32_t value = 0;
        const auto [next, error] = std::from_chars(cursor, end, value);
        if (error != std::errc())
            break;
        // A version block holds each part in 16 bits.
        parts[part++] = value & 0xFFFF;
        if (next == end || *next != '.')
            break;
        cursor = next + 1;
    }
    QString text = QStringLiteral("Quorvane Version %1.%2").arg(parts[0]).arg(parts[1]);
    const std::uint32_t build = (parts[2] << 16) | parts[3];
    if (build != 0)
        text += QStringLiteral(" Beta %1").arg(build);
    return text;
}

CAboutDlg::CAboutDlg(QWidget* parent) : ModalDialog(QStringLiteral("About Quorvane"), parent)
{
    setDialogSize(235, 55);
    auto* icon = new QLabel(this);
    icon->setObjectName(QStringLiteral("iconLabel"));
    icon->setPixmap(QPixmap(QStringLiteral(":/icons/130.png"))
                        .scaled(32, 32, Qt::KeepAspectRatio, Qt::SmoothTransformation));
    icon->setGeometry(unitsToPixelsX(11), unitsToPixelsY(17), 32, 32);

    QLabel* version = addStatic(versionText(QUORVANE_VERSION), 37, 7, 119, 8);
    version->setObjectName(QStringLiteral("versionLabel"));
    addStatic(QStringLiteral("Watches Half-Life servers,"), 37, 18, 119, 8);
    addStatic(QStringLiteral("HLTV proxies and GTV hubs."), 37, 29, 119, 8);
    addStatic(QStringLiteral("Built with Qt %1").arg(QString::fromLatin1(qVersion())), 37, 40, 119, 8);
    addOkButton(178, 7, 50, 14)->setFocus();
}
