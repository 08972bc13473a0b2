#include "app/ViewLayout.h"

#include "engine/DrawingUtils.h"
#include "platform/HitTest.h"

#include <algorithm>
#include <cmath>

int Nearest(double value) {
    return static_cast<int>(std::trunc(value + 0.5));
}

namespace {

constexpr QSize kHintSize{150, 80};
constexpr int kListTop = 40;

QRect Button(int left, int top, const QSize& sheet, int columns) {
    return QRect(left, top, sheet.width() / columns, sheet.height() / 2);
}

QRect CenteredHint(int left, int top, int width, int height) {
    return QRect(left + (width - kHintSize.width()) / 2, top + (height - kHintSize.height()) / 2,
                 kHintSize.width(), kHintSize.height());
}

}  // namespace

ViewLayout ComputeViewLayout(int width, int height, const SheetSizes& sheets) {
    const double w = width;
    ViewLayout l;
    l.imageList = QRect(Nearest(w * 0.0125), kListTop, Nearest(w * 0.45625), height - 80);

    const QSize& remove = sheets.removeButtons;
    const int removeTop = height - remove.height() / 2 - 11;
    l.removeSelected = Button(Nearest(w * 0.1525) - remove.width() / 4, removeTop, remove, 2);
    l.removeAll = Button(Nearest(w * 0.33) - remove.width() / 4, removeTop, remove, 2);

    const int rightLeft = Nearest(w * 0.5125);
    const int rightWidth = Nearest(w * 0.475);
    const int listHeight = Nearest(height * 0.24166666666666667);
    l.rectangleList = QRect(rightLeft, kListTop, rightWidth, listHeight);

    const QSize& rect = sheets.rectangleButtons;
    const int rectTop = kListTop + listHeight + 25 - rect.height() / 2;
    l.add = Button(Nearest(w * 0.6225) - rect.width() / 8, rectTop, rect, 4);
    l.edit = Button(Nearest(w * 0.74875) - rect.width() / 8, rectTop, rect, 4);
    l.remove = Button(Nearest(w * 0.875) - rect.width() / 8, rectTop, rect, 4);

    const int previewTop = kListTop + listHeight + 34;
    l.preview = QRect(rightLeft, previewTop, rightWidth, height - kListTop - previewTop);
    const QSize& step = sheets.stepButtons;
    const int previewRight = l.preview.x() + l.preview.width();
    const int previewBottom = l.preview.y() + l.preview.height();
    l.next = Button(previewRight - step.width() / 2, previewBottom - step.height() / 2, step, 2);
    l.previous = Button(previewRight - step.width(), previewBottom - step.height() / 2, step, 2);
    l.previewCorner = QRect(previewRight - step.width(), previewBottom - step.height() / 2,
                            step.width(), step.height() / 2);

    const QSize& crop = sheets.cropButtons;
    const int cropTop = height - crop.height() / 2 - 9;
    l.cropSelected = Button(Nearest(w * 0.635) - crop.width() / 4, cropTop, crop, 2);
    l.cropAll = Button(Nearest(w * 0.8675) - crop.width() / 4, cropTop, crop, 2);

    l.close = QRect(width - 25, 6, 17, 17);
    l.minimise = l.close.translated(-21, 0);
    l.help = l.minimise.translated(-21, 0);
    l.home = l.help.translated(-21, 0);

    l.imagesHint = CenteredHint(Nearest(w * 0.0125), Nearest(height / 15.0), Nearest(w * 0.45625),
                                Nearest(height * 13.0 / 15.0));
    l.rectanglesHint = CenteredHint(rightLeft, Nearest(height / 15.0), rightWidth, listHeight);
    return l;
}

