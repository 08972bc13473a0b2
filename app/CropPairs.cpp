#include "app/CropPairs.h"

#include "app/OutputNames.h"
#include "engine/LosslessCrop.h"
#include "engine/RecompressCrop.h"
#include "platform/PathUtils.h"

#include <algorithm>
#include <mutex>
#include <thread>

namespace {

QString ExactFailure(const BatchImage& image, const PixelRect& region) {
    if (region.left % image.imcuWidth == 0 && region.top % image.imcuHeight == 0) return {};
    return QStringLiteral("the lossless crop would start at (%1, %2), not (%3, %4)")
        .arg(region.left - region.left % image.imcuWidth)
        .arg(region.top - region.top % image.imcuHeight)
        .arg(region.left)
        .arg(region.top);
}

QString PlanningFailure(const BatchImage& image, const PixelRect& region,
                        const CropSettings& settings) {
    if (!image.unreadable.isEmpty()) return image.unreadable;
    if (region.IsEmpty()) return QStringLiteral("the rectangle misses the image");
    if (settings.mode == CropMode::kLossless && settings.exact) return ExactFailure(image, region);
    return {};
}

}  // namespace

std::vector<CropPair> PlanCropPairs(const std::vector<BatchImage>& images,
                                    const std::vector<CCropRect>& rects,
                                    const QString& outputFolder, const CropSettings& settings) {
    std::vector<CropPair> pairs;
    OutputNameReserver names;
    const int rectCount = static_cast<int>(rects.size());
    for (std::size_t i = 0; i < images.size(); ++i) {
        const BatchImage& image = images[i];
        if (GetPathKind(image.path) == kPathNothing) continue;
        for (int j = 0; j < rectCount; ++j) {
            CropPair pair;
            pair.imageIndex = static_cast<int>(i);
            pair.rectIndex = j;
            pair.source = image.path;
            pair.region = rects[static_cast<std::size_t>(j)].Resolve(image.width, image.height);
            pair.failure = PlanningFailure(image, pair.region, settings);
            if (pair.failure.isEmpty()) {
                pair.output =
                    names.Reserve(FormOutputCandidate(outputFolder, image.path, j, rectCount));
            }
            pairs.push_back(std::move(pair));
        }
    }
    return pairs;
}

CropOutcome ExecuteCropPair(const CropPair& pair, const CropSettings& settings) {
    CropOutcome outcome;
    if (!pair.failure.isEmpty()) {
        outcome.error = pair.failure;
        return outcome;
    }
    const PixelRect& r = pair.region;
    if (settings.mode == CropMode::kRecompress) {
        const RecompressCropResult result =
            RecompressCrop(pair.source, pair.output, r, settings.quality, ExistingOutput::kKeep);
        outcome.ok = result.ok;
        outcome.error = result.error;
        if (result.ok) outcome.written = r;
        return outcome;
    }
    const LosslessCropResult result =
        LosslessCrop(pair.source, pair.output, static_cast<std::uint32_t>(r.left),
                     static_cast<std::uint32_t>(r.top), static_cast<std::uint32_t>(r.Width()),
                     static_cast<std::uint32_t>(r.Height()), ExistingOutput::kKeep);
    outcome.ok = result.ok;
    outcome.error = result.error;
    outcome.written = result.written;
    outcome.warnings = result.warnings;
    return outcome;
}

void RunCropPairs(const std::vector<CropPair>& pairs, const CropSettings& settings, int jobs,
                  const std::function<void(std::size_t, const CropOutcome&)>& onDone,
                  const std::atomic<bool>* stop) {
    if (pairs.empty()) return;
    std::atomic<std::size_t> next{0};
    std::mutex reportLock;
    const auto work = [&] {
        for (;;) {
            if (stop != nullptr && stop->load()) return;
            const std::size_t index = next.fetch_add(1);
            if (index >= pairs.size()) return;
            const CropOutcome outcome = ExecuteCropPair(pairs[index], settings);
            const std::lock_guard<std::mutex> guard(reportLock);
            if (onDone) onDone(index, outcome);
        }
    };
    const std::size_t threadCount =
        std::clamp<std::size_t>(static_cast<std::size_t>(std::max(jobs, 1)), 1, pairs.size());
    if (threadCount <= 1) {
        work();
        return;
    }
    std::vector<std::jthread> workers;
    workers.reserve(threadCount);
    for (std::size_t t = 0; t < threadCount; ++t) workers.emplace_back(work);
}
