#include "engine/LosslessCropMany.h"

#include "engine/EarlyStop.h"
#include "engine/JpegErrors.h"
#include "engine/JpegLimits.h"
#include "engine/TransformSupport.h"
#include "platform/AtomicOutputFile.h"
#include "platform/NativeFile.h"

#include <QByteArray>
#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {

// The source side, read once. Lives outside the functions that call setjmp.
struct SourceJob {
    jpeg_decompress_struct info{};
    CropErrorManager errors{};
    std::FILE* file = nullptr;
    std::int64_t fileSize = -1;
    jpeg_progress_mgr monitor{};
    EarlyStop earlyStop;
    const std::vector<LosslessCropTarget>* targets = nullptr;
    bool created = false;
    jvirt_barray_ptr* arrays = nullptr;
    QByteArray firstMarkerOriginal;  // restored before each target edits it
};

// One destination.
struct TargetJob {
    jpeg_compress_struct info{};
    CropErrorManager errors{};
    bool created = false;
    TransformOptions options;
    const CropMetadataOptions* metadata = nullptr;
    LosslessMarkerEdit markerEdit;
    AtomicOutputFile* output = nullptr;
    bool outputOpened = false;
};

// How far down the picture the usable targets reach.
JDIMENSION LowestBottom(const jpeg_decompress_struct& info,
                        const std::vector<LosslessCropTarget>& targets) {
    JDIMENSION bottom = 0;
    for (const LosslessCropTarget& t : targets) {
        if (IsValidCropRequest(info.image_width, info.image_height, t.x, t.y, t.width, t.height)) {
            bottom = std::max(bottom, t.y + t.height);
        }
    }
    return bottom == 0 ? info.image_height : bottom;
}

bool ReadSource(SourceJob& job) {
    if (setjmp(job.errors.returnPoint) != 0)
        return false;
    jpeg_create_decompress(&job.info);
    job.created = true;
    jpeg_stdio_src(&job.info, job.file);
    SetupMarkerCopy(&job.info);
    jpeg_read_header(&job.info, TRUE);
    // One target's workspace lives at a time, never larger than the source.
    ApplyJpegLimits(&job.info, job.fileSize, 2 * CoefficientBytes(job.info), job.monitor);
    InstallEarlyStop(&job.info, job.earlyStop, LowestBottom(job.info, *job.targets));
    job.arrays = jpeg_read_coefficients(&job.info);
    SettleEarlyStop(job.earlyStop, job.errors);
    std::fclose(job.file);
    job.file = nullptr;
    if (job.info.marker_list != nullptr) {
        const jpeg_marker_struct* first = job.info.marker_list;
        job.firstMarkerOriginal = QByteArray(reinterpret_cast<const char*>(first->data),
                                             static_cast<qsizetype>(first->data_length));
    }
    return true;
}

void RestoreFirstMarker(SourceJob& source) {
    jpeg_marker_struct* first = source.info.marker_list;
    if (first == nullptr)
        return;
    std::memcpy(first->data, source.firstMarkerOriginal.constData(),
                static_cast<std::size_t>(source.firstMarkerOriginal.size()));
}

enum class TargetOutcome { kWritten, kTargetFailed, kSourceFailed };

// The write sequence for one target. A fatal error of the destination object
// fails this target; one of the source object (reached through the shared
// coefficient arrays) fails every target from here on.
TargetOutcome WriteTarget(SourceJob& source, TargetJob& target) {
    if (setjmp(source.errors.returnPoint) != 0)
        return TargetOutcome::kSourceFailed;
    if (setjmp(target.errors.returnPoint) != 0)
        return TargetOutcome::kTargetFailed;
    jpeg_create_compress(&target.info);
    target.created = true;
    ComputeCropGeometry(&source.info, target.options);
    jpeg_copy_critical_parameters(&source.info, &target.info);
    RequestWorkspaceArrays(reinterpret_cast<j_common_ptr>(&target.info), &source.info,
                           target.options);
    RestoreFirstMarker(source);
    jvirt_barray_ptr* written =
        AdjustParameters(&source.info, &target.info, source.arrays, target.options);
    target.info.optimize_coding = FALSE;
    if (!target.output->Open())
        ERREXIT(&target.info, JERR_FILE_WRITE);
    target.outputOpened = true;
    jpeg_stdio_dest(&target.info, target.output->Stream());
    jpeg_write_coefficients(&target.info, written);
    if (!target.markerEdit.Apply(&source.info, source.arrays, target.options, *target.metadata))
        RaiseKeptError(reinterpret_cast<j_common_ptr>(&source.info));
    ExecuteMarkerCopy(&source.info, &target.info);
    ExecuteTransform(&source.info, &target.info, source.arrays, target.options);
    jpeg_finish_compress(&target.info);
    jpeg_destroy_compress(&target.info);
    target.created = false;
    return TargetOutcome::kWritten;
}

