#pragma once

#include <QFont>
#include <QHash>
#include <QString>
#include <QTextLayout>
#include <list>
#include <memory>

// Single lines of the canvas laid out once and kept between repaints: a
// box's name, hostname and map read the same from one second to the next,
// and shaping and eliding a line costs more than drawing it. Bounded: the
// least recently drawn lines go first.
class LineCache
{
public:
    struct Line
    {
        QString shown; // the text, cut with an ellipsis where it is too wide
        std::unique_ptr<QTextLayout> layout;
        qreal advance = 0; // of the shown text
        qreal height = 0;  // of one line of the font
    };

    explicit LineCache(int capacity);

    // The line for text in font, cut to fit width pixels.
    const Line& get(const QFont& font, const QString& text, int width);
    int size() const { return static_cast<int>(m_lines.size()); }

private:
    struct Key
    {
        QFont font;
        QString text;
        int width;
        bool operator==(const Key& other) const
        {
            return width == other.width && text == other.text && font == other.font;
        }
    };
    friend size_t qHash(const Key& key, size_t seed) noexcept
    {
        return qHashMulti(seed, key.text, key.width, key.font.pixelSize(), key.font.family());
    }
    using Entry = std::pair<Key, Line>;

    int m_capacity;
    std::list<Entry> m_lines; // most recently drawn first
    QHash<Key, std::list<Entry>::iterator> m_index;
};
