#include "croprects/CropCanvasGeometry.h"

#include "engine/RgbPicture.h"
#include "platform/HitTest.h"

#include <algorithm>
#include <cmath>

namespace {

// Truncation toward zero, kept inside the range of int.
int Trunc(double value) {
    if (!(value > -2147483648.0))
        return value != value ? 0 : -2147483647 - 1;
    if (value >= 2147483647.0)
        return 2147483647;
    return static_cast<int>(value);
}

int Round(double value) {
    return Trunc(value + 0.5);
}

double SnapToGrid(double value) {
    return Trunc(value + kGridStep / 2) / kGridStep * kGridStep;
}

}  // namespace

CropEdges SnapRect(CropEdges e, bool snap, bool percent, int imageWidth, int imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0)
        return e;
    if (snap) {
        e.left = SnapToGrid(e.left);
        e.top = SnapToGrid(e.top);
        e.right = std::min<double>(imageWidth, SnapToGrid(e.right));
        e.bottom = std::min<double>(imageHeight, SnapToGrid(e.bottom));
    }
    if (percent) {
        e.left = e.left / imageWidth * 100;
        e.top = e.top / imageHeight * 100;
        e.right = e.right / imageWidth * 100;
        e.bottom = e.bottom / imageHeight * 100;
        if (e.left < 0.01)
            e.left = 0;
        if (e.top < 0.01)
            e.top = 0;
        if (e.right > 99.99)
            e.right = 100;
        if (e.bottom > 99.99)
            e.bottom = 100;
        e = {WholeIfNear(e.left), WholeIfNear(e.top), WholeIfNear(e.right), WholeIfNear(e.bottom)};
    }
    return e;
}

CropEdges EdgesOf(const PixelRect& rect) {
    return {static_cast<double>(rect.left), static_cast<double>(rect.top),
            static_cast<double>(rect.right), static_cast<double>(rect.bottom)};
}

void SetEdges(CCropRect& rect, const CropEdges& edges) {
    rect.left = edges.left;
    rect.top = edges.top;
    rect.right = edges.right;
    rect.bottom = edges.bottom;
}

bool ConvertUnit(CCropRect& rect, bool toPixel, int imageWidth, int imageHeight) {
    if ((rect.isPixel != 0) == toPixel)
        return true;
    if (imageWidth <= 0 || imageHeight <= 0)
        return false;
    const double w = imageWidth;
    const double h = imageHeight;
    // No rounding, but no dust either (WholeIfNear).
    if (toPixel) {
        SetEdges(rect, {WholeIfNear(w * rect.left / 100), WholeIfNear(h * rect.top / 100),
                        WholeIfNear(w * rect.right / 100), WholeIfNear(h * rect.bottom / 100)});
    } else {
        SetEdges(rect, {WholeIfNear(rect.left / w * 100), WholeIfNear(rect.top / h * 100),
                        WholeIfNear(rect.right / w * 100), WholeIfNear(rect.bottom / h * 100)});
    }
    rect.isPixel = toPixel ? 1 : 0;
    return true;
}

PixelRect FittedPlacement(int imageWidth, int imageHeight, int frameWidth, int frameHeight) {
    int w = imageWidth;
    int h = imageHeight;
    FitSize(w, h, frameWidth, frameHeight);
    const int left = (frameWidth - w) / 2;
    const int top = (frameHeight - h) / 2;
    return {left, top, left + w, top + h};
}

PixelRect ActualSizePlacement(int imageWidth, int imageHeight, int frameWidth, int frameHeight) {
    PixelRect placement{0, 0, frameWidth, frameHeight};
    if (imageWidth < frameWidth) {
        placement.left = (frameWidth - imageWidth) / 2;
        placement.right = placement.left + imageWidth;
    }
    if (imageHeight < frameHeight) {
        placement.top = (frameHeight - imageHeight) / 2;
        placement.bottom = placement.top + imageHeight;
    }
    return placement;
}

PixelRect ScaleEdges(const PixelRect& rect, double scale) {
    return {Round(scale * rect.left), Round(scale * rect.top), Round(scale * rect.right),
            Round(scale * rect.bottom)};
}

PixelRect Offset(const PixelRect& rect, int dx, int dy) {
    return {rect.left + dx, rect.top + dy, rect.right + dx, rect.bottom + dy};
}

int CanvasHitTest(const PixelRect& hitRect, int x, int y) {
    return HitTestRect(kCanvasHandleSize, x, y, hitRect, kCanvasHandleSize, 1);
}

PixelRect ComputeCursorClip(int hitCode, const PixelRect& hitRect, const PixelRect& picture,
                            int scrollX, int scrollY) {
    const PixelRect c = Offset(hitRect, -scrollX, -scrollY);
    const PixelRect i = Offset(picture, -scrollX, -scrollY);
    switch (hitCode) {
        case kHitTopLeft:
        case kHitLeft:
            return {i.left, i.top, c.right, c.bottom};
        case kHitTopRight:
        case kHitTop:
            return {c.left, i.top, i.right, c.bottom};
        case kHitBottomLeft:
        case kHitBottom:
            return {i.left, c.top, c.right, i.bottom};
        case kHitBottomRight:
        case kHitRight:
            return {c.left, c.top, i.right, i.bottom};
        case kHitInside:
            return i;
        default:
            return {};
    }
}

