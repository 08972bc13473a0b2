#pragma once

#include "engine/Img.h"
#include "images/ThumbnailCache.h"

#include <QImage>
#include <QString>

#include <memory>
#include <optional>

// Thumbnails fit this box.
constexpr int kThumbnailBox = 96;

// One image of the collection: its path, a thumbnail of at most 96 x 96 and
// the full size recorded when it was added.
class CImgThumb {
  public:
    CImgThumb(QString path, std::unique_ptr<CImg> thumbnail, int width, int height)
        : path(std::move(path)), thumbnail(std::move(thumbnail)), width(width), height(height) {}
    virtual ~CImgThumb() = default;
    CImgThumb(const CImgThumb&) = delete;
    CImgThumb& operator=(const CImgThumb&) = delete;

    QString path;
    std::unique_ptr<CImg> thumbnail;
    int width = 0;
    int height = 0;
};

// The thumbnail step: decodes `path` fitted into the 96 x 96 box. Returns
// null when the file cannot be decoded.
std::unique_ptr<CImgThumb> MakeImageRecord(const QString& path);

// What the shared thumbnail cache should learn from a decode: a normal entry
// (`picture` already fitted to its size) or, without a picture, a failure.
struct ThumbnailCacheEntry {
    ThumbnailSource source;
    QString path;
    QImage picture;
    int photoWidth = 0;
    int photoHeight = 0;
    QByteArray mimeType;
    bool Failed() const { return picture.isNull(); }
};

struct ImageRecordResult {
    std::unique_ptr<CImgThumb> record;         // null: cannot be thumbnailed
    std::optional<ThumbnailCacheEntry> entry;  // to be written later, off the UI thread
};

// The thumbnail step through the shared cache: a valid entry gives the
// thumbnail (fitted by the same rules) and the photo's size from its JPEG
// header or the entry's keys, without decoding the photo; otherwise the
// photo is decoded (DCT-scaled for the normal size), fitted to the entry
// that comes back to be written, and the thumbnail made from that picture,
// so the next start shows the very same one. A null cache is
// MakeImageRecord.
ImageRecordResult MakeImageRecord(const QString& path, const ThumbnailCache* cache);

// Photos decoded for a thumbnail so far in this process (all threads).
long ThumbnailDecodeCount();
