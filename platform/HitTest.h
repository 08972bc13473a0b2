#pragma once

// Which handle of a rectangle lies under the pointer, for resizing frames
// and windows by their corners and edges.

#include "platform/PixelRect.h"

// Handle codes answered by HitTestRect.
enum HitCode : int {
    kHitNothing = 0,
    kHitTopLeft = 1,
    kHitTopRight = 2,
    kHitBottomLeft = 3,
    kHitBottomRight = 4,
    kHitLeft = 5,
    kHitTop = 6,
    kHitRight = 7,
    kHitBottom = 8,
    kHitInside = 9,
};

// Corner squares reach `corner` pixels around each corner, edge strips `edge`
// pixels on both sides of each edge. Corners are tried before edges, the
// bottom-left corner before the top-right one, and the inside last (only
// when `inside` is nonzero). An empty rectangle gives kHitNothing.
int HitTestRect(int corner, int x, int y, const PixelRect& rect, int edge, int inside);
