#pragma once

// The desktop's shared thumbnail cache (the freedesktop.org thumbnail
// standard): PNG pictures under $XDG_CACHE_HOME/thumbnails (else
// ~/.cache/thumbnails), in normal/ (128 px) and large/ (256 px), each named
// by the MD5 of its file's URI and carrying that URI and the file's
// modification time in tEXt chunks. File managers fill and read it; so do we.
// Nothing here touches a widget, and every call is safe on any thread.

#include "platform/Status.h"

#include <QByteArray>
#include <QImage>
#include <QString>

#include <optional>
#include <utility>
#include <vector>

// The cache folder ("…/thumbnails") for the current environment.
QString DefaultThumbnailCacheRoot();

// "file://" and the path's bytes, percent-encoded except letters, digits,
// "/" and the marks a URI allows in a path.
QByteArray FileUri(const QString& absolutePath);

// The identity of a file as the cache knows it; `ok` false when the file
// cannot be found.
struct ThumbnailSource {
    bool ok = false;
    QByteArray uri;
    qint64 mtime = 0;  // seconds since the epoch
    qint64 size = 0;
};
ThumbnailSource IdentifyThumbnailSource(const QString& path);

// "<md5 of the URI in lower-case hex>.png".
QString ThumbnailFileName(const QByteArray& uri);

// A PNG's pixels and its text chunks (tEXt, zTXt and iTXt), read only when
// every chunk is whole, its CRC right and IEND present.
struct PngWithText {
    QImage image;
    std::vector<std::pair<QByteArray, QByteArray>> text;
    QByteArray Text(const QByteArray& key) const;
};
std::optional<PngWithText> ReadPngWithText(const QByteArray& bytes);
// The picture as PNG with the texts as tEXt chunks right after IHDR.
QByteArray EncodePngWithText(const QImage& image,
                             const std::vector<std::pair<QByteArray, QByteArray>>& text);

// A valid entry: its picture and, when the entry says it, the photo's size.
struct CachedThumbnail {
    QImage image;
    int photoWidth = 0;  // 0 when the entry does not say
    int photoHeight = 0;
};

class ThumbnailCache {
  public:
    static constexpr int kNormalSize = 128;
    static constexpr int kLargeSize = 256;

    explicit ThumbnailCache(QString root = DefaultThumbnailCacheRoot());

    const QString& Root() const { return root_; }

    // The normal entry, else the large one, when its Thumb::URI and
    // Thumb::MTime (and Thumb::Size when present) match `source` and its
    // PNG is whole; anything else is no entry.
    std::optional<CachedThumbnail> Find(const ThumbnailSource& source) const;
    // Whether our own failure entry for this very file exists.
    bool HasFailure(const ThumbnailSource& source) const;

    // Writes the normal entry: `picture` fitted into 128 x 128 (never
    // enlarged) with the standard's keys, under a temporary name in the
    // same folder, then renamed; folders 0700, the file 0600.
    Status Store(const ThumbnailSource& source, const QImage& picture, int photoWidth,
                 int photoHeight, const QByteArray& mimeType = "image/jpeg") const;
    // Writes the failure entry under fail/pelmora/.
    Status StoreFailure(const ThumbnailSource& source) const;

    QString NormalPath(const ThumbnailSource& source) const;
    QString LargePath(const ThumbnailSource& source) const;
    QString FailurePath(const ThumbnailSource& source) const;

  private:
    std::optional<CachedThumbnail> Read(const QString& file, const ThumbnailSource& source) const;
    Status Write(const QString& folder, const QString& name, const QByteArray& bytes) const;

    QString root_;
};

// The picture a normal entry holds for a photo of this size: fitted into
// 128 x 128, or the photo's own size when it is smaller.
QSize NormalThumbnailSize(int photoWidth, int photoHeight);
