#include "core/PaintFingerprint.h"

#include <QImage>
#include <QPaintEngine>
#include <QPainterPath>
#include <QPixmap>
#include <QTextItem>
#include <cmath>
#include <cstring>

namespace {

quint64 mix(quint64 hash, quint64 value)
{
    // 64-bit FNV-style step over a whole word, then a final avalanche in take().
    hash ^= value + 0x9e3779b97f4a7c15ULL + (hash << 6) + (hash >> 2);
    return hash;
}

quint64 bitsOf(qreal value)
{
    quint64 bits = 0;
    static_assert(sizeof(value) == sizeof(bits));
    std::memcpy(&bits, &value, sizeof(bits));
    return bits;
}

} // namespace

class FingerprintEngine : public QPaintEngine
{
public:
    FingerprintEngine() : QPaintEngine(AllFeatures) {}

    bool begin(QPaintDevice*) override { return true; }
    bool end() override { return true; }
    Type type() const override { return User; }

    void updateState(const QPaintEngineState& state) override
    {
        const DirtyFlags flags = state.state();
        if (flags & DirtyPen)
            m_pen = state.pen();
        if (flags & DirtyBrush)
            m_brush = state.brush();
        if (flags & DirtyTransform)
            m_transform = state.transform();
        if (flags & DirtyOpacity)
            m_opacity = state.opacity();
        if (flags & DirtyHints)
            m_hints = state.renderHints();
        if (flags & DirtyCompositionMode)
            m_composition = state.compositionMode();
    }

    void drawRects(const QRectF* rects, int count) override
    {
        for (int i = 0; i < count; ++i)
            shape(1, rects[i], true);
    }
    // The integer calls hash as their floating-point twins.
    void drawRects(const QRect* rects, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QRectF rect(rects[i]);
            drawRects(&rect, 1);
        }
    }
    void drawLines(const QLineF* lines, int count) override
    {
        for (int i = 0; i < count; ++i)
            shape(2, QRectF(lines[i].p1(), lines[i].p2()).normalized(), false);
    }
    void drawLines(const QLine* lines, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QLineF line(lines[i]);
            drawLines(&line, 1);
        }
    }
    void drawEllipse(const QRectF& rect) override { shape(3, rect, true); }
    void drawEllipse(const QRect& rect) override { drawEllipse(QRectF(rect)); }
    void drawPath(const QPainterPath& path) override
    {
        for (int i = 0; i < path.elementCount(); ++i) {
            const QPainterPath::Element element = path.elementAt(i);
            m_hash = mix(mix(mix(m_hash, static_cast<quint64>(element.type)), bitsOf(element.x)),
                         bitsOf(element.y));
        }
        shape(4, path.controlPointRect(), true);
    }
    void drawPoints(const QPointF* points, int count) override
    {
        for (int i = 0; i < count; ++i)
            shape(5, QRectF(points[i], points[i]), false);
    }
    void drawPoints(const QPoint* points, int count) override
    {
        for (int i = 0; i < count; ++i) {
            const QPointF point(points[i]);
            drawPoints(&point, 1);
        }
    }
    void drawPolygon(const QPointF* points, int count, PolygonDrawMode mode) override
    {
        QRectF around;
        for (int i = 0; i < count; ++i) {
            m_hash = mix(mix(m_hash, bitsOf(points[i].x())), bitsOf(points[i].y()));
            around = around.united(QRectF(points[i], QSizeF(0.001, 0.001)));
        }
        m_hash = mix(m_hash, static_cast<quint64>(mode));
        shape(6, around, mode != PolylineMode);
    }
    void drawPolygon(const QPoint* points, int count, PolygonDrawMode mode) override
    {
        QPolygonF converted;
        converted.reserve(count);
        for (int i = 0; i < count; ++i)
            converted << QPointF(points[i]);
        drawPolygon(converted.constData(), count, mode);
    }
    void drawPixmap(const QRectF& target, const QPixmap& pixmap, const QRectF& source) override
    {
        m_hash = mix(m_hash, static_cast<quint64>(pixmap.cacheKey()));
        rectangle(source);
        image(7, target);
    }
    void drawTiledPixmap(const QRectF& target, const QPixmap& pixmap, const QPointF& offset) override
    {
        m_hash = mix(mix(mix(m_hash, static_cast<quint64>(pixmap.cacheKey())), bitsOf(offset.x())),
                     bitsOf(offset.y()));
        image(8, target);
    }
    void drawImage(const QRectF& target, const QImage& picture, const QRectF& source,
                   Qt::ImageConversionFlags) override
    {
        m_hash = mix(m_hash, static_cast<quint64>(picture.cacheKey()));
        rectangle(source);
        image(9, target);
    }
    void drawTextItem(const QPointF& at, const QTextItem& item) override
    {
        const QFont font = item.font();
        m_hash = mix(m_hash, qHash(item.text()));
        m_hash = mix(m_hash, qHash(font.family()));
        m_hash = mix(mix(mix(m_hash, bitsOf(font.pixelSize() > 0 ? font.pixelSize() : font.pointSizeF())),
                         static_cast<quint64>(font.weight())),
                     static_cast<quint64>(font.italic() * 2 + font.underline()));
        m_hash = mix(mix(m_hash, bitsOf(at.x())), bitsOf(at.y()));
        m_hash = mix(m_hash, static_cast<quint64>(m_pen.color().rgba64()));
        // The glyphs reach from the ascent above the baseline to the descent
        // below it; a little more on each side for overhangs.
        const QRectF around(at.x() - 2, at.y() - item.ascent() - 1, item.width() + 4,
                            item.ascent() + item.descent() + 2);
        state();
        extend(m_transform.mapRect(around));
    }

    PaintFingerprint::Mark take()
    {
        PaintFingerprint::Mark mark;
        quint64 hash = m_hash;
        hash ^= hash >> 33;
        hash *= 0xff51afd7ed558ccdULL;
        hash ^= hash >> 33;
        mark.hash = hash;
        mark.bounds = m_bounds.isEmpty() ? QRect() : m_bounds.toAlignedRect();
        m_hash = 0;
        m_bounds = QRectF();
        return mark;
    }

