#pragma once

#include "engine/CropMetadata.h"
#include "platform/OutputPolicy.h"
#include "platform/PixelRect.h"

#include <QString>
#include <QStringList>

#include <cstdint>

// What one lossless crop did.
struct LosslessCropResult {
    bool ok = false;
    QString error;         // why it failed (libjpeg's message or ours); empty on success
    int warnings = 0;      // libjpeg warnings (corrupt data and the like); not failures
    QString firstWarning;  // the first of them
    PixelRect written;     // the source region actually written, after the move to the iMCU grid
    QStringList notes;     // things the user should know about a written file
    bool notDone = false;  // never attempted: the run was stopped first
    QString output;        // the file written (another name than asked with kNextFreeName)
};

// Cuts (x, y, width, height) out of `source` without decoding and writes it to
// `destination`. The top-left corner moves back to the iMCU grid. The output
// appears under its name only when complete: a failed crop leaves no file.
// Safe to run on several threads at once.
LosslessCropResult LosslessCrop(const QString& source, const QString& destination, std::uint32_t x,
                                std::uint32_t y, std::uint32_t width, std::uint32_t height,
                                const OutputPolicy& output = {},
                                const CropMetadataOptions& metadata = {});

// The program's entry point: paths in the local 8-bit encoding; 1 when the
// destination was written completely, 0 on any failure.
int LosslessCropFile(const char* source, const char* destination, unsigned int x, unsigned int y,
                     unsigned int width, unsigned int height);
