#pragma once

// The main view's geometry as plain arithmetic: where every child sits for a
// client size, where the hint cards go, how the window grows under a dragged
// edge, and which image the previous and next commands show.

#include "croprects/CropRect.h"

#include <QRect>
#include <QSize>
#include <QString>

#include <vector>

// x + 0.5, truncated.
int Nearest(double value);

struct SheetSizes {
    QSize rectangleButtons{280, 36};  // edit, add, delete
    QSize cropButtons{320, 48};       // crop selected, crop all (400 wide in Japanese)
    QSize removeButtons{140, 36};     // remove selected, remove all
    QSize stepButtons{40, 36};        // previous, next
};

struct ViewLayout {
    QRect imageList;
    QRect removeSelected;
    QRect removeAll;
    QRect rectangleList;
    QRect add;
    QRect edit;
    QRect remove;  // delete rectangle
    QRect preview;
    QRect previewCorner;  // cut out of the preview: the step buttons sit there
    QRect previous;
    QRect next;
    QRect cropSelected;
    QRect cropAll;
    QRect close;
    QRect minimise;
    QRect help;
    QRect home;
    QRect imagesHint;  // 150 x 80, view coordinates
    QRect rectanglesHint;
};

ViewLayout ComputeViewLayout(int width, int height, const SheetSizes& sheets);

// The smallest window the view may be dragged to.
inline constexpr QSize kMinimumFrameSize{800, 600};

// The frame rectangle after dragging handle `hitCode` (the HitTestRect codes
// 1..8) by `offset` from where it was at the press, never smaller than the
// minimum: a corner moves its two edges, an edge itself.
QRect ResizedFrame(const QRect& start, int hitCode, const QPoint& offset,
                   const QSize& minimum = kMinimumFrameSize);

// The current image after the previous (forward false) or next command: the
// selected images take part when two or more are selected, else all; exactly
// one selected image stays shown. -1 for an empty collection.
int StepImage(int current, int count, const std::vector<int>& selectedAscending, bool forward);

// The status line's image count text.
QString ImageCountText(bool japanese, int images, int selected);

// Where a picture of `bitmap` size stands in a preview of `preview` size:
// fitted keeping its proportions (enlarged when smaller) and centred, halves
// truncated.
QRect PreviewPicturePlacement(QSize preview, QSize bitmap);

// A rectangle resolved on an image `imageWidth` wide, as drawn over the
// picture at `drawn`: every coordinate scaled by the drawn width over the
// image width and rounded, then moved to the picture's origin.
PixelRect MapToPreview(const PixelRect& resolved, int imageWidth, const QRect& drawn);

// The first rectangle, in list order, whose outline lies under `point`
// (preview coordinates, handles of 4 pixels): -1 when there is none or the
// point lies outside the drawn picture. Rectangles resolving to nothing on
// the image are never found.
int PreviewRectangleAt(QPoint point, const std::vector<CCropRect>& rects, QSize imageSize,
                       const QRect& drawn);

enum class WebPage { kHome, kHelp };

// The address of one of the vendor's pages in the language of the texts,
// on the web host the program was built with.
QString WebPageAddress(WebPage page, bool japanese);
