#include "ui/Sparkline.h"

#include <QAction>
#include <QActionGroup>
#include <QBuffer>
#include <QPainter>
#include <algorithm>

namespace {

QColor lineColor()
{
    return QColor(40, 110, 200);
}

} // namespace

int sparklinePeak(const std::vector<std::optional<int>>& samples)
{
    int peak = 0;
    for (const auto& sample : samples)
        peak = std::max(peak, sample.value_or(0));
    return peak;
}

void paintSparkline(QPainter& painter, const QRect& area, const std::vector<std::optional<int>>& samples,
                    const QColor& color)
{
    const int width = area.width();
    const int height = area.height();
    if (samples.empty() || width <= 0 || height <= 1)
        return;
    const int peak = std::max(1, sparklinePeak(samples));
    const auto count = static_cast<long long>(samples.size());
    painter.save();
    painter.setPen(color);
    for (int x = 0; x < width; ++x) {
        // The samples that fall in this column; at least one when there are
        // more columns than samples.
        const long long first = count * x / width;
        const long long last = std::max(first + 1, count * (x + 1) / width);
        std::optional<int> top;
        for (long long i = first; i < last && i < count; ++i) {
            if (const auto& sample = samples[static_cast<std::size_t>(i)])
                top = std::max(top.value_or(0), *sample);
        }
        if (!top)
            continue;
        // A sample of zero still shows as a one-pixel baseline.
        const int bar = std::max(1, static_cast<int>(static_cast<long long>(height - 1) * *top / peak));
        painter.drawLine(area.left() + x, area.bottom(), area.left() + x, area.bottom() - bar + 1);
    }
    painter.restore();
}

QImage sparklineImage(const std::vector<std::optional<int>>& samples, QSize size)
{
    QImage image(size, QImage::Format_ARGB32_Premultiplied);
    image.fill(QColor(245, 245, 245));
    QPainter painter(&image);
    painter.setPen(QColor(200, 200, 200));
    painter.drawRect(image.rect().adjusted(0, 0, -1, -1));
    paintSparkline(painter, image.rect().adjusted(1, 1, -1, -1), samples, lineColor());
    return image;
}

QString sparklineToolTip(const std::vector<std::optional<int>>& samples, const QString& caption)
{
    if (std::none_of(samples.begin(), samples.end(), [](const auto& sample) { return sample.has_value(); }))
        return QString();
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    sparklineImage(samples, QSize(144, 24)).save(&buffer, "PNG");
    return QStringLiteral("%1 over 24 h (peak %2):<br><img src=\"data:image/png;base64,%3\">")
        .arg(caption.toHtmlEscaped())
        .arg(sparklinePeak(samples))
        .arg(QString::fromLatin1(png.toBase64()));
}

SparklineWidget::SparklineWidget(QWidget* parent) : QWidget(parent)
{
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    auto* spans = new QActionGroup(this);
    m_day = new QAction(tr("Last 24 Hours"), spans);
    m_day->setObjectName(QStringLiteral("sparklineDay"));
    m_week = new QAction(tr("Last 7 Days"), spans);
    m_week->setObjectName(QStringLiteral("sparklineWeek"));
    for (QAction* action : {m_day, m_week}) {
        action->setCheckable(true);
        addAction(action);
    }
    m_day->setChecked(true);
    setContextMenuPolicy(Qt::ActionsContextMenu);
    connect(spans, &QActionGroup::triggered, this,
            [this](QAction* action) { setSpan(action == m_week ? Span::Week : Span::Day); });
}

QString SparklineWidget::spanCaption(Span span)
{
    return span == Span::Week ? tr("7 days") : tr("24 h");
}

void SparklineWidget::setSpan(Span span)
{
    (span == Span::Week ? m_week : m_day)->setChecked(true);
    if (span == m_span)
        return;
    m_span = span;
    updateToolTip();
    emit spanChanged(span);
}

void SparklineWidget::setSamples(std::vector<std::optional<int>> samples)
{
    if (samples == m_samples)
        return;
    m_samples = std::move(samples);
    updateToolTip();
    update();
}

void SparklineWidget::updateToolTip()
{
    const QString over = m_span == Span::Week ? tr("Over the last 7 days, one column an hour or more wide")
                                              : tr("Over the last 24 hours, one column a few minutes wide");
    setToolTip(
        m_samples.empty()
            ? QString()
            : tr("%1; peak %2 (right-click for another span)").arg(over).arg(sparklinePeak(m_samples)));
}

QSize SparklineWidget::sizeHint() const
{
    return QSize(144, std::max(18, fontMetrics().height()));
}

void SparklineWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().base());
    painter.setPen(palette().mid().color());
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
    paintSparkline(painter, rect().adjusted(1, 1, -1, -1), m_samples, lineColor());
}
