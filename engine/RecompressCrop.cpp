#include "engine/RecompressCrop.h"

#include "engine/JpegCodec.h"
#include "engine/OtherPictures.h"

#include <QFile>

namespace {

bool SourceIsJpeg(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && LooksLikeJpeg(file.read(3));
}

}  // namespace

RecompressCropResult RecompressCrop(const QString& source, const QString& destination,
                                    const PixelRect& rect, int quality, const OutputPolicy& output,
                                    const CropMetadataOptions& metadata) {
    RecompressCropResult result;
    if (rect.IsEmpty()) {
        result.error = QStringLiteral("the rectangle is empty");
        return result;
    }
    RgbPicture cut;
    std::vector<JpegMarker> markers;
    if (SourceIsJpeg(source)) {
        DecodedJpeg decoded = DecodeJpegRegion(source, rect, true);
        result.error = decoded.error;
        result.warnings = decoded.warnings;
        result.firstWarning = decoded.firstWarning;
        cut = std::move(decoded.image);
        markers = RecompressMarkers(decoded.markers, cut, metadata);
    } else {
        const RgbPicture whole = ReadOtherPicture(source, &result.error);
        cut = whole.Copy(rect);
        if (result.error.isEmpty())
            result.error = QStringLiteral("cannot read the picture");
        if (cut.IsNull() && !whole.IsNull())
            result.error = QStringLiteral("the rectangle leaves the picture");
    }
    if (cut.IsNull())
        return result;
    result.error.clear();
    result.ok =
        EncodeJpegFile(cut, destination, quality, output, &result.error, markers, &result.output);
    return result;
}

int RecompressCropFile(const QString& source, const QString& destination, const PixelRect& rect,
                       unsigned int quality) {
    const int clamped = static_cast<int>(std::min(quality, 100U));
    return RecompressCrop(source, destination, rect, clamped).ok ? 1 : 0;
}
