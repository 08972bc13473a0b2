#include "app/CropPairs.h"

#include "app/OutputNames.h"
#include "engine/JpegLimits.h"
#include "engine/LosslessCrop.h"
#include "engine/MemoryBudget.h"
#include "engine/RecompressCrop.h"
#include "platform/OutputSession.h"
#include "platform/PathUtils.h"
#include "platform/Workers.h"

#include <QSet>

#include <algorithm>
#include <mutex>
#include <numeric>

namespace {

QString ExactFailure(const BatchImage& image, const PixelRect& region) {
    if (region.left % image.imcuWidth == 0 && region.top % image.imcuHeight == 0)
        return {};
    return QStringLiteral("the lossless crop would start at (%1, %2), not (%3, %4)")
        .arg(region.left - region.left % image.imcuWidth)
        .arg(region.top - region.top % image.imcuHeight)
        .arg(region.left)
        .arg(region.top);
}

QString PlanningFailure(const BatchImage& image, const PixelRect& region,
                        const CropSettings& settings) {
    if (!image.unreadable.isEmpty())
        return image.unreadable;
    if (region.IsEmpty())
        return QStringLiteral("the rectangle misses the image");
    if (settings.mode == CropMode::kLossless && settings.exact)
        return ExactFailure(image, region);
    return {};
}

// The pairs of one image: a contiguous run of the plan.
struct ImageTask {
    std::size_t first = 0;
    std::size_t count = 0;
};

std::vector<ImageTask> GroupByImage(const std::vector<CropPair>& pairs) {
    std::vector<ImageTask> tasks;
    for (std::size_t i = 0; i < pairs.size(); ++i) {
        if (tasks.empty() || pairs[i].imageIndex != pairs[tasks.back().first].imageIndex) {
            tasks.push_back({i, 0});
        }
        ++tasks.back().count;
    }
    return tasks;
}

// Crops every pair of one image, decoding the source once.
std::vector<CropOutcome> ExecuteImage(const std::vector<CropPair>& pairs, const ImageTask& task,
                                      const CropSettings& settings, const OutputPolicy& output,
                                      const std::atomic<bool>* stop) {
    std::vector<CropOutcome> outcomes(task.count);
    std::vector<std::size_t> runnable;
    std::vector<CropTarget> targets;
    for (std::size_t k = 0; k < task.count; ++k) {
        const CropPair& pair = pairs[task.first + k];
        if (pair.failure.isEmpty()) {
            runnable.push_back(k);
            targets.push_back({pair.output, pair.region});
        } else {
            outcomes[k].status = Status::Failure(pair.failure);
        }
    }
    if (runnable.empty())
        return outcomes;
    // Stopped while this image waited for memory: not worth reading it.
    if (stop != nullptr && stop->load()) {
        for (const std::size_t k : runnable)
            outcomes[k].notDone = true;
        return outcomes;
    }
    const QString& source = pairs[task.first].source;
    std::vector<CropOutcome> done =
        settings.mode == CropMode::kLossless
            ? LosslessCrop(source, targets, output, settings.metadata, stop)
            : RecompressCrop(source, targets, settings.quality, output, settings.metadata, stop);
    for (std::size_t i = 0; i < runnable.size(); ++i)
        outcomes[runnable[i]] = std::move(done[i]);
    return outcomes;
}

}  // namespace

BatchPlan PlanBatch(const std::vector<BatchImage>& images, const std::vector<int>& chosen,
                    const std::vector<CCropRect>& rects, const QString& outputFolder,
                    const CropSettings& settings) {
    BatchPlan plan;
    OutputNameReserver names;
    const int rectCount = static_cast<int>(rects.size());
    plan.total = static_cast<int>(chosen.size()) * rectCount;
    for (const int i : chosen) {
        const BatchImage& image = images[static_cast<std::size_t>(i)];
        if (GetPathKind(image.path) == kPathNothing)
            continue;
        for (int j = 0; j < rectCount; ++j) {
            CropPair pair;
            pair.imageIndex = i;
            pair.rectIndex = j;
            pair.source = image.path;
            pair.region = rects[static_cast<std::size_t>(j)].Resolve(image.width, image.height);
            pair.failure = PlanningFailure(image, pair.region, settings);
            if (pair.failure.isEmpty()) {
                pair.output =
                    names.Reserve(FormOutputCandidate(outputFolder, image.path, j, rectCount));
            }
            plan.pairs.push_back(std::move(pair));
        }
    }
    return plan;
}

std::vector<CropPair> PlanCropPairs(const std::vector<BatchImage>& images,
                                    const std::vector<CCropRect>& rects,
                                    const QString& outputFolder, const CropSettings& settings) {
    std::vector<int> all(images.size());
    std::iota(all.begin(), all.end(), 0);
    return PlanBatch(images, all, rects, outputFolder, settings).pairs;
}

void RunCropPairs(const std::vector<CropPair>& pairs, const CropSettings& settings, int jobs,
                  const PairDone& onDone, const std::atomic<bool>* stop, OutputSession* output,
                  MemoryBudget* memory) {
    const std::vector<ImageTask> tasks = GroupByImage(pairs);
    if (tasks.empty())
        return;
    // A planned name taken meanwhile moves its output on, over the names
    // planned for the other pairs.
    QSet<QString> planned;
    for (const CropPair& pair : pairs) {
        if (!pair.output.isEmpty())
            planned.insert(pair.output);
    }
    OutputPolicy policy(ExistingOutput::kNextFreeName);
    policy.session = output;
    policy.heldForOthers = [&planned](const QString& path) { return planned.contains(path); };
    MemoryBudget ownBudget(CurrentJpegLimits().maxMemoryBytes);
    MemoryBudget* budget = memory != nullptr ? memory : &ownBudget;
    std::atomic<std::size_t> next{0};
    std::mutex reportLock;
    const auto work = [&] {
        for (;;) {
            if (stop != nullptr && stop->load())
                return;
            const std::size_t index = next.fetch_add(1);
            if (index >= tasks.size())
                return;
            const ImageTask& task = tasks[index];
            std::vector<CropOutcome> outcomes;
            {
                const MemoryBudgetScope scope(budget);
                outcomes = ExecuteImage(pairs, task, settings, policy, stop);
            }
            const std::lock_guard<std::mutex> guard(reportLock);
            for (std::size_t k = 0; k < task.count; ++k) {
                if (onDone)
                    onDone(task.first + k, outcomes[k]);
            }
        }
    };
    const std::size_t threadCount =
        std::min(static_cast<std::size_t>(std::max(jobs, 1)), tasks.size());
    RunOnWorkers(static_cast<int>(threadCount), work);
}

BatchResult CropBatch(const std::vector<BatchImage>& images, const std::vector<int>& chosen,
                      const std::vector<CCropRect>& rects, const QString& outputFolder,
                      const CropSettings& settings, const BatchControl& control) {
    BatchResult result;
    OutputSession output(outputFolder);
    // Before planning: a name a killed run claimed but never filled is free.
    output.RemoveLeftovers();
    result.plan = PlanBatch(images, chosen, rects, outputFolder, settings);
    if (control.onPlanned)
        control.onPlanned(result.plan);
    int written = 0;
    const PairDone counted = [&](std::size_t index, const CropOutcome& outcome) {
        written += outcome.status.ok() ? 1 : 0;
        if (control.onDone)
            control.onDone(index, outcome);
    };
    RunCropPairs(result.plan.pairs, settings, control.jobs, counted, control.stop, &output,
                 control.memory);
    if (written > 0)
        result.flushError = output.SyncFileSystem().errorString();
    return result;
}
