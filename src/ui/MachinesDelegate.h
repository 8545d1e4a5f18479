#pragma once

#include <QFont>
#include <QHash>
#include <QStaticText>
#include <QStyledItemDelegate>

// Paints a cell of the machines list as plain text on its row's tint or
// the selection colour, without the style's item panel: a full list of
// thousands repaints many times a minute, and the style's way costs several
// times more for the same look.
class MachinesDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    // Laid-out texts with their widths: most cells show the same words
    // (kinds, maps, states) or the same names paint after paint.
    struct Laid
    {
        int width;
        QStaticText text;
    };
    static constexpr int kCacheSize = 32768;
    const Laid& laidOut(const QString& text, const QFont& font) const;

    mutable QHash<QString, Laid> m_cache;
    mutable QFont m_cacheFont;
};
