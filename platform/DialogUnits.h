#pragma once

// Dialogs are laid out in dialog units, as their templates give them: a
// horizontal unit is 1.5 pixels and a vertical one 1.625 pixels (a quarter of
// the average width and an eighth of the height of the dialog font, 6 x 13
// pixels at 96 dpi). Conversions round to the nearest pixel, halves away from
// zero.

#include "platform/PixelRect.h"

#include <QRect>

int DialogUnitsToPixelsX(int units);
int DialogUnitsToPixelsY(int units);

// Converts each edge, so adjacent rectangles stay adjacent in pixels.
PixelRect MapDialogRect(const PixelRect& units);

// (x, y, width, height) in dialog units as a widget geometry in pixels.
QRect DialogGeometry(int x, int y, int width, int height);
