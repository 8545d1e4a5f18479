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
    // A cell that does not fit shows the text cut with an ellipsis, laid out
    // once for its width.
    const QString key = QString::number(room.width()) + QLatin1Char('\x1f') + text;
    auto found = m_cache.find(key);
    if (found == m_cache.end()) {
        QStaticText cut(option.fontMetrics.elidedText(text, Qt::ElideRight, room.width()));
        cut.setTextFormat(Qt::PlainText);
        cut.prepare(QTransform(), option.font);
        found = m_cache.insert(key, Laid{room.width(), cut});
    }
    const int top = room.top() + (room.height() - option.fontMetrics.height()) / 2;
    painter->drawStaticText(room.left(), top, found->text);
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
