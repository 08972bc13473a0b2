#pragma once

// The lossless crop: rectangles cut out of a JPEG on its block grid, without
// decoding, the source's coefficients read once for all of them.

#include "engine/Crop.h"
#include "engine/CropMetadata.h"
#include "platform/OutputPolicy.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

// Cuts every target's rectangle out of `source` and writes it to the target's
// destination; one outcome per target, in order. Each rectangle's top-left
// corner moves back to the iMCU grid (CropOutcome::written). An output
// appears under its name only when complete: a failed target leaves no file,
// and does not stop the others. Once `stop` is set no further target is
// started (those come back not done). Safe to run on several threads at once.
std::vector<CropOutcome> LosslessCrop(const QString& source, const std::vector<CropTarget>& targets,
                                      const OutputPolicy& output = {},
                                      const CropMetadataOptions& metadata = {},
                                      const std::atomic<bool>* stop = nullptr);

// One rectangle given as (x, y, width, height): the one-element case of the
// call above.
CropOutcome LosslessCrop(const QString& source, const QString& destination, std::uint32_t x,
                         std::uint32_t y, std::uint32_t width, std::uint32_t height,
                         const OutputPolicy& output = {}, const CropMetadataOptions& metadata = {});

// The program's entry point: paths in the local 8-bit encoding; 1 when the
// destination was written completely, 0 on any failure.
int LosslessCropFile(const char* source, const char* destination, unsigned int x, unsigned int y,
                     unsigned int width, unsigned int height);
