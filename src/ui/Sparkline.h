#pragma once

#include <QColor>
#include <QImage>
#include <QWidget>
#include <optional>
#include <vector>

class QPainter;

// A day of per-minute samples drawn small: one column per pixel, as high as
// the largest sample it covers, scaled to the day's largest; minutes
// without a sample leave their column empty.
void paintSparkline(QPainter& painter, const QRect& area, const std::vector<std::optional<int>>& samples,
                    const QColor& color);

// The same, as a picture of the given size (for a tool tip).
QImage sparklineImage(const std::vector<std::optional<int>>& samples, QSize size);

// Rich text for a tool tip: a caption and the picture, inline as PNG data;
// empty when no minute has a sample.
QString sparklineToolTip(const std::vector<std::optional<int>>& samples, const QString& caption);

// The largest sample, 0 without any.
int sparklinePeak(const std::vector<std::optional<int>>& samples);

class QAction;

// The control panel's sparkline: shows the samples it was last given. Its
// context menu chooses the span (the last 24 hours a minute a sample, or
// the last 7 days ten minutes a sample); the owner gives samples to match.
class SparklineWidget : public QWidget
{
    Q_OBJECT

public:
    enum class Span
    {
        Day,
        Week,
    };

    explicit SparklineWidget(QWidget* parent = nullptr);

    void setSamples(std::vector<std::optional<int>> samples);
    const std::vector<std::optional<int>>& samples() const { return m_samples; }
    Span span() const { return m_span; }
    void setSpan(Span span);
    // "24 h", "7 days".
    static QString spanCaption(Span span);

    QSize sizeHint() const override;

signals:
    void spanChanged(SparklineWidget::Span span);

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void updateToolTip();

    std::vector<std::optional<int>> m_samples;
    Span m_span = Span::Day;
    QAction* m_day;
    QAction* m_week;
};
