#include "ui/LegendDialog.h"

#include "objects/IconLibrary.h"

#include <QDialogButtonBox>
#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QPixmap>
#include <QScrollArea>
#include <QVBoxLayout>

namespace {

constexpr int kSwatch = 48;

QPixmap iconSwatch(int resourceId)
{
    return QPixmap::fromImage(iconImage(resourceId));
}

// A picture drawn on a white square, as the canvas would draw it.
template <class Paint> QPixmap drawnSwatch(Paint paint)
{
    QPixmap pixmap(kSwatch, kSwatch);
    pixmap.fill(Qt::white);
    QPainter painter(&pixmap);
    paint(painter);
    return pixmap;
}

QPixmap gaugeSwatch(const QColor& color)
{
    return drawnSwatch([&](QPainter& painter) {
        painter.fillRect(20, 4, 7, 40, QColor(192, 192, 192));
        painter.fillRect(20, 20, 7, 24, color);
    });
}

QPixmap frameSwatch(const QColor& pen, int width, const QColor& fill)
{
    return drawnSwatch([&](QPainter& painter) {
        painter.setPen(QPen(pen, width));
        painter.setBrush(fill);
        painter.drawRect(6, 6, kSwatch - 12, kSwatch - 12);
    });
}

QPixmap lineSwatch(Qt::PenStyle style, int width)
{
    return drawnSwatch([&](QPainter& painter) {
        painter.setPen(QPen(Qt::black, width, style));
        painter.drawLine(4, kSwatch / 2, kSwatch - 4, kSwatch / 2);
    });
}

} // namespace

LegendDialog::LegendDialog(QWidget* parent) : QDialog(parent)
{
    setWindowTitle(tr("Legend"));
    const std::pair<QPixmap, QString> rows[] = {
        {iconSwatch(160), tr("Game server")},
        {iconSwatch(154), tr("Counter-Strike game server")},
        {iconSwatch(153), tr("HLTV proxy")},
        {iconSwatch(161), tr("GTV hub manager; its hubs are the rows in its box (click one to pick it)")},
        {iconSwatch(142), tr("Not answering")},
        {iconSwatch(144), tr("Answering, monitored only (no rcon password, or a refused one)")},
        {iconSwatch(143), tr("Under rcon control")},
        {iconSwatch(145), tr("Under rcon control, with logs")},
        {iconSwatch(157), tr("A match is running on this server")},
        {iconSwatch(151), tr("The proxy is recording a demo")},
        {iconSwatch(155), tr("The proxy records each match of its server by itself")},
        {gaugeSwatch(QColor(0, 0, 255)), tr("Blue gauge: players (full at 14)")},
        {gaugeSwatch(QColor(0, 255, 0)), tr("Green gauge: spectators or clients against the maximum")},
        {gaugeSwatch(QColor(255, 0, 0)), tr("Red gauge: the proxy's outgoing rate (full at 1500)")},
        {frameSwatch(QColor(200, 0, 0), 3, QColor(255, 200, 200)),
         tr("Down: the machine answered before and has been silent for more than 10 seconds; "
            "its last host name is shown in grey")},
        {frameSwatch(QColor(230, 120, 0), 3, QColor(255, 215, 160)),
         tr("Relay lost: the proxy relayed a machine and now relays nothing (broken-link mark)")},
        {frameSwatch(QColor(120, 120, 120), 2, QColor(225, 225, 225)),
         tr("Unreachable: never answered in the 12 seconds since it was opened or added (\"?\" mark)")},
        {frameSwatch(QColor(170, 0, 0), 1, QColor(170, 0, 0)),
         tr("Red \"!\" mark: the machine refused the rcon password")},
        {frameSwatch(Qt::black, 1, QColor(220, 220, 220)), tr("The picked object")},
        {frameSwatch(QColor(255, 140, 0), 3, Qt::white), tr("A match of Find or of the down filter")},
        {lineSwatch(Qt::SolidLine, 4), tr("Link: the proxy or hub relays this machine")},
        {lineSwatch(Qt::DashDotLine, 1), tr("Link not confirmed: the relayed address is another one")},
    };
    auto* grid = new QGridLayout;
    int row = 0;
    for (const auto& [picture, meaning] : rows) {
        auto* swatch = new QLabel;
        swatch->setPixmap(picture);
        swatch->setAlignment(Qt::AlignCenter);
        auto* text = new QLabel(meaning);
        text->setTextFormat(Qt::PlainText);
        text->setWordWrap(true);
        grid->addWidget(swatch, row, 0);
        grid->addWidget(text, row, 1);
        ++row;
    }
    grid->setColumnStretch(1, 1);
    auto* content = new QWidget;
    content->setLayout(grid);
    auto* scroll = new QScrollArea;
    scroll->setWidget(content);
    scroll->setWidgetResizable(true);
    auto* buttons = new QDialogButtonBox(QDialogButtonBox::Close);
    connect(buttons, &QDialogButtonBox::rejected, this, &QDialog::reject);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(scroll);
    layout->addWidget(buttons);
    resize(520, 560);
}
