#pragma once

// The widget-free core of a batch crop: every chosen image by every rectangle.
// Pairs are planned up front (output names reserved in the order a
// sequential run would take them), then executed on worker threads, one task
// per image so that a source is decoded once for all its rectangles. An
// output whose planned name is taken when it is written (another run into
// the folder, a name the file system spells alike) takes the next free one.

#include "croprects/CropRect.h"
#include "engine/Crop.h"
#include "engine/CropMetadata.h"

#include <QString>
#include <QStringList>

#include <atomic>
#include <functional>
#include <vector>

class MemoryBudget;
class OutputSession;

struct BatchImage {
    QString path;
    int width = 0;  // as recorded when the image was added
    int height = 0;
    int imcuWidth = 8;  // the lossless grid, for the exact check
    int imcuHeight = 8;
    QString unreadable;  // non-empty: the image cannot be cropped, and why
};

enum class CropMode { kLossless, kRecompress };

struct CropSettings {
    CropMode mode = CropMode::kLossless;
    int quality = 80;
    bool exact = false;  // refuse a lossless pair that would not start where asked
    CropMetadataOptions metadata;
};

struct CropPair {
    int imageIndex = 0;
    int rectIndex = 0;
    QString source;
    QString output;    // planned, unique name; empty when the pair fails at planning
    PixelRect region;  // the rectangle resolved against the image's recorded size
    QString failure;   // non-empty: known to fail at planning, nothing reserved
};

struct BatchPlan {
    std::vector<CropPair> pairs;
    // Pairs announced to the progress display: chosen images times
    // rectangles, vanished sources included (their pairs never advance it).
    int total = 0;
};

// Plans `chosen` images (indices into `images`, in collection order) by every
// rectangle. A source that no longer exists gives no pairs.
BatchPlan PlanBatch(const std::vector<BatchImage>& images, const std::vector<int>& chosen,
                    const std::vector<CCropRect>& rects, const QString& outputFolder,
                    const CropSettings& settings);

// Every image in order.
std::vector<CropPair> PlanCropPairs(const std::vector<BatchImage>& images,
                                    const std::vector<CCropRect>& rects,
                                    const QString& outputFolder, const CropSettings& settings);

using PairDone = std::function<void(std::size_t, const CropOutcome&)>;

// Runs the pairs on `jobs` threads, writing through `output` (none: each file
// on its own). `onDone` is called once per pair that was attempted or stopped
// within its image, never concurrently. When `stop` becomes true no further
// pair is started. The workers share one memory budget (`memory`, or one of
// the JPEG limits' ceiling): an image waits until its estimate fits.
void RunCropPairs(const std::vector<CropPair>& pairs, const CropSettings& settings, int jobs,
                  const PairDone& onDone, const std::atomic<bool>* stop = nullptr,
                  OutputSession* output = nullptr, MemoryBudget* memory = nullptr);

struct BatchControl {
    int jobs = 1;
    std::function<void(const BatchPlan&)> onPlanned;  // before the first pair runs
    PairDone onDone;
    const std::atomic<bool>* stop = nullptr;
    MemoryBudget* memory = nullptr;
};

struct BatchResult {
    BatchPlan plan;
    QString flushError;  // the outputs may not be on the disk: why
};

// The batch as the window and pelmora-crop run it: removes what runs into
// the folder that are gone left there, plans, runs the pairs, and has the
// outputs on the disk before it returns.
BatchResult CropBatch(const std::vector<BatchImage>& images, const std::vector<int>& chosen,
                      const std::vector<CCropRect>& rects, const QString& outputFolder,
                      const CropSettings& settings, const BatchControl& control);
