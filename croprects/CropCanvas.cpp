#include "croprects/CropCanvas.h"

#include "engine/DrawingUtils.h"
#include "engine/Img.h"
#include "engine/JpegInfo.h"
#include "platform/TextLayout.h"

#include <QFontMetrics>
#include <QPainter>

#include <cstring>

namespace {

constexpr ColorRef kGridColor = MakeColorRef(128, 128, 128);
constexpr ColorRef kViewportColor = MakeColorRef(0, 255, 0);
constexpr ColorRef kLabelColor = MakeColorRef(96, 96, 96);
constexpr int kLabelHeight = 16;

QPoint TopLeft(const PixelRect& rect) {
    return {rect.left, rect.top};
}

QRect ToQRect(const PixelRect& rect) {
    return {rect.left, rect.top, rect.Width(), rect.Height()};
}

}  // namespace

void DrawGrid(QImage& picture) {
    const int bytes = picture.depth() / 8;
    if (picture.isNull() || (bytes != 3 && bytes != 4))
        return;
    const QColor grey = ToQColor(kGridColor);
    unsigned char pixel[4] = {};
    if (bytes == 3) {
        pixel[0] = static_cast<unsigned char>(grey.red());
        pixel[1] = static_cast<unsigned char>(grey.green());
        pixel[2] = static_cast<unsigned char>(grey.blue());
    } else {
        const QRgb value = grey.rgb();
        std::memcpy(pixel, &value, sizeof value);
    }
    for (int y = 0; y < picture.height(); ++y) {
        unsigned char* row = picture.scanLine(y);
        if (y % kGridStep == 0 && y > 0) {
            for (int x = 0; x < picture.width(); ++x)
                std::memcpy(row + x * bytes, pixel, bytes);
            continue;
        }
        for (int x = kGridStep; x < picture.width(); x += kGridStep) {
            std::memcpy(row + x * bytes, pixel, bytes);
        }
    }
}

void CCropCanvas::Reset() {
    prepared_ = QImage();
    navigator_ = QImage();
    previewFailed_ = false;
    navigatorFailed_ = false;
    scrollX = 0;
    scrollY = 0;
}

void CCropCanvas::Prepare(const QString& path, QSize frame) {
    imageWidth_ = 0;
    imageHeight_ = 0;
    QImage picture =
        path.isEmpty() ? QImage() : DecodePicture(path, 0, 0, imageWidth_, imageHeight_);
    if (picture.format() != QImage::Format_RGB888 && !picture.isNull()) {
        picture = picture.convertToFormat(QImage::Format_RGB888);
    }
    if (picture.isNull()) {
        imageWidth_ = 0;
        imageHeight_ = 0;
        previewFailed_ = true;
        return;
    }
    imageWidth_ = picture.width();
    imageHeight_ = picture.height();
    const JpegInfo info = ReadJpegInfo(path);
    imcuWidth_ = info.ok ? info.imcuWidth : 0;
    imcuHeight_ = info.ok ? info.imcuHeight : 0;
    if (showGrid)
        DrawGrid(picture);
    if (!actualSize) {
        const PixelRect fitted =
            FittedPlacement(imageWidth_, imageHeight_, frame.width(), frame.height());
        picture = ResampleCubic(picture, fitted.Width(), fitted.Height())
                      .convertToFormat(QImage::Format_RGB32);
    }
    prepared_ = std::move(picture);
    previewFailed_ = prepared_.isNull();
}

bool CCropCanvas::ComposePreview(QImage& canvas, const QString& path, const CCropRect& rect) {
    if (prepared_.isNull() && !previewFailed_)
        Prepare(path, canvas.size());
    if (prepared_.isNull()) {
        hitRect_ = {};
        return false;
    }
    QPainter painter(&canvas);
    const PixelRect resolved = rect.Resolve(imageWidth_, imageHeight_);
    if (actualSize) {
        imagePlacement_ =
            ActualSizePlacement(imageWidth_, imageHeight_, canvas.width(), canvas.height());
        painter.drawImage(
            TopLeft(imagePlacement_), prepared_,
            QRect(scrollX, scrollY, imagePlacement_.Width(), imagePlacement_.Height()));
        hitRect_ = resolved;
    } else {
        const int left = (canvas.width() - prepared_.width()) / 2;
        const int top = (canvas.height() - prepared_.height()) / 2;
        imagePlacement_ = {left, top, left + prepared_.width(), top + prepared_.height()};
        painter.drawImage(TopLeft(imagePlacement_), prepared_);
        hitRect_ = ScaleEdges(resolved, DragScale());
    }
    DrawRectangle(painter, rect, resolved);
    if (!actualSize)
        DrawCornerLabels(painter, rect.isPixel != 0);
    return true;
}

