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

struct Decoded {
    std::unique_ptr<CImg> thumbnail;  // null on failure
    QImage picture;                   // as decoded (DCT-scaled), before fitting
    int width = 0;
    int height = 0;
};

// The photo's thumbnail as CImg::Load fits it, keeping the decoded picture.
Decoded DecodeThumbnail(const QString& path) {
    ++g_decodes;
    Decoded decoded;
    QString error;
    QImage picture =
        DecodePicture(path, kThumbnailBox, kThumbnailBox, decoded.width, decoded.height, &error);
    auto thumbnail = std::make_unique<CImg>(picture);
    if (picture.isNull() || !thumbnail->ToTrueColor())
        return decoded;
    int w = decoded.width;
    int h = decoded.height;
    FitSize(w, h, kThumbnailBox, kThumbnailBox);
    if (w != thumbnail->GetWidth() || h != thumbnail->GetHeight())
        thumbnail->ScaleTo(w, h);
    decoded.thumbnail = std::move(thumbnail);
    decoded.picture = std::move(picture);
    return decoded;
}

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
    int w = width;
    int h = height;
    FitSize(w, h, kThumbnailBox, kThumbnailBox);
    auto thumbnail = std::make_unique<CImg>(ResampleCubic(cached.image, w, h));
    if (thumbnail->IsNull() || !thumbnail->ToTrueColor())
        return nullptr;
    return std::make_unique<CImgThumb>(path, std::move(thumbnail), width, height);
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
    Decoded decoded = DecodeThumbnail(path);
    if (!decoded.thumbnail)
        return nullptr;
    return std::make_unique<CImgThumb>(path, std::move(decoded.thumbnail), decoded.width,
                                       decoded.height);
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
    Decoded decoded = DecodeThumbnail(path);
    if (!source.ok)
        return result;
    ThumbnailCacheEntry entry;
    entry.source = source;
    entry.path = path;
    if (decoded.thumbnail) {
        // Fitted now, so a long list holds small pictures until they are written.
        const QSize size = NormalThumbnailSize(decoded.width, decoded.height);
        if (decoded.picture.width() < size.width() || decoded.picture.height() < size.height()) {
            // A small photo decoded at a scale that covers 96 but not 128.
            int w = 0;
            int h = 0;
            QImage larger =
                DecodePicture(path, ThumbnailCache::kNormalSize, ThumbnailCache::kNormalSize, w, h);
            if (!larger.isNull() && w == decoded.width && h == decoded.height)
                decoded.picture = std::move(larger);
        }
        entry.picture = decoded.picture.size() == size
                            ? decoded.picture
                            : ResampleCubic(decoded.picture, size.width(), size.height());
        entry.photoWidth = decoded.width;
        entry.photoHeight = decoded.height;
        entry.mimeType = StartsLikeJpeg(path) ? QByteArray("image/jpeg") : QByteArray();
        result.record = std::make_unique<CImgThumb>(path, std::move(decoded.thumbnail),
                                                    decoded.width, decoded.height);
    }
    // An entry found but not usable here (turned upright) stays as it is.
    if (!unusableEntry)
        result.entry = std::move(entry);
    return result;
}
