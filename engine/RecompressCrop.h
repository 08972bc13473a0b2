#pragma once

#include "engine/CropMetadata.h"
#include "platform/OutputPolicy.h"
#include "platform/PixelRect.h"

#include <QString>

struct RecompressCropResult {
    bool ok = false;
    QString error;
    bool notDone = false;  // never attempted: the run was stopped first
    int warnings = 0;      // libjpeg warnings while decoding the source; not failures
    QString firstWarning;  // the first of them
    QString output;        // the file written (another name than asked with kNextFreeName)
};

// Cuts `rect` out of the picture at `source` to the exact pixel and saves it
// as a new JPEG with `quality` (1..100). JPEG sources are decoded only as far
// as the rectangle needs. The source's colour profile is kept; its Exif block
// only when `metadata` asks for it (with true dimensions and thumbnail).
RecompressCropResult RecompressCrop(const QString& source, const QString& destination,
                                    const PixelRect& rect, int quality,
                                    const OutputPolicy& output = {},
                                    const CropMetadataOptions& metadata = {});

// The program's entry point: 1 when the destination was written, else 0.
int RecompressCropFile(const QString& source, const QString& destination, const PixelRect& rect,
                       unsigned int quality);
