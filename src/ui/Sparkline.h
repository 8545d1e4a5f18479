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

// The control panel's sparkline: shows the samples it was last given.
class SparklineWidget : public QWidget
{
    Q_OBJECT

public:
    explicit SparklineWidget(QWidget* parent = nullptr);

    void setSamples(std::vector<std::optional<int>> samples);
    const std::vector<std::optional<int>>& samples() const { return m_samples; }

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    std::vector<std::optional<int>> m_samples;
};
