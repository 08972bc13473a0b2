#pragma once

// JPEG decoding and encoding through libjpeg-turbo, into and out of 24-bit
// RGB images. No Exif orientation is applied anywhere: pixels stay in the
// stored order, the coordinates the lossless crop uses.

#include "engine/RgbPicture.h"
#include "platform/OutputPolicy.h"
#include "platform/PixelRect.h"
#include "platform/Status.h"

#include <QByteArray>
#include <QString>

#include <vector>

struct JpegMarker {
    int code = 0;
    QByteArray data;
};

struct DecodedJpeg {
    RgbPicture image;  // null on failure
    int fullWidth = 0;
    int fullHeight = 0;
    QString error;
    std::vector<JpegMarker> markers;  // APP1 and APP2 markers, when asked for
    int warnings = 0;                 // libjpeg warnings (corrupt data and the like); not failures
    QString firstWarning;             // the first of them
};

// True when the bytes start like a JPEG file.
bool LooksLikeJpeg(const QByteArray& head);

// Decodes the whole picture. With a fit box, decodes at the smallest DCT scale
// (1/8 .. 8/8) whose result is at least the picture's size fitted into the
// box (FitSize) in both directions, so a thumbnail never needs the full-size
// pixels. The caller resamples to the fitted size.
DecodedJpeg DecodeJpegFile(const QString& path, int boxWidth = 0, int boxHeight = 0);
DecodedJpeg DecodeJpegMemory(const QByteArray& data, int boxWidth = 0, int boxHeight = 0);

// Decodes only the rows and block columns that `region` needs and returns
// exactly its pixels, identical to the same region of a full decode.
// With `keepMarkers`, the source's APP1 and APP2 markers come along in order.
DecodedJpeg DecodeJpegRegion(const QString& path, const PixelRect& region,
                             bool keepMarkers = false);

// What EncodeJpegFile did: on success, the name the file got (another than
// the one asked for with kNextFreeName).
struct WrittenJpeg {
    Status status;
    QString path;
};

// Encodes a three-component colour JPEG with the given quality (1..100). The
// file appears under `path` only when complete.
// `markers` are written after the JFIF header, in order.
WrittenJpeg EncodeJpegFile(const RgbPicture& image, const QString& path, int quality,
                           const OutputPolicy& output, const std::vector<JpegMarker>& markers = {});

// A bare JPEG stream (no JFIF header), as embedded thumbnails are stored,
// with `markers` after the start of image. Empty on failure (logged).
QByteArray EncodeJpegBytes(const RgbPicture& image, int quality,
                           const std::vector<JpegMarker>& markers = {});
