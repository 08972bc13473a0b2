#pragma once

// The widget-free core of a batch crop: image-rectangle pairs planned up
// front (names reserved in sequential order), then executed on worker threads.

#include "croprects/CropRect.h"

#include <QString>

#include <atomic>
#include <functional>
#include <vector>

struct BatchImage {
    QString path;
    int width = 0;
    int height = 0;
    int imcuWidth = 8;    // the lossless grid, for the exact check
    int imcuHeight = 8;
    QString unreadable;   // non-empty: the image cannot be cropped, and why
};

struct CropPair {
    int imageIndex = 0;
    int rectIndex = 0;
    QString source;
    QString output;     // planned, unique name; empty when the pair fails at planning
    PixelRect region;   // the rectangle resolved against the image
    QString failure;    // non-empty: known to fail at planning, nothing reserved
};

enum class CropMode { kLossless, kRecompress };

struct CropSettings {
    CropMode mode = CropMode::kLossless;
    int quality = 80;
    bool exact = false;  // refuse a lossless pair that would not start where asked
};

struct CropOutcome {
    bool ok = false;
    QString error;
    PixelRect written;  // the source region actually written
    int warnings = 0;
};

// Every image (in order) by every rectangle (in order). Images whose source
// has vanished give no pairs at all.
std::vector<CropPair> PlanCropPairs(const std::vector<BatchImage>& images,
                                    const std::vector<CCropRect>& rects,
                                    const QString& outputFolder, const CropSettings& settings);

CropOutcome ExecuteCropPair(const CropPair& pair, const CropSettings& settings);

// Runs the pairs on `jobs` threads. `onDone` is called once per pair, never
// concurrently. When `stop` becomes true no further pair is started.
void RunCropPairs(const std::vector<CropPair>& pairs, const CropSettings& settings, int jobs,
                  const std::function<void(std::size_t, const CropOutcome&)>& onDone,
                  const std::atomic<bool>* stop = nullptr);
