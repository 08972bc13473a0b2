#include "engine/RgbPicture.h"

#include <stb_image_resize.h>

#include <algorithm>
#include <cstdint>
#include <cstring>

RgbPicture RgbPicture::Copy(const PixelRect& rect) const {
    if (IsNull() || rect.IsEmpty() || rect.left < 0 || rect.top < 0 || rect.right > width_ ||
        rect.bottom > height_) {
        return {};
    }
    RgbPicture part(rect.Width(), rect.Height());
    for (int y = 0; y < part.height_ && !part.IsNull(); ++y) {
        std::memcpy(part.Row(y), Row(rect.top + y) + rect.left * 3,
                    static_cast<std::size_t>(part.width_) * 3);
    }
    return part;
}

bool operator==(const RgbPicture& a, const RgbPicture& b) {
    if (a.Size() != b.Size())
        return false;
    for (int y = 0; y < a.height_; ++y) {
        if (std::memcmp(a.Row(y), b.Row(y), static_cast<std::size_t>(a.width_) * 3) != 0) {
            return false;
        }
    }
    return true;
}

void FitSize(int& width, int& height, int boxWidth, int boxHeight) {
    if (width == 0 || height == 0)
        return;
    const std::int64_t w = width;
    const std::int64_t h = height;
    const auto rounded = [](double value) {
        return static_cast<int>(std::clamp(value + 0.5, 1.0, 2147483647.0));
    };
    if (w * boxHeight > h * boxWidth) {
        height = rounded(static_cast<double>(h) * boxWidth / static_cast<double>(w));
        width = std::max(boxWidth, 1);
    } else {
        width = rounded(static_cast<double>(w) * boxHeight / static_cast<double>(h));
        height = std::max(boxHeight, 1);
    }
}

RgbPicture ResampleRgb(const RgbPicture& source, int width, int height) {
    if (source.IsNull() || width <= 0 || height <= 0)
        return {};
    RgbPicture scaled(width, height);
    if (scaled.IsNull())
        return {};
    const auto filterFor = [](int from, int to) {
        return to > from ? STBIR_FILTER_CATMULLROM : STBIR_FILTER_MITCHELL;
    };
    const int ok = stbir_resize(
        source.Row(0), source.Width(), source.Height(), static_cast<int>(source.BytesPerLine()),
        scaled.Row(0), width, height, static_cast<int>(scaled.BytesPerLine()), STBIR_TYPE_UINT8, 3,
        STBIR_ALPHA_CHANNEL_NONE, 0, STBIR_EDGE_CLAMP, STBIR_EDGE_CLAMP,
        filterFor(source.Width(), width), filterFor(source.Height(), height),
        STBIR_COLORSPACE_LINEAR, nullptr);
    return ok != 0 ? scaled : RgbPicture();
}