QPoint ClampToClip(QPoint point, const PixelRect& clip) {
    if (clip.IsEmpty())
        return point;
    return {std::clamp(point.x(), clip.left, clip.right - 1),
            std::clamp(point.y(), clip.top, clip.bottom - 1)};
}

CropEdges DragEdges(int hitCode, const CropEdges& start, double dx, double dy, int imageWidth,
                    int imageHeight) {
    const bool moveLeft = hitCode == kHitTopLeft || hitCode == kHitBottomLeft ||
                          hitCode == kHitLeft || hitCode == kHitInside;
    const bool moveTop = hitCode == kHitTopLeft || hitCode == kHitTopRight || hitCode == kHitTop ||
                         hitCode == kHitInside;
    const bool moveRight = hitCode == kHitTopRight || hitCode == kHitBottomRight ||
                           hitCode == kHitRight || hitCode == kHitInside;
    const bool moveBottom = hitCode == kHitBottomLeft || hitCode == kHitBottomRight ||
                            hitCode == kHitBottom || hitCode == kHitInside;
    CropEdges e = start;
    if (moveLeft)
        e.left = std::max(0.0, start.left + dx);
    if (moveTop)
        e.top = std::max(0.0, start.top + dy);
    if (moveRight)
        e.right = std::min<double>(imageWidth, start.right + dx);
    if (moveBottom)
        e.bottom = std::min<double>(imageHeight, start.bottom + dy);
    return e;
}

PixelRect NavigatorRect(const PixelRect& rect, int overviewWidth, int overviewHeight,
                        int imageWidth, int imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0)
        return {};
    // B * v / W, the product first.
    const auto x = [&](int v) {
        return Round(overviewWidth * static_cast<double>(v) / imageWidth);
    };
    const auto y = [&](int v) {
        return Round(overviewHeight * static_cast<double>(v) / imageHeight);
    };
    return {x(rect.left), y(rect.top), x(rect.right), y(rect.bottom)};
}

PixelRect ViewportRect(int scrollX, int scrollY, const PixelRect& imagePlacement,
                       const PixelRect& navigatorPlacement, int imageWidth, int imageHeight) {
    if (imageWidth <= 0 || imageHeight <= 0)
        return {};
    const double w = imageWidth;
    const double h = imageHeight;
    const int left = Round(scrollX * static_cast<double>(navigatorPlacement.Width()) / w);
    const int top = Round(scrollY * static_cast<double>(navigatorPlacement.Height()) / h);
    const int width = Round(imagePlacement.Width() / w * navigatorPlacement.Width());
    const int height = Round(imagePlacement.Height() / h * navigatorPlacement.Height());
    return Offset({left, top, left + width, top + height}, navigatorPlacement.left,
                  navigatorPlacement.top);
}

PixelRect ClampViewport(PixelRect moved, const PixelRect& nav) {
    const int width = moved.Width();
    const int height = moved.Height();
    if (moved.left < nav.left)
        moved = {nav.left, moved.top, nav.left + width, moved.bottom};
    if (moved.top < nav.top)
        moved = {moved.left, nav.top, moved.right, nav.top + height};
    if (moved.right > nav.right)
        moved = {nav.right - width, moved.top, nav.right, moved.bottom};
    if (moved.bottom > nav.bottom)
        moved = {moved.left, nav.bottom - height, moved.right, nav.bottom};
    return moved;
}

QPoint ScrollForViewport(const PixelRect& clamped, const PixelRect& nav, int imageWidth,
                         int imageHeight) {
    if (nav.IsEmpty())
        return {};
    const double left = clamped.left - nav.left;
    const double top = clamped.top - nav.top;
    return {Round(static_cast<double>(imageWidth) / nav.Width() * left),
            Round(static_cast<double>(imageHeight) / nav.Height() * top)};
}

QString PointReadout(bool pixel, double x, double y) {
    if (pixel)
        return QString::asprintf("(%5d pixel, %5d pixel)", Round(WholeIfNear(x)),
                                 Round(WholeIfNear(y)));
    return QString::asprintf("(%5.2f %%, %5.2f %%)", x, y);
}

QString LengthReadout(int pixels) {
    return QString::asprintf("%5d pixel", pixels);
}

QString CornerLabel(int corner, bool pixel, int imageWidth, int imageHeight) {
    const bool right = corner == 1 || corner == 3;
    const bool bottom = corner == 2 || corner == 3;
    if (!pixel && corner != 0) {
        return QString::asprintf("(%d %%, %d %%)", right ? 100 : 0, bottom ? 100 : 0);
    }
    return QString::asprintf("(%d pixel, %d pixel)", right ? imageWidth : 0,
                             bottom ? imageHeight : 0);
}

PixelRect LosslessWrittenRegion(const PixelRect& resolved, int imcuWidth, int imcuHeight) {
    if (resolved.IsEmpty() || imcuWidth <= 0 || imcuHeight <= 0)
        return resolved;
    PixelRect written = resolved;
    written.left -= resolved.left % imcuWidth;
    written.top -= resolved.top % imcuHeight;
    return written;
}
