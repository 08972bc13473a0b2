#pragma once

#include "engine/LosslessCrop.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <vector>

struct LosslessCropTarget {
    QString destination;
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// Cuts several rectangles out of one source, reading its coefficients once.
// Each target gets the file and the result that LosslessCrop would give it
// alone; one target's failure does not stop the others. Once `stop` is set
// no further target is started (those come back marked not done).
std::vector<LosslessCropResult> LosslessCropMany(const QString& source,
                                                 const std::vector<LosslessCropTarget>& targets,
                                                 const OutputPolicy& output,
                                                 const CropMetadataOptions& metadata = {},
                                                 const std::atomic<bool>* stop = nullptr);
