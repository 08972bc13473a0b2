#pragma once

// Limits that keep a hostile JPEG file from taking the machine: a memory
// ceiling for one decode or crop, a plausibility check of the data against
// the dimensions it claims, and a cap on the number of scans.

#include "engine/JpegLib.h"

#include <cstdint>

struct JpegLimits {
    std::uint64_t maxMemoryBytes = 0;  // for one decode or crop
    int maxScans = 1000;
};

// Half of the machine's memory, unless SetJpegLimits said otherwise.
JpegLimits CurrentJpegLimits();
void SetJpegLimits(const JpegLimits& limits);

// Bytes that holding every coefficient block of the image takes.
std::uint64_t CoefficientBytes(const jpeg_decompress_struct& info);

// After jpeg_read_header: refuses (as a fatal error with a plain reason) a
// file far smaller than its dimensions allow, or one whose work would need
// more than the memory ceiling (`needBytes`). Under a MemoryBudgetScope,
// waits until the batch's budget has room for `needBytes`, which the scope
// then holds. Caps libjpeg's own memory and installs the scan limit;
// `monitor` must live as long as the object.
void ApplyJpegLimits(j_decompress_ptr info, std::int64_t fileSize, std::uint64_t needBytes,
                     jpeg_progress_mgr& monitor);
