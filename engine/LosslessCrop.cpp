#include "engine/LosslessCrop.h"

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

// The libjpeg sequence, in two phases.
//
// ReadSource reads the source once: header, limits, then every coefficient
// down to the lowest row a usable target reaches (EarlyStop ends the read
// there). WriteTarget then writes one target from those shared arrays, in the
// order libjpeg needs: the geometry first, the workspace on the target's own
// pool (freed with the target, so one target's workspace lives at a time),
// the destination's parameters, and only then jpeg_write_coefficients, after
// which the markers and finally the blocks go out.
//
// The geometry is asymmetric. Blocks are copied whole, so the top-left
// corner moves back to the iMCU grid (in a subsampled file a chroma block
// covers 16 pixels) and the output grows by what it moved; the right and
// bottom edges stay exactly where asked, because a JPEG may end in a partial
// iMCU that decoders clip, but cannot start with one.
//
// A fatal libjpeg error long-jumps to the setjmp of the object it reports to,
// skipping every frame in between without destructors: the functions that
// call setjmp hold no object with one, and everything they need lives in
// SourceJob and TargetJob, owned by callers that never long-jump. The marker
// edit, which builds C++ objects, catches its own errors (CropMetadata.h).

namespace {

// The source side, read once.
struct SourceJob {
    jpeg_decompress_struct info{};
    CropErrorManager errors{};
    std::FILE* file = nullptr;
    std::int64_t fileSize = -1;
    jpeg_progress_mgr monitor{};
    EarlyStop earlyStop;
    const std::vector<CropTarget>* targets = nullptr;
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

// The rectangle in libjpeg's unsigned terms. Unsigned arithmetic keeps every
// PixelRect, however hostile, a request IsValidCropRequest can judge.
void SetRequest(const PixelRect& rect, TransformOptions& options) {
    options.cropX = static_cast<JDIMENSION>(rect.left);
    options.cropY = static_cast<JDIMENSION>(rect.top);
    options.cropWidth = static_cast<JDIMENSION>(rect.right) - options.cropX;
    options.cropHeight = static_cast<JDIMENSION>(rect.bottom) - options.cropY;
}

bool IsValidTarget(const jpeg_decompress_struct& info, const CropTarget& target) {
    TransformOptions request;
    SetRequest(target.rect, request);
    return IsValidCropRequest(info.image_width, info.image_height, request.cropX, request.cropY,
                              request.cropWidth, request.cropHeight);
}

// How far down the picture the usable targets reach.
JDIMENSION LowestBottom(const jpeg_decompress_struct& info,
                        const std::vector<CropTarget>& targets) {
    JDIMENSION bottom = 0;
    for (const CropTarget& target : targets) {
        if (IsValidTarget(info, target))
            bottom = std::max(bottom, static_cast<JDIMENSION>(target.rect.bottom));
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

// AdjustParameters edits a leading Exif marker in place for the target at
// hand; the next target starts from the source's own bytes.
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

// Writes one target; `sourceError` is set when the source object failed.
CropOutcome CropOne(SourceJob& source, const CropTarget& request, const OutputPolicy& policy,
                    const CropMetadataOptions& metadata, QString& sourceError) {
    if (!IsValidTarget(source.info, request))
        return Failed(QStringLiteral("Invalid crop request"));
    AtomicOutputFile output(request.destination, policy);
    auto target = std::make_unique<TargetJob>();
    target->output = &output;
    SetRequest(request.rect, target->options);
    target->metadata = &metadata;
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&target->info), target->errors);
    const TargetOutcome written = WriteTarget(source, *target);
    target->markerEdit.Restore();
    if (target->created)
        jpeg_destroy_compress(&target->info);
    if (written == TargetOutcome::kSourceFailed) {
        sourceError = FatalMessage(source.errors, source.errors);
        return Failed(sourceError);
    }
    if (written == TargetOutcome::kTargetFailed) {
        return Failed(!target->outputOpened && !output.ErrorText().isEmpty()
                          ? output.ErrorText()
                          : FatalMessage(target->errors, target->errors));
    }
    if (!output.Commit())
        return Failed(output.ErrorText());
    CropOutcome outcome;
    outcome.status = Status();
    outcome.output = output.FinalPath();
    outcome.written = WrittenRegion(target->options);
    outcome.warnings = static_cast<int>(source.errors.pub.num_warnings);
    outcome.firstWarning = QString::fromLocal8Bit(source.errors.firstWarning);
    outcome.notes = target->markerEdit.Notes();
    return outcome;
}

}  // namespace

std::vector<CropOutcome> LosslessCrop(const QString& source, const std::vector<CropTarget>& targets,
                                      const OutputPolicy& output,
                                      const CropMetadataOptions& metadata,
                                      const std::atomic<bool>* stop) {
    std::vector<CropOutcome> outcomes;
    if (targets.empty())
        return outcomes;
    auto job = std::make_unique<SourceJob>();
    job->file = OpenCFile(source, "rb");
    job->fileSize = QFileInfo(source).size();
    job->targets = &targets;
    if (job->file == nullptr) {
        const QString error =
            QStringLiteral("cannot open: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return std::vector<CropOutcome>(targets.size(), Failed(error));
    }
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&job->info), job->errors);
    QString sourceError;
    if (!ReadSource(*job))
        sourceError = FatalMessage(job->errors, job->errors);
    for (const CropTarget& request : targets) {
        if (stop != nullptr && stop->load()) {
            outcomes.push_back(NotDone());
        } else {
            outcomes.push_back(sourceError.isEmpty()
                                   ? CropOne(*job, request, output, metadata, sourceError)
                                   : Failed(sourceError));
        }
    }
    if (job->created)
        jpeg_destroy_decompress(&job->info);
    if (job->file != nullptr)
        std::fclose(job->file);
    return outcomes;
}

CropOutcome LosslessCrop(const QString& source, const QString& destination, std::uint32_t x,
                         std::uint32_t y, std::uint32_t width, std::uint32_t height,
                         const OutputPolicy& output, const CropMetadataOptions& metadata) {
    // Modular conversions: SetRequest gives back exactly these four numbers.
    const PixelRect rect{static_cast<int>(x), static_cast<int>(y), static_cast<int>(x + width),
                         static_cast<int>(y + height)};
    return LosslessCrop(source, {CropTarget{destination, rect}}, output, metadata).front();
}

int LosslessCropFile(const char* source, const char* destination, unsigned int x, unsigned int y,
                     unsigned int width, unsigned int height) {
    if (source == nullptr || destination == nullptr)
        return 0;
    const CropOutcome outcome = LosslessCrop(
        QString::fromLocal8Bit(source), QString::fromLocal8Bit(destination), x, y, width, height);
    return outcome.status.ok() ? 1 : 0;
}
