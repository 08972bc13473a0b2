#include "engine/RecompressCrop.h"

#include "engine/Img.h"
#include "engine/JpegCodec.h"

#include <QFile>

namespace {

bool SourceIsJpeg(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && LooksLikeJpeg(file.read(3));
}

}  // namespace

RecompressCropResult RecompressCrop(const QString& source, const QString& destination,
                                    const PixelRect& rect, int quality, ExistingOutput existing,
                                    const CropMetadataOptions& metadata) {
    RecompressCropResult result;
    if (rect.IsEmpty()) {
        result.error = QStringLiteral("the rectangle is empty");
        return result;
    }
    QImage cut;
    std::vector<JpegMarker> markers;
    if (SourceIsJpeg(source)) {
        DecodedJpeg decoded = DecodeJpegRegion(source, rect, true);
        result.error = decoded.error;
        result.warnings = decoded.warnings;
        result.firstWarning = decoded.firstWarning;
        cut = std::move(decoded.image);
        markers = RecompressMarkers(decoded.markers, cut, metadata);
    } else {
        CImg whole;
        if (whole.Load(source) != 0) {
            const std::unique_ptr<CImg> part = whole.Crop(rect);
            if (part) cut = part->Image();
        }
        result.error = whole.LastError().isEmpty() ? QStringLiteral("cannot read the picture")
                                                   : whole.LastError();
        if (cut.isNull() && !whole.IsNull()) result.error = QStringLiteral("the rectangle leaves the picture");
    }
    if (cut.isNull()) return result;
    result.error.clear();
    result.ok = EncodeJpegFile(cut, destination, quality, existing, &result.error, markers);
    return result;
}

int RecompressCropFile(const QString& source, const QString& destination, const PixelRect& rect,
                       unsigned int quality) {
    const int clamped = static_cast<int>(std::min(quality, 100U));
    return RecompressCrop(source, destination, rect, clamped).ok ? 1 : 0;
}
