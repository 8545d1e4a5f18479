#pragma once

class QPalette;

// True when a palette is dark: its window colour darker than its text, as a
// dark desktop theme or a dark style sheet leaves a widget's palette.
bool isDarkPalette(const QPalette& palette);
