#pragma once

// The pixels the JPEG code reads and writes: 24-bit RGB rows, each padded to
// four bytes as in QImage::Format_RGB888, in an implicitly shared byte array.
// Qt Core alone, so the lossless crop and the command line tool never load
// Qt Gui; windows wrap a picture as a QImage without copying (ToQImage).

#include "platform/PixelRect.h"

#include <QByteArray>
#include <QSize>

#include <limits>

class RgbPicture {
  public:
    RgbPicture() = default;
    // Uninitialised pixels; null when the size is empty or cannot be held.
    // Inline, so that readers of other formats need nothing else of ours.
    RgbPicture(int width, int height) {
        if (width <= 0 || height <= 0)
            return;
        const qsizetype stride = (static_cast<qsizetype>(width) * 3 + 3) & ~qsizetype{3};
        if (stride > std::numeric_limits<int>::max() / height)
            return;  // as QImage refuses
        bytes_ = QByteArray(stride * height, Qt::Uninitialized);
        if (bytes_.size() != stride * height)
            return;
        width_ = width;
        height_ = height;
        stride_ = stride;
    }

    bool IsNull() const { return width_ <= 0; }
    int Width() const { return width_; }
    int Height() const { return height_; }
    QSize Size() const { return {width_, height_}; }
    qsizetype BytesPerLine() const { return stride_; }
    uchar* Row(int y) { return reinterpret_cast<uchar*>(bytes_.data()) + y * stride_; }
    const uchar* Row(int y) const {
        return reinterpret_cast<const uchar*>(bytes_.constData()) + y * stride_;
    }
    const QByteArray& Bytes() const { return bytes_; }

    // Exactly `rect` of this picture; null when it is empty or leaves the picture.
    RgbPicture Copy(const PixelRect& rect) const;

    friend bool operator==(const RgbPicture& a, const RgbPicture& b);

  private:
    int width_ = 0;
    int height_ = 0;
    qsizetype stride_ = 0;
    QByteArray bytes_;
};

// Replaces (width, height) by the size of the same proportions that fits
// (boxWidth, boxHeight), enlarging as well as reducing; each side at least 1.
// A size with a zero side is left unchanged.
void FitSize(int& width, int& height, int boxWidth, int boxHeight);

// `source` resampled to exactly width x height with a cubic filter (Mitchell
// where it shrinks, Catmull-Rom where it grows); null on failure.
RgbPicture ResampleRgb(const RgbPicture& source, int width, int height);
