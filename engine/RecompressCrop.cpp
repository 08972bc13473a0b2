#include "engine/RecompressCrop.h"

#include "engine/JpegCodec.h"
#include "engine/JpegInfo.h"
#include "engine/OtherPictures.h"

#include <QFile>

#include <algorithm>

namespace {

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

DecodedArea DecodeArea(const QString& source, const std::vector<CropTarget>& targets) {
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
    for (const CropTarget& target : targets) {
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

CropOutcome EncodeTarget(const DecodedArea& area, const CropTarget& target, int quality,
                         const OutputPolicy& output, const CropMetadataOptions& metadata) {
    const PixelRect& r = target.rect;
    if (r.IsEmpty())
        return Failed(QStringLiteral("the rectangle is empty"));
    if (area.pixels.IsNull()) {
        return Failed(area.error.isEmpty() ? QStringLiteral("the rectangle leaves the picture")
                                           : area.error);
    }
    if (r.left < area.bounds.left || r.top < area.bounds.top || r.right > area.bounds.right ||
        r.bottom > area.bounds.bottom) {
        return Failed(QStringLiteral("the rectangle leaves the picture"));
    }
    const RgbPicture cut =
        area.pixels.Copy({r.left - area.bounds.left, r.top - area.bounds.top,
                          r.right - area.bounds.left, r.bottom - area.bounds.top});
    CropOutcome outcome;
    outcome.warnings = area.warnings;
    outcome.firstWarning = area.firstWarning;
    const WrittenJpeg written = EncodeJpegFile(cut, target.destination, quality, output,
                                               RecompressMarkers(area.markers, cut, metadata));
    outcome.status = written.status;
    if (written.status.ok()) {
        outcome.output = written.path;
        outcome.written = r;
    }
    return outcome;
}

}  // namespace

std::vector<CropOutcome> RecompressCrop(const QString& source,
                                        const std::vector<CropTarget>& targets, int quality,
                                        const OutputPolicy& output,
                                        const CropMetadataOptions& metadata,
                                        const std::atomic<bool>* stop) {
    std::vector<CropOutcome> outcomes;
    if (targets.empty())
        return outcomes;
    const DecodedArea area = DecodeArea(source, targets);
    for (const CropTarget& target : targets) {
        if (stop != nullptr && stop->load()) {
            outcomes.push_back(NotDone());
        } else {
            outcomes.push_back(EncodeTarget(area, target, quality, output, metadata));
        }
    }
    return outcomes;
}

CropOutcome RecompressCrop(const QString& source, const QString& destination, const PixelRect& rect,
                           int quality, const OutputPolicy& output,
                           const CropMetadataOptions& metadata) {
    return RecompressCrop(source, {CropTarget{destination, rect}}, quality, output, metadata)
        .front();
}

int RecompressCropFile(const QString& source, const QString& destination, const PixelRect& rect,
                       unsigned int quality) {
    const int clamped = static_cast<int>(std::min(quality, 100U));
    return RecompressCrop(source, destination, rect, clamped).status.ok() ? 1 : 0;
}
