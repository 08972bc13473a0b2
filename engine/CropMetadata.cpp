#include "engine/CropMetadata.h"

#include "engine/CoefficientPicture.h"
#include "engine/ExifEditor.h"
#include "engine/XmpEditor.h"

#include <cstring>

namespace {

constexpr int kThumbnailQuality = 85;
// A rebuilt thumbnail is never longer than this, whatever the old one's
// header claims: an Exif block holds 64 KB at most, and a forged size must
// not make a crop build a picture of gigabytes.
constexpr int kMaxExifThumbnailSide = 640;
const QByteArray kExifPrefix("Exif\0\0", 6);
const QByteArray kIccPrefix("ICC_PROFILE\0", 12);

QByteArray MarkerBytes(const jpeg_marker_struct* marker) {
    return QByteArray(reinterpret_cast<const char*>(marker->data),
                      static_cast<qsizetype>(marker->data_length));
}

// The thumbnail JPEG of `picture` fitted to `longestSide`.
QByteArray ThumbnailBytes(const RgbPicture& picture, int longestSide) {
    if (picture.IsNull())
        return {};
    int width = picture.Width();
    int height = picture.Height();
    FitSize(width, height, longestSide, longestSide);
    const RgbPicture fitted =
        picture.Size() == QSize(width, height) ? picture : ResampleRgb(picture, width, height);
    return EncodeJpegBytes(fitted, kThumbnailQuality);
}

}  // namespace

bool IsXmpMarker(const jpeg_marker_struct* marker) {
    const auto length = sizeof kXmpSignature;  // the signature and its zero byte
    return marker->marker == JPEG_APP0 + 1 && marker->data_length >= length &&
           std::memcmp(marker->data, kXmpSignature, length) == 0;
}

QByteArray EditExifTiff(QByteArray tiff, quint32 width, quint32 height, bool rebuildThumbnail,
                        const std::function<RgbPicture(int)>& thumbnailOf) {
    AdjustExifDimensions(reinterpret_cast<JOCTET*>(tiff.data()),
                         static_cast<unsigned int>(tiff.size()), width, height);
    RewriteIfd0Dimensions(tiff, width, height);
    ExifThumbnailPlace place;
    if (!rebuildThumbnail || !FindExifThumbnail(tiff, place))
        return tiff;
    const QSize old = JpegStreamSize(tiff.mid(place.offset, place.length));
    const int side = old.isValid() && !old.isEmpty()
                         ? std::min(std::max(old.width(), old.height()), kMaxExifThumbnailSide)
                         : kDefaultExifThumbnailSide;
    ReplaceExifThumbnail(tiff, ThumbnailBytes(thumbnailOf(side), side), kMaxExifTiffSize);
    return tiff;
}

void LosslessMarkerEdit::Replace(jpeg_marker_struct* marker, QByteArray data) {
    swaps_.push_back({marker, marker->data, marker->data_length, std::move(data)});
    Swap& swap = swaps_.back();
    marker->data = reinterpret_cast<JOCTET*>(swap.buffer.data());
    marker->data_length = static_cast<unsigned int>(swap.buffer.size());
}

bool LosslessMarkerEdit::Apply(j_decompress_ptr source, jvirt_barray_ptr* arrays,
                               const TransformOptions& options,
                               const CropMetadataOptions& metadata) {
    if (options.outputWidth == source->image_width &&
        options.outputHeight == source->image_height) {
        return true;  // the whole picture: every tag and thumbnail still tells the truth
    }
    bool exifDone = false;
    bool xmpDone = false;
    for (jpeg_marker_struct* marker = source->marker_list; marker != nullptr;
         marker = marker->next) {
        if (!exifDone && IsExifMarker(marker)) {
            exifDone = true;
            bool blocksFailed = false;
            const QByteArray tiff =
                EditExifTiff(MarkerBytes(marker).mid(6), options.outputWidth, options.outputHeight,
                             metadata.rebuildExifThumbnail, [&](int side) {
                                 std::optional<RgbPicture> picture =
                                     PictureFromCoefficients(source, arrays, options, side);
                                 blocksFailed = !picture.has_value();
                                 return picture.value_or(RgbPicture());
                             });
            if (blocksFailed)
                return false;
            Replace(marker, kExifPrefix + tiff);
        } else if (!xmpDone && IsXmpMarker(marker)) {
            xmpDone = true;
            const qsizetype head = sizeof kXmpSignature;
            QByteArray packet = MarkerBytes(marker).mid(head);
            const XmpEdit edit =
                RewriteXmpDimensions(packet, options.outputWidth, options.outputHeight);
            if (edit == XmpEdit::kUpdated)
                Replace(marker, MarkerBytes(marker).left(head) + packet);
            if (edit == XmpEdit::kNoRoom) {
                notes_.append(QStringLiteral(
                    "XMP dimensions left unchanged: the packet has no room for the new numbers"));
            }
        }
    }
    return true;
}

void LosslessMarkerEdit::Restore() {
    for (auto it = swaps_.rbegin(); it != swaps_.rend(); ++it) {
        it->marker->data = it->data;
        it->marker->data_length = it->length;
    }
    swaps_.clear();
}

std::vector<JpegMarker> RecompressMarkers(const std::vector<JpegMarker>& source,
                                          const RgbPicture& cut,
                                          const CropMetadataOptions& metadata) {
    std::vector<JpegMarker> kept;
    bool exifDone = false;
    for (const JpegMarker& marker : source) {
        if (marker.code == JPEG_APP0 + 2 && marker.data.startsWith(kIccPrefix)) {
            kept.push_back(marker);
        } else if (metadata.keepExifOnRecompress && !exifDone && marker.code == JPEG_APP0 + 1 &&
                   marker.data.startsWith(kExifPrefix)) {
            exifDone = true;
            const QByteArray tiff =
                EditExifTiff(marker.data.mid(6), static_cast<quint32>(cut.Width()),
                             static_cast<quint32>(cut.Height()), metadata.rebuildExifThumbnail,
                             [&](int) { return cut; });
            kept.push_back({marker.code, kExifPrefix + tiff});
        }
    }
    return kept;
}