QRect ResizedFrame(const QRect& start, int hitCode, const QPoint& offset, const QSize& minimum) {
    int left = start.left();
    int top = start.top();
    int right = start.left() + start.width();
    int bottom = start.top() + start.height();
    const bool moveLeft =
        hitCode == kHitTopLeft || hitCode == kHitBottomLeft || hitCode == kHitLeft;
    const bool moveRight =
        hitCode == kHitTopRight || hitCode == kHitBottomRight || hitCode == kHitRight;
    const bool moveTop = hitCode == kHitTopLeft || hitCode == kHitTopRight || hitCode == kHitTop;
    const bool moveBottom =
        hitCode == kHitBottomLeft || hitCode == kHitBottomRight || hitCode == kHitBottom;
    if (moveLeft)
        left = std::min(left + offset.x(), right - minimum.width());
    if (moveRight)
        right = std::max(right + offset.x(), left + minimum.width());
    if (moveTop)
        top = std::min(top + offset.y(), bottom - minimum.height());
    if (moveBottom)
        bottom = std::max(bottom + offset.y(), top + minimum.height());
    return QRect(left, top, right - left, bottom - top);
}

int StepImage(int current, int count, const std::vector<int>& selectedAscending, bool forward) {
    if (count <= 0)
        return -1;
    current = std::clamp(current, 0, count - 1);
    if (selectedAscending.size() == 1)
        return selectedAscending.front();
    std::vector<int> members;
    if (selectedAscending.size() >= 2) {
        members = selectedAscending;
    } else {
        members.resize(static_cast<std::size_t>(count));
        for (int i = 0; i < count; ++i)
            members[static_cast<std::size_t>(i)] = i;
    }
    auto at = std::find(members.begin(), members.end(), current);
    if (at == members.end())
        at = members.begin();  // the first selected counts as current
    const auto n = static_cast<std::ptrdiff_t>(members.size());
    const std::ptrdiff_t index = at - members.begin();
    const std::ptrdiff_t next = forward ? (index + 1) % n : (index + n - 1) % n;
    return members[static_cast<std::size_t>(next)];
}

QString ImageCountText(bool japanese, int images, int selected) {
    const QString text =
        japanese ? QStringLiteral("%1 個の画像中 %2 個を選択しています").arg(images).arg(selected)
                 : QStringLiteral("%1 images(%2 selected)").arg(images).arg(selected);
    return text.left(63);
}

QRect PreviewPicturePlacement(QSize preview, QSize bitmap) {
    int w = bitmap.width();
    int h = bitmap.height();
    FitSize(w, h, preview.width(), preview.height());
    return QRect((preview.width() - w) / 2, (preview.height() - h) / 2, w, h);
}

PixelRect MapToPreview(const PixelRect& resolved, int imageWidth, const QRect& drawn) {
    if (imageWidth <= 0)
        return {};
    const double scale = static_cast<double>(drawn.width()) / imageWidth;
    return {Nearest(resolved.left * scale) + drawn.x(), Nearest(resolved.top * scale) + drawn.y(),
            Nearest(resolved.right * scale) + drawn.x(),
            Nearest(resolved.bottom * scale) + drawn.y()};
}

int PreviewRectangleAt(QPoint point, const std::vector<CCropRect>& rects, QSize imageSize,
                       const QRect& drawn) {
    if (!drawn.contains(point))
        return -1;
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const PixelRect resolved = rects[i].Resolve(imageSize.width(), imageSize.height());
        if (resolved.IsEmpty())
            continue;
        const PixelRect shown = MapToPreview(resolved, imageSize.width(), drawn);
        if (HitTestRect(4, point.x(), point.y(), shown, 4, 0) != kHitNothing) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

QString WebPageAddress(WebPage page, bool japanese) {
    QString path;
    if (page == WebPage::kHome) {
        path = japanese ? QStringLiteral("index.html") : QStringLiteral("index_e.html");
    } else {
        path = japanese ? QStringLiteral("pelmora/pelmora.html")
                        : QStringLiteral("pelmora/pelmora_e.html");
    }
    // The address is formed in a buffer of 260 characters.
    return QStringLiteral("http://%1/%2").arg(QStringLiteral(PELMORA_WEB_HOST), path).left(259);
}
