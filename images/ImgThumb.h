#pragma once

#include "engine/Img.h"

#include <QString>

#include <memory>

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
