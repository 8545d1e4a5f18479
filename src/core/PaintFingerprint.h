#pragma once

#include <QPaintDevice>
#include <QRect>
#include <memory>

class FingerprintEngine;

// A paint device that draws nothing: it keeps a hash of every call made on
// it, with the painter's pen, brush, transform and opacity at that call,
// and the device rectangle the calls could touch. Two drawings with the
// same mark paint the same pixels, so a view can tell what changed since it
// last painted without painting it.
class PaintFingerprint : public QPaintDevice
{
public:
    struct Mark
    {
        quint64 hash = 0;
        QRect bounds; // empty when nothing was drawn
        bool operator==(const Mark& other) const { return hash == other.hash && bounds == other.bounds; }
    };

    explicit PaintFingerprint(QSize size);
    ~PaintFingerprint() override;

    // What was drawn since the last take, and a fresh start. The painter
    // may stay active across takes.
    Mark take();

    QPaintEngine* paintEngine() const override;

protected:
    int metric(PaintDeviceMetric metric) const override;

private:
    QSize m_size;
    std::unique_ptr<FingerprintEngine> m_engine;
};
