#include "core/LineCache.h"

#include <QFontMetrics>
#include <QFontMetricsF>
#include <QTextLine>
#include <QTextOption>
#include <algorithm>

LineCache::LineCache(int capacity) : m_capacity(std::max(1, capacity)) {}

const LineCache::Line& LineCache::get(const QFont& font, const QString& text, int width)
{
    Key key{font, text, width};
    if (const auto found = m_index.constFind(key); found != m_index.cend()) {
        m_lines.splice(m_lines.begin(), m_lines, found.value());
        return found.value()->second;
    }
    Line line;
    line.shown = QFontMetrics(font).elidedText(text, Qt::ElideRight, std::max(0, width));
    // Laid out as QPainter::drawText lays out one unwrapped line.
    line.layout = std::make_unique<QTextLayout>(line.shown, font);
    QTextOption option;
    option.setWrapMode(QTextOption::NoWrap);
    option.setFlags(QTextOption::IncludeTrailingSpaces);
    line.layout->setTextOption(option);
    line.layout->setCacheEnabled(true);
    line.layout->beginLayout();
    QTextLine laid = line.layout->createLine();
    if (laid.isValid()) {
        laid.setLineWidth(0x01000000);
        laid.setPosition(QPointF(0, 0));
        line.advance = laid.horizontalAdvance();
    }
    line.layout->endLayout();
    const QFontMetricsF metrics(font);
    line.height = metrics.ascent() + metrics.descent();
    if (static_cast<int>(m_lines.size()) >= m_capacity) {
        m_index.remove(m_lines.back().first);
        m_lines.pop_back();
    }
    m_lines.emplace_front(std::move(key), std::move(line));
    m_index.insert(m_lines.front().first, m_lines.begin());
    return m_lines.front().second;
}
