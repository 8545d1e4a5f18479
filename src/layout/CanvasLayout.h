#pragma once

#include <QSize>

class CQuorvaneDoc;

// Places every zone, group and object of the document on the canvas and
// returns the canvas size. Zones stand in columns by level (1 to 4, then any
// other level present), groups in columns by level inside their zone,
// objects in one column inside their group. Only the rectangles are written.
QSize RecalcLayout(CQuorvaneDoc& document);

// How a zone's groups stand. The classic arrangement puts each level in a
// column of its own (groups of one level one below the other); side by side,
// a zone's groups stand in a row in the same order (by level, then list
// order), wrapping to a new row where the next would pass wrapWidth (the
// canvas width; at least one group a row).
struct LayoutOptions
{
    bool groupsSideBySide = false;
    int wrapWidth = 0;
};
QSize RecalcLayout(CQuorvaneDoc& document, const LayoutOptions& options);

// The arrangement the window was last left with (View, Arrange Groups in
// Columns), as QSettings keeps it, for the pictures made without a window.
LayoutOptions savedLayoutOptions();
void saveLayoutOptions(const LayoutOptions& options);
