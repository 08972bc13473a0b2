#pragma once

#include "engine/RecompressCrop.h"

#include <QString>

#include <atomic>
#include <vector>

struct RecompressCropTarget {
    QString destination;
    PixelRect rect;
};

// Cuts several rectangles out of one picture, decoding it once (a JPEG only
// as far as the rectangles together reach), and encodes each cut. Each target
// gets the file and result RecompressCrop would give it alone.
std::vector<RecompressCropResult> RecompressCropMany(
    const QString& source, const std::vector<RecompressCropTarget>& targets, int quality,
    const OutputPolicy& output, const CropMetadataOptions& metadata = {},
    const std::atomic<bool>* stop = nullptr);
