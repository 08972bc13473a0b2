#pragma once

// Placing windows on the desktop's work area (the screen without panels and
// task bars).

#include "platform/PixelRect.h"

// A width x height rectangle centred on `workArea`; the offsets are halved
// with truncation toward zero, so a window larger than the work area sticks
// out by the same amount on both sides (give or take a pixel).
PixelRect CenterRect(const PixelRect& workArea, int width, int height);

// The same on the primary screen's work area.
PixelRect CenterInWorkArea(int width, int height);