private:
    void rectangle(const QRectF& rect)
    {
        m_hash = mix(mix(mix(mix(m_hash, bitsOf(rect.x())), bitsOf(rect.y())), bitsOf(rect.width())),
                     bitsOf(rect.height()));
    }

    // The painter's state that decides the pixels of the next call.
    void state()
    {
        m_hash = mix(m_hash, static_cast<quint64>(m_transform.type()));
        for (const qreal value : {m_transform.m11(), m_transform.m12(), m_transform.m21(), m_transform.m22(),
                                  m_transform.dx(), m_transform.dy()})
            m_hash = mix(m_hash, bitsOf(value));
        m_hash = mix(mix(m_hash, bitsOf(m_opacity)), static_cast<quint64>(m_hints));
        m_hash = mix(m_hash, static_cast<quint64>(m_composition));
    }

    void shape(int kind, const QRectF& rect, bool filled)
    {
        m_hash = mix(m_hash, static_cast<quint64>(kind));
        rectangle(rect);
        state();
        m_hash = mix(mix(m_hash, static_cast<quint64>(m_pen.style())),
                     static_cast<quint64>(m_pen.color().rgba64()));
        m_hash = mix(mix(mix(m_hash, bitsOf(m_pen.widthF())), static_cast<quint64>(m_pen.capStyle())),
                     static_cast<quint64>(m_pen.joinStyle()));
        if (m_pen.style() == Qt::CustomDashLine)
            for (const qreal dash : m_pen.dashPattern())
                m_hash = mix(m_hash, bitsOf(dash));
        if (filled) {
            m_hash = mix(mix(m_hash, static_cast<quint64>(m_brush.style())),
                         static_cast<quint64>(m_brush.color().rgba64()));
            if (m_brush.style() == Qt::TexturePattern)
                m_hash = mix(m_hash, static_cast<quint64>(m_brush.texture().cacheKey()));
        }
        // A pen reaches half its width beyond the shape (a cosmetic one a pixel).
        const qreal reach = m_pen.style() == Qt::NoPen ? 1 : std::max<qreal>(1, m_pen.widthF()) / 2 + 1;
        extend(m_transform.mapRect(rect).adjusted(-reach * scale(), -reach * scale(), reach * scale(),
                                                  reach * scale()));
    }

    void image(int kind, const QRectF& target)
    {
        m_hash = mix(m_hash, static_cast<quint64>(kind));
        rectangle(target);
        state();
        extend(m_transform.mapRect(target).adjusted(-1, -1, 1, 1));
    }

    qreal scale() const
    {
        return std::max({std::abs(m_transform.m11()), std::abs(m_transform.m22()), qreal(1)});
    }

    void extend(const QRectF& rect) { m_bounds = m_bounds.isEmpty() ? rect : m_bounds.united(rect); }

    quint64 m_hash = 0;
    QRectF m_bounds;
    QPen m_pen;
    QBrush m_brush;
    QTransform m_transform;
    qreal m_opacity = 1;
    QPainter::RenderHints m_hints;
    QPainter::CompositionMode m_composition = QPainter::CompositionMode_SourceOver;
};

PaintFingerprint::PaintFingerprint(QSize size) : m_size(size), m_engine(std::make_unique<FingerprintEngine>())
{
}

PaintFingerprint::~PaintFingerprint() = default;

PaintFingerprint::Mark PaintFingerprint::take()
{
    return m_engine->take();
}

QPaintEngine* PaintFingerprint::paintEngine() const
{
    return m_engine.get();
}

int PaintFingerprint::metric(PaintDeviceMetric metric) const
{
    switch (metric) {
    case PdmWidth:
        return m_size.width();
    case PdmHeight:
        return m_size.height();
    case PdmWidthMM:
        return m_size.width() * 254 / 960;
    case PdmHeightMM:
        return m_size.height() * 254 / 960;
    case PdmNumColors:
        return INT_MAX;
    case PdmDepth:
        return 32;
    case PdmDpiX:
    case PdmDpiY:
    case PdmPhysicalDpiX:
    case PdmPhysicalDpiY:
        return 96;
    case PdmDevicePixelRatio:
        return 1;
    case PdmDevicePixelRatioScaled:
        return static_cast<int>(devicePixelRatioFScale());
    default:
        return QPaintDevice::metric(metric);
    }
}
