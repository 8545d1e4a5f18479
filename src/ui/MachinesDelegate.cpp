#include "ui/MachinesDelegate.h"

#include <QPainter>
#include <cmath>

void MachinesDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const bool selected = option.state & QStyle::State_Selected;
    const QPalette& palette = option.palette;
    QColor ink = palette.color(QPalette::Text);
    if (selected) {
        painter->fillRect(option.rect, palette.brush(QPalette::Highlight));
        ink = palette.color(QPalette::HighlightedText);
    } else if (const QVariant tint = index.data(Qt::BackgroundRole); tint.isValid()) {
        painter->fillRect(option.rect, tint.value<QBrush>());
        if (const QVariant text = index.data(Qt::ForegroundRole); text.isValid())
            ink = text.value<QBrush>().color();
    }
    const QString text = index.data(Qt::DisplayRole).toString();
    if (text.isEmpty())
        return;
    const QRect room = option.rect.adjusted(4, 0, -4, 0);
    painter->setPen(ink);
    const Laid& laid = laidOut(text, option.font);
    if (laid.width <= room.width()) {
        const int top = room.top() + (room.height() - option.fontMetrics.height()) / 2;
        painter->drawStaticText(room.left(), top, laid.text);
        return;
    }
    // Only the cells that do not fit work out an ellipsis.
    painter->drawText(room, Qt::AlignVCenter | Qt::AlignLeft | Qt::TextSingleLine,
                      option.fontMetrics.elidedText(text, Qt::ElideRight, room.width()));
}

const MachinesDelegate::Laid& MachinesDelegate::laidOut(const QString& text, const QFont& font) const
{
    if (font != m_cacheFont || m_cache.size() >= kCacheSize) {
        m_cache.clear();
        m_cacheFont = font;
    }
    auto found = m_cache.find(text);
    if (found == m_cache.end()) {
        QStaticText laid(text);
        laid.setTextFormat(Qt::PlainText);
        laid.prepare(QTransform(), font);
        found = m_cache.insert(text, Laid{static_cast<int>(std::ceil(laid.size().width())), laid});
    }
    return *found;
}
