#include "images/ImgThumb.h"

std::unique_ptr<CImgThumb> MakeImageRecord(const QString& path) {
    auto thumbnail = std::make_unique<CImg>();
    int width = kThumbnailBox;
    int height = kThumbnailBox;
    if (thumbnail->Load(path, width, height) == 0)
        return nullptr;
    return std::make_unique<CImgThumb>(path, std::move(thumbnail), width, height);
}