PixelRect WrittenRegion(const TransformOptions& options) {
    const int left = static_cast<int>(options.xCropOffset) * options.ImcuWidth();
    const int top = static_cast<int>(options.yCropOffset) * options.ImcuHeight();
    return {left, top, left + static_cast<int>(options.outputWidth),
            top + static_cast<int>(options.outputHeight)};
}

LosslessCropResult Failed(const QString& error) {
    LosslessCropResult result;
    result.error = error;
    return result;
}

// Writes one target; `sourceError` is set when the source object failed.
LosslessCropResult CropOne(SourceJob& source, const LosslessCropTarget& request,
                           const OutputPolicy& policy, const CropMetadataOptions& metadata,
                           QString& sourceError) {
    if (!IsValidCropRequest(source.info.image_width, source.info.image_height, request.x, request.y,
                            request.width, request.height)) {
        return Failed(QStringLiteral("Invalid crop request"));
    }
    AtomicOutputFile output(request.destination, policy);
    auto target = std::make_unique<TargetJob>();
    target->output = &output;
    target->options.cropX = request.x;
    target->options.cropY = request.y;
    target->options.cropWidth = request.width;
    target->options.cropHeight = request.height;
    target->metadata = &metadata;
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&target->info), target->errors);
    const TargetOutcome outcome = WriteTarget(source, *target);
    target->markerEdit.Restore();
    if (target->created)
        jpeg_destroy_compress(&target->info);
    if (outcome == TargetOutcome::kSourceFailed) {
        sourceError = FatalMessage(source.errors, source.errors);
        return Failed(sourceError);
    }
    if (outcome == TargetOutcome::kTargetFailed) {
        return Failed(!target->outputOpened && !output.ErrorText().isEmpty()
                          ? output.ErrorText()
                          : FatalMessage(target->errors, target->errors));
    }
    if (!output.Commit())
        return Failed(output.ErrorText());
    LosslessCropResult result;
    result.ok = true;
    result.output = output.FinalPath();
    result.written = WrittenRegion(target->options);
    result.warnings = static_cast<int>(source.errors.pub.num_warnings);
    result.firstWarning = QString::fromLocal8Bit(source.errors.firstWarning);
    result.notes = target->markerEdit.Notes();
    return result;
}

}  // namespace

std::vector<LosslessCropResult> LosslessCropMany(const QString& source,
                                                 const std::vector<LosslessCropTarget>& targets,
                                                 const OutputPolicy& output,
                                                 const CropMetadataOptions& metadata,
                                                 const std::atomic<bool>* stop) {
    std::vector<LosslessCropResult> results;
    if (targets.empty())
        return results;
    auto job = std::make_unique<SourceJob>();
    job->file = OpenCFile(source, "rb");
    job->fileSize = QFileInfo(source).size();
    job->targets = &targets;
    if (job->file == nullptr) {
        const QString error =
            QStringLiteral("cannot open: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return std::vector<LosslessCropResult>(targets.size(), Failed(error));
    }
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&job->info), job->errors);
    QString sourceError;
    if (!ReadSource(*job))
        sourceError = FatalMessage(job->errors, job->errors);
    for (const LosslessCropTarget& request : targets) {
        if (stop != nullptr && stop->load()) {
            LosslessCropResult skipped = Failed(QStringLiteral("not done: stopped"));
            skipped.notDone = true;
            results.push_back(std::move(skipped));
        } else {
            results.push_back(sourceError.isEmpty()
                                  ? CropOne(*job, request, output, metadata, sourceError)
                                  : Failed(sourceError));
        }
    }
    if (job->created)
        jpeg_destroy_decompress(&job->info);
    if (job->file != nullptr)
        std::fclose(job->file);
    return results;
}
