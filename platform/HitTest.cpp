#include "platform/HitTest.h"

namespace {

PixelRect Box(int left, int top, int right, int bottom) {
    return {left, top, right, bottom};
}

}  // namespace

int HitTestRect(int corner, int x, int y, const PixelRect& rect, int edge, int inside) {
    if (rect.IsEmpty())
        return kHitNothing;
    const int a = corner;
    const int b = edge;
    const int l = rect.left;
    const int t = rect.top;
    const int r = rect.right;
    const int bo = rect.bottom;
    // The order decides where boxes overlap.
    const struct {
        PixelRect box;
        int code;
    } boxes[] = {
        {Box(l - a, t - a, l + a, t + a), kHitTopLeft},
        {Box(l - a, bo - a, l + a, bo + a), kHitBottomLeft},
        {Box(r - a, t - a, r + a, t + a), kHitTopRight},
        {Box(r - a, bo - a, r + a, bo + a), kHitBottomRight},
        {Box(l - b, t + b, l + b, bo - b), kHitLeft},
        {Box(l + b, bo - b, r - b, bo + b), kHitBottom},
        {Box(l + b, t - b, r - b, t + b), kHitTop},
        {Box(r - b, t + b, r + b, bo - b), kHitRight},
    };
    for (const auto& entry : boxes) {
        if (entry.box.Contains(x, y))
            return entry.code;
    }
    if (inside != 0 && rect.Contains(x, y))
        return kHitInside;
    return kHitNothing;
}
