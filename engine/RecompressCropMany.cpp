#include "engine/RecompressCropMany.h"

#include "engine/JpegCodec.h"
#include "engine/JpegInfo.h"
#include "engine/OtherPictures.h"

#include <QFile>

#include <algorithm>

namespace {

RecompressCropResult Failed(const QString& error) {
    RecompressCropResult result;
    result.error = error;
    return result;
}

bool Inside(const PixelRect& rect, int width, int height) {
    return !rect.IsEmpty() && rect.left >= 0 && rect.top >= 0 && rect.right <= width &&
           rect.bottom <= height;
}

// The decoded area every usable target lies in, with its offset.
struct DecodedArea {
    RgbPicture pixels;
    PixelRect bounds;
    QString error;
    std::vector<JpegMarker> markers;
    int warnings = 0;
    QString firstWarning;
};

DecodedArea DecodeArea(const QString& source, const std::vector<RecompressCropTarget>& targets) {
    DecodedArea area;
    QFile probe(source);
    const bool isJpeg = probe.open(QIODevice::ReadOnly) && LooksLikeJpeg(probe.read(3));
    probe.close();
    int width = 0;
    int height = 0;
    RgbPicture whole;
    if (isJpeg) {
        const JpegInfo info = ReadJpegInfo(source);
        area.error = info.error;
        width = info.width;
        height = info.height;
    } else {
        whole = ReadOtherPicture(source, &area.error);
        width = whole.Width();
        height = whole.Height();
        if (whole.IsNull() && area.error.isEmpty())
            area.error = QStringLiteral("cannot read the picture");
    }
    bool any = false;
    for (const RecompressCropTarget& target : targets) {
        if (!Inside(target.rect, width, height))
            continue;
        const PixelRect& r = target.rect;
        area.bounds =
            any ? PixelRect{std::min(area.bounds.left, r.left), std::min(area.bounds.top, r.top),
                            std::max(area.bounds.right, r.right),
                            std::max(area.bounds.bottom, r.bottom)}
                : r;
        any = true;
    }
    if (!any)
        return area;
    if (isJpeg) {
        DecodedJpeg decoded = DecodeJpegRegion(source, area.bounds, true);
        area.error = decoded.error;
        area.warnings = decoded.warnings;
        area.firstWarning = decoded.firstWarning;
        area.pixels = std::move(decoded.image);
        area.markers = std::move(decoded.markers);
    } else {
        area.pixels = whole.Copy(area.bounds);
    }
    return area;
}

}  // namespace

std::vector<RecompressCropResult> RecompressCropMany(
    const QString& source, const std::vector<RecompressCropTarget>& targets, int quality,
    const OutputPolicy& output, const CropMetadataOptions& metadata,
    const std::atomic<bool>* stop) {
    std::vector<RecompressCropResult> results;
    if (targets.empty())
        return results;
    const DecodedArea area = DecodeArea(source, targets);
    for (const RecompressCropTarget& target : targets) {
        const PixelRect& r = target.rect;
        if (stop != nullptr && stop->load()) {
            RecompressCropResult skipped = Failed(QStringLiteral("not done: stopped"));
            skipped.notDone = true;
            results.push_back(std::move(skipped));
            continue;
        }
        if (r.IsEmpty()) {
            results.push_back(Failed(QStringLiteral("the rectangle is empty")));
            continue;
        }
        if (area.pixels.IsNull()) {
            results.push_back(Failed(area.error.isEmpty()
                                         ? QStringLiteral("the rectangle leaves the picture")
                                         : area.error));
            continue;
        }
        if (r.left < area.bounds.left || r.top < area.bounds.top || r.right > area.bounds.right ||
            r.bottom > area.bounds.bottom) {
            results.push_back(Failed(QStringLiteral("the rectangle leaves the picture")));
            continue;
        }
        const RgbPicture cut =
            area.pixels.Copy({r.left - area.bounds.left, r.top - area.bounds.top,
                              r.right - area.bounds.left, r.bottom - area.bounds.top});
        RecompressCropResult result;
        result.warnings = area.warnings;
        result.firstWarning = area.firstWarning;
        result.ok = EncodeJpegFile(cut, target.destination, quality, output, &result.error,
                                   RecompressMarkers(area.markers, cut, metadata), &result.output);
        results.push_back(std::move(result));
    }
    return results;
}
