#pragma once

#include <QSize>

class CQuorvaneDoc;

// Places every zone, group and object of the document on the canvas and
// returns the canvas size. Zones stand in columns by level (1 to 4, then any
// other level present), groups in columns by level inside their zone,
// objects in one column inside their group. Only the rectangles are written.
QSize RecalcLayout(CQuorvaneDoc& document);
