#include "images/ImgThumb.h"

#include "engine/JpegCodec.h"
#include "engine/JpegInfo.h"
#include "engine/RgbPicture.h"

#include <QFile>

#include <algorithm>
#include <atomic>
#include <cstdlib>

namespace {

std::atomic<long> g_decodes{0};

// Whether a cached picture shows the photo in its own proportions: an entry
// made by a program that turned the photo upright does not.
bool SameProportions(const QSize& cached, int photoWidth, int photoHeight) {
    const int side = std::max(cached.width(), cached.height());
    int w = photoWidth;
    int h = photoHeight;
    if (w > side || h > side)
        FitSize(w, h, side, side);
    return std::abs(w - cached.width()) <= 2 && std::abs(h - cached.height()) <= 2;
}

// The record of a photo of width x height whose picture, at any size, is given.
std::unique_ptr<CImgThumb> RecordFromPicture(const QString& path, const QImage& picture, int width,
                                             int height) {
    int w = width;
    int h = height;
    FitSize(w, h, kThumbnailBox, kThumbnailBox);
    auto thumbnail = std::make_unique<CImg>(ResampleCubic(picture, w, h));
    if (thumbnail->IsNull() || !thumbnail->ToTrueColor())
        return nullptr;
    return std::make_unique<CImgThumb>(path, std::move(thumbnail), width, height);
}

std::unique_ptr<CImgThumb> RecordFromEntry(const QString& path, const CachedThumbnail& cached) {
    int width = cached.photoWidth;
    int height = cached.photoHeight;
    const JpegInfo header = ReadJpegInfo(path);
    if (header.ok) {
        width = header.width;
        height = header.height;
    }
    if (width <= 0 || height <= 0 || !SameProportions(cached.image.size(), width, height))
        return nullptr;
    return RecordFromPicture(path, cached.image, width, height);
}

bool StartsLikeJpeg(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) && LooksLikeJpeg(file.read(3));
}

}  // namespace

long ThumbnailDecodeCount() {
    return g_decodes.load();
}

std::unique_ptr<CImgThumb> MakeImageRecord(const QString& path) {
    ++g_decodes;
    auto thumbnail = std::make_unique<CImg>();
    int width = kThumbnailBox;
    int height = kThumbnailBox;
    if (thumbnail->Load(path, width, height) == 0)
        return nullptr;
    return std::make_unique<CImgThumb>(path, std::move(thumbnail), width, height);
}

ImageRecordResult MakeImageRecord(const QString& path, const ThumbnailCache* cache) {
    ImageRecordResult result;
    if (cache == nullptr) {
        result.record = MakeImageRecord(path);
        return result;
    }
    const ThumbnailSource source = IdentifyThumbnailSource(path);
    bool unusableEntry = false;
    if (source.ok) {
        if (const auto cached = cache->Find(source)) {
            result.record = RecordFromEntry(path, *cached);
            if (result.record)
                return result;
            unusableEntry = true;
        } else if (cache->HasFailure(source)) {
            return result;
        }
    }
    // Decoded for the normal size (the same DCT scale as for 96 pixels on
    // camera-sized photos) and fitted once; the thumbnail is made from that
    // picture, as from an entry at the next start, so it never changes.
    ++g_decodes;
    int width = 0;
    int height = 0;
    CImg decoded(DecodePicture(path, ThumbnailCache::kNormalSize, ThumbnailCache::kNormalSize,
                               width, height));
    if (!source.ok)
        return result;
    ThumbnailCacheEntry entry;
    entry.source = source;
    entry.path = path;
    if (!decoded.IsNull() && decoded.ToTrueColor()) {
        const QSize size = NormalThumbnailSize(width, height);
        entry.picture = decoded.Image().size() == size
                            ? decoded.Image()
                            : ResampleCubic(decoded.Image(), size.width(), size.height());
        entry.photoWidth = width;
        entry.photoHeight = height;
        entry.mimeType = StartsLikeJpeg(path) ? QByteArray("image/jpeg") : QByteArray();
        result.record = RecordFromPicture(path, entry.picture, width, height);
    }
    // An entry found but not usable here (turned upright) stays as it is.
    if (!unusableEntry)
        result.entry = std::move(entry);
    return result;
}
