#pragma once

// The arithmetic of the crop preview: snapping, the fitted scale, hit space,
// the cursor's confinement, handle and viewport drags, the read-outs and the
// region a lossless crop really writes. No widgets, so the main view can use
// it too.

#include "croprects/CropRect.h"
#include "platform/PixelRect.h"

#include <QPoint>
#include <QString>

// A crop rectangle's edges in image pixels (or percent), as doubles.
struct CropEdges {
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    friend bool operator==(const CropEdges&, const CropEdges&) = default;
};

// Grid cells and the snapping step, in image pixels.
inline constexpr int kGridStep = 8;
// Corner and edge reach of the handles, in hit-space pixels.
inline constexpr int kCanvasHandleSize = 4;

// With `snap` every edge goes to the nearest multiple of 8 (halves up); right
// and bottom never pass the image. With `percent` the pixel edges are turned
// back into percent of the image, values within 0.01 of a border put on it.
// An image without size leaves the edges as they are.
CropEdges SnapRect(CropEdges edges, bool snap, bool percent, int imageWidth, int imageHeight);

// The rectangle's edges as doubles from its resolved pixel bounds.
CropEdges EdgesOf(const PixelRect& rect);
// Stores edges into a rectangle; unit and colour stay.
void SetEdges(CCropRect& rect, const CropEdges& edges);

// Switches the unit without rounding. Refused (false) while the image has no
// size, where percent has no meaning.
bool ConvertUnit(CCropRect& rect, bool toPixel, int imageWidth, int imageHeight);

// Where the fitted picture lies in a frame of frameWidth x frameHeight:
// FitSize (small images are enlarged), centred by integer halves.
PixelRect FittedPlacement(int imageWidth, int imageHeight, int frameWidth, int frameHeight);
// Where the one-to-one picture lies: centred along a side shorter than the
// frame's, filling the frame along a longer one.
PixelRect ActualSizePlacement(int imageWidth, int imageHeight, int frameWidth, int frameHeight);

// Each edge v becomes trunc(scale * v + 0.5).
PixelRect ScaleEdges(const PixelRect& rect, double scale);
PixelRect Offset(const PixelRect& rect, int dx, int dy);

// Handle under a hit-space point: HitTestRect with a = b = 4 and the inside.
int CanvasHitTest(const PixelRect& hitRect, int x, int y);

// The area the pointer may cover while handle `hitCode` is dragged, in hit
// space shifted by the scroll position. `picture` is the image's extent in
// hit space. Empty for no handle.
PixelRect ComputeCursorClip(int hitCode, const PixelRect& hitRect, const PixelRect& picture,
                            int scrollX, int scrollY);
// A point kept inside a clip (right and bottom exclusive).
QPoint ClampToClip(QPoint point, const PixelRect& clip);

// A handle drag by (dx, dy) image pixels from the starting edges: only the
// handle's edges move, each limited on its own side of the image (left and
// top not below 0, right and bottom not past the image), so a move pushed
// against a border narrows the rectangle.
CropEdges DragEdges(int hitCode, const CropEdges& start, double dx, double dy, int imageWidth,
                    int imageHeight);

// The crop rectangle (image pixels) in an overview picture of B x C pixels.
PixelRect NavigatorRect(const PixelRect& rect, int overviewWidth, int overviewHeight,
                        int imageWidth, int imageHeight);
// The visible part of the one-to-one picture as a box in the overview frame
// (the frame's coordinates, like navigatorPlacement).
PixelRect ViewportRect(int scrollX, int scrollY, const PixelRect& imagePlacement,
                       const PixelRect& navigatorPlacement, int imageWidth, int imageHeight);
// A viewport box moved by the pointer, pushed back into the overview picture
// (left, then top, then right, then bottom), and the scroll position it
// stands for.
PixelRect ClampViewport(PixelRect moved, const PixelRect& navigatorPlacement);
QPoint ScrollForViewport(const PixelRect& clamped, const PixelRect& navigatorPlacement,
                         int imageWidth, int imageHeight);

// "(%5d pixel, %5d pixel)" rounded halves up, or "(%5.2f %%, %5.2f %%)".
QString PointReadout(bool pixel, double x, double y);
// "%5d pixel".
QString LengthReadout(int pixels);
// The fitted preview's corner labels: 0 top-left, 1 top-right, 2 bottom-left,
// 3 bottom-right.
QString CornerLabel(int corner, bool pixel, int imageWidth, int imageHeight);

// What a lossless crop of `resolved` writes: its top-left moved back to the
// iMCU grid, right and bottom kept. Unchanged for an empty rectangle or a
// grid without size.
PixelRect LosslessWrittenRegion(const PixelRect& resolved, int imcuWidth, int imcuHeight);
