#pragma once

// The re-compressing crop: rectangles cut to the exact pixel out of a picture
// decoded once, each saved as a new JPEG.

#include "engine/Crop.h"
#include "engine/CropMetadata.h"
#include "platform/OutputPolicy.h"

#include <QString>

#include <atomic>
#include <vector>

// Decodes `source` once (a JPEG only as far as the rectangles together
// reach) and encodes each target's rectangle with `quality` (1..100); one
// outcome per target, in order. The source's colour profile is kept; its Exif
// block only when `metadata` asks for it (with true dimensions and
// thumbnail). Other picture formats go through ReadOtherPicture. Once `stop`
// is set no further target is started (those come back not done).
std::vector<CropOutcome> RecompressCrop(const QString& source,
                                        const std::vector<CropTarget>& targets, int quality,
                                        const OutputPolicy& output = {},
                                        const CropMetadataOptions& metadata = {},
                                        const std::atomic<bool>* stop = nullptr);

// One rectangle: the one-element case of the call above.
CropOutcome RecompressCrop(const QString& source, const QString& destination, const PixelRect& rect,
                           int quality, const OutputPolicy& output = {},
                           const CropMetadataOptions& metadata = {});

// The program's entry point: 1 when the destination was written, else 0.
int RecompressCropFile(const QString& source, const QString& destination, const PixelRect& rect,
                       unsigned int quality);
