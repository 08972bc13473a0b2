#include "engine/JpegLimits.h"

#include "engine/JpegErrors.h"
#include "engine/MemoryBudget.h"
#include "platform/SystemMemory.h"

#include <algorithm>
#include <atomic>
#include <climits>
#include <cstdio>

namespace {

std::atomic<std::uint64_t> g_maxMemory{0};
std::atomic<int> g_maxScans{1000};

// The smallest entropy-coded block takes two bits (a DC code and an end of
// block); a file with under a hundredth of that is no picture of this size.
constexpr std::uint64_t kMinimumBitsPerBlock = 2;
constexpr std::uint64_t kPlausibilityFactor = 100;

std::uint64_t BlockCount(const jpeg_decompress_struct& info) {
    std::uint64_t blocks = 0;
    for (int ci = 0; ci < info.num_components; ++ci) {
        const jpeg_component_info& c = info.comp_info[ci];
        const std::uint64_t wide = (static_cast<std::uint64_t>(info.image_width) * c.h_samp_factor +
                                    8ULL * info.max_h_samp_factor - 1) /
                                   (8ULL * info.max_h_samp_factor);
        const std::uint64_t high =
            (static_cast<std::uint64_t>(info.image_height) * c.v_samp_factor +
             8ULL * info.max_v_samp_factor - 1) /
            (8ULL * info.max_v_samp_factor);
        blocks += wide * high;
    }
    return blocks;
}

void StopAfterTooManyScans(j_common_ptr common) {
    auto* info = reinterpret_cast<j_decompress_ptr>(common);
    if (common->is_decompressor && info->input_scan_number > g_maxScans.load()) {
        FailWith(common, "too many scans in a progressive file");
    }
}

}  // namespace

JpegLimits CurrentJpegLimits() {
    JpegLimits limits;
    limits.maxMemoryBytes = g_maxMemory.load();
    if (limits.maxMemoryBytes == 0)
        limits.maxMemoryBytes = PhysicalMemoryBytes() / 2;
    limits.maxScans = g_maxScans.load();
    return limits;
}

void SetJpegLimits(const JpegLimits& limits) {
    g_maxMemory.store(limits.maxMemoryBytes);
    g_maxScans.store(limits.maxScans);
}

std::uint64_t CoefficientBytes(const jpeg_decompress_struct& info) {
    return BlockCount(info) * sizeof(JBLOCK);
}

void ApplyJpegLimits(j_decompress_ptr info, std::int64_t fileSize, std::uint64_t needBytes,
                     jpeg_progress_mgr& monitor) {
    auto* common = reinterpret_cast<j_common_ptr>(info);
    const std::uint64_t minimumBytes = BlockCount(*info) * kMinimumBitsPerBlock / 8;
    if (fileSize >= 0 &&
        static_cast<std::uint64_t>(fileSize) * kPlausibilityFactor < minimumBytes) {
        char reason[160];
        std::snprintf(reason, sizeof reason,
                      "the file is far too small for the %ux%u picture it claims",
                      info->image_width, info->image_height);
        FailWith(common, reason);
    }
    const JpegLimits limits = CurrentJpegLimits();
    std::uint64_t ceiling = limits.maxMemoryBytes;
    if (const MemoryBudget* budget = MemoryBudgetScope::Current())
        ceiling = std::min(ceiling, budget->Capacity());
    if (needBytes > ceiling) {
        char reason[160];
        std::snprintf(reason, sizeof reason,
                      "the picture would need %llu MB of memory, more than the limit of %llu MB",
                      static_cast<unsigned long long>(needBytes >> 20),
                      static_cast<unsigned long long>(ceiling >> 20));
        FailWith(common, reason);
    }
    // Several workers at once share one budget: this one waits for its share.
    MemoryBudgetScope::Reserve(needBytes);
    info->mem->max_memory_to_use = static_cast<long>(
        std::min<std::uint64_t>(limits.maxMemoryBytes, static_cast<std::uint64_t>(LONG_MAX)));
    monitor.progress_monitor = StopAfterTooManyScans;
    info->progress = &monitor;
}
