#pragma once

#include <QColor>

// The canvas is drawn in its classic light colours or in their dark
// counterparts. Painting code names the light colour and asks canvasColor()
// for the one to draw with; the tone is set for the length of one paint by
// ScopedCanvasTone, so printing and rendering, which set none, stay light.
enum class CanvasTone
{
    Light,
    Dark,
};

// The tone of the paint in progress (GUI thread only).
CanvasTone activeCanvasTone();

// The colour to draw for a light-look colour under the active tone: itself
// when light; when dark, the same hue with its lightness mirrored (white
// becomes a near-black, black a near-white, pastels deep tones) and its
// saturation softened. Alpha is kept.
QColor canvasColor(const QColor& light);
// The same mapping under a given tone.
QColor canvasColor(const QColor& light, CanvasTone tone);

// Sets the active tone until it goes out of scope; nests.
class ScopedCanvasTone
{
public:
    explicit ScopedCanvasTone(CanvasTone tone);
    ~ScopedCanvasTone();

    ScopedCanvasTone(const ScopedCanvasTone&) = delete;
    ScopedCanvasTone& operator=(const ScopedCanvasTone&) = delete;

private:
    CanvasTone m_previous;
};