void CCropCanvas::DrawRectangle(QPainter& painter, const CCropRect& rect,
                                const PixelRect& resolved) const {
    const QPoint origin =
        TopLeft(imagePlacement_) - (actualSize ? QPoint(scrollX, scrollY) : QPoint());
    const auto toFrame = [&](const PixelRect& hitSpace) {
        return Offset(hitSpace, origin.x(), origin.y());
    };
    if (!hitRect_.IsEmpty())
        DrawFrame(painter, toFrame(hitRect_), 2, rect.color);
    if (!lossless)
        return;
    const PixelRect written = LosslessWrittenRegion(resolved, imcuWidth_, imcuHeight_);
    if (written == resolved)
        return;
    const PixelRect shown = toFrame(actualSize ? written : ScaleEdges(written, DragScale()));
    QPen pen(ToQColor(rect.color), 1, Qt::DashLine);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(shown.left, shown.top, shown.Width() - 1, shown.Height() - 1);
}

void CCropCanvas::DrawCornerLabels(QPainter& painter, bool pixel) const {
    const QFont font = ProgramFont(kLabelHeight);
    const QFontMetrics metrics(font);
    painter.setFont(font);
    painter.setPen(ToQColor(kLabelColor));
    const int height = metrics.ascent() + metrics.descent();
    for (int corner = 0; corner < 4; ++corner) {
        const QString text = CornerLabel(corner, pixel, imageWidth_, imageHeight_);
        const bool right = corner == 1 || corner == 3;
        const bool bottom = corner >= 2;
        const int x = right ? imagePlacement_.right - metrics.horizontalAdvance(text) : 0;
        const int y = bottom ? imagePlacement_.bottom : imagePlacement_.top - height;
        painter.drawText(x, y + metrics.ascent(), text);
    }
}

void CCropCanvas::ComposeNavigator(QImage& canvas, const QString& path, const CCropRect& rect) {
    if (!actualSize)
        return;
    if (navigator_.isNull() && !navigatorFailed_) {
        int width = canvas.width();
        int height = canvas.height();
        CImg picture;
        if (!path.isEmpty() && picture.Load(path, width, height)) {
            navigator_ = picture.Image().convertToFormat(QImage::Format_RGB32);
            imageWidth_ = width;
            imageHeight_ = height;
        }
        navigatorFailed_ = navigator_.isNull();
    }
    if (navigator_.isNull())
        return;
    int b = imageWidth_;
    int c = imageHeight_;
    FitSize(b, c, canvas.width(), canvas.height());
    const int left = (canvas.width() - b) / 2;
    const int top = (canvas.height() - c) / 2;
    navigatorPlacement_ = {left, top, left + b, top + c};
    QPainter painter(&canvas);
    painter.drawImage(ToQRect(navigatorPlacement_), navigator_);
    const PixelRect box =
        NavigatorRect(rect.Resolve(imageWidth_, imageHeight_), b, c, imageWidth_, imageHeight_);
    if (!box.IsEmpty())
        DrawFrame(painter, Offset(box, left, top), 1, rect.color);
    viewportRect_ = ViewportRect(scrollX, scrollY, imagePlacement_, navigatorPlacement_,
                                 imageWidth_, imageHeight_);
    DrawFrame(painter, viewportRect_, 1, kViewportColor);
}

QPoint CCropCanvas::ToHitSpace(QPoint framePoint) const {
    const QPoint hit = framePoint - TopLeft(imagePlacement_);
    return actualSize ? hit + QPoint(scrollX, scrollY) : hit;
}

double CCropCanvas::DragScale() const {
    if (actualSize || imageWidth_ <= 0)
        return 1.0;
    return static_cast<double>(imagePlacement_.Width()) / imageWidth_;
}

PixelRect CCropCanvas::CursorClip(int hitCode) const {
    const PixelRect picture =
        actualSize ? PixelRect{0, 0, imageWidth_, imageHeight_}
                   : PixelRect{0, 0, imagePlacement_.Width(), imagePlacement_.Height()};
    const PixelRect clip = ComputeCursorClip(hitCode, hitRect_, picture, actualSize ? scrollX : 0,
                                             actualSize ? scrollY : 0);
    return clip.IsEmpty() ? clip : Offset(clip, imagePlacement_.left, imagePlacement_.top);
}
