#include "engine/LosslessCrop.h"

#include "engine/EarlyStop.h"
#include "engine/JpegErrors.h"
#include "engine/JpegLimits.h"
#include "engine/TransformSupport.h"
#include "platform/AtomicOutputFile.h"
#include "platform/NativeFile.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

// Everything the crop touches, kept out of the function that calls setjmp so
// that a long jump skips no destructor.
struct CropJob {
    AtomicOutputFile* output = nullptr;
    TransformOptions options;
    CropMetadataOptions metadata;
    LosslessMarkerEdit markerEdit;
    jpeg_decompress_struct source{};
    jpeg_compress_struct destination{};
    CropErrorManager sourceErrors{};
    CropErrorManager destinationErrors{};
    std::FILE* sourceFile = nullptr;
    std::int64_t sourceSize = -1;
    jpeg_progress_mgr monitor{};
    EarlyStop earlyStop;
    bool sourceCreated = false;
    bool destinationCreated = false;
    bool outputOpened = false;
};

void CloseSource(CropJob& job) {
    if (job.sourceFile != nullptr) {
        std::fclose(job.sourceFile);
        job.sourceFile = nullptr;
    }
}

void DestroyObjects(CropJob& job) {
    if (job.destinationCreated)
        jpeg_destroy_compress(&job.destination);
    if (job.sourceCreated)
        jpeg_destroy_decompress(&job.source);
    job.destinationCreated = job.sourceCreated = false;
    CloseSource(job);
}

// The source's coefficients plus, at most, a workspace of the crop's size.
std::uint64_t CropMemoryBytes(const jpeg_decompress_struct& source,
                              const TransformOptions& options) {
    const std::uint64_t cropShare =
        static_cast<std::uint64_t>(options.cropWidth) * options.cropHeight;
    const std::uint64_t whole = std::max<std::uint64_t>(
        1, static_cast<std::uint64_t>(source.image_width) * source.image_height);
    const std::uint64_t coefficients = CoefficientBytes(source);
    return coefficients + coefficients * std::min(cropShare, whole) / whole;
}

// The libjpeg sequence. Returns false after a fatal error of either object.
bool RunCrop(CropJob& job) {
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&job.source), job.sourceErrors);
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&job.destination), job.destinationErrors);
    if (setjmp(job.sourceErrors.returnPoint) != 0)
        return false;
    if (setjmp(job.destinationErrors.returnPoint) != 0)
        return false;

    jpeg_create_decompress(&job.source);
    job.sourceCreated = true;
    jpeg_create_compress(&job.destination);
    job.destinationCreated = true;

    jpeg_stdio_src(&job.source, job.sourceFile);
    SetupMarkerCopy(&job.source);
    jpeg_read_header(&job.source, TRUE);
    ApplyJpegLimits(&job.source, job.sourceSize, CropMemoryBytes(job.source, job.options),
                    job.monitor);
    RequestWorkspace(&job.source, job.options);
    InstallEarlyStop(&job.source, job.earlyStop, job.options.cropY + job.options.cropHeight);
    jvirt_barray_ptr* sourceArrays = jpeg_read_coefficients(&job.source);
    SettleEarlyStop(job.earlyStop, job.sourceErrors);
    jpeg_copy_critical_parameters(&job.source, &job.destination);
    jvirt_barray_ptr* written =
        AdjustParameters(&job.source, &job.destination, sourceArrays, job.options);
    job.destination.optimize_coding = FALSE;
    CloseSource(job);

    if (!job.output->Open())
        ERREXIT(&job.destination, JERR_FILE_WRITE);
    job.outputOpened = true;
    jpeg_stdio_dest(&job.destination, job.output->Stream());
    jpeg_write_coefficients(&job.destination, written);
    if (!job.markerEdit.Apply(&job.source, sourceArrays, job.options, job.metadata))
        RaiseKeptError(reinterpret_cast<j_common_ptr>(&job.source));
    ExecuteMarkerCopy(&job.source, &job.destination);
    ExecuteTransform(&job.source, &job.destination, sourceArrays, job.options);
    jpeg_finish_compress(&job.destination);
    jpeg_destroy_compress(&job.destination);
    job.destinationCreated = false;
    jpeg_finish_decompress(&job.source);
    jpeg_destroy_decompress(&job.source);
    job.sourceCreated = false;
    return true;
}

PixelRect WrittenRegion(const TransformOptions& options) {
    const auto left = static_cast<int>(options.xCropOffset) * options.ImcuWidth();
    const auto top = static_cast<int>(options.yCropOffset) * options.ImcuHeight();
    return {left, top, left + static_cast<int>(options.outputWidth),
            top + static_cast<int>(options.outputHeight)};
}

}  // namespace

LosslessCropResult LosslessCrop(const QString& source, const QString& destination, std::uint32_t x,
                                std::uint32_t y, std::uint32_t width, std::uint32_t height,
                                const OutputPolicy& policy, const CropMetadataOptions& metadata) {
    AtomicOutputFile output(destination, policy);
    CropJob job;
    job.sourceFile = OpenCFile(source, "rb");
    job.sourceSize = QFileInfo(source).size();
    if (job.sourceFile == nullptr) {
        LosslessCropResult failed;
        failed.error =
            QStringLiteral("cannot open: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return failed;
    }
    job.output = &output;
    job.options.cropX = x;
    job.options.cropY = y;
    job.options.cropWidth = width;
    job.options.cropHeight = height;
    job.metadata = metadata;

    LosslessCropResult result;
    const bool ran = RunCrop(job);
    result.warnings = static_cast<int>(job.sourceErrors.pub.num_warnings +
                                       job.destinationErrors.pub.num_warnings);
    result.firstWarning = QString::fromLocal8Bit(job.sourceErrors.firstWarning[0] != '\0'
                                                     ? job.sourceErrors.firstWarning
                                                     : job.destinationErrors.firstWarning);
    if (!ran) {
        result.error = FatalMessage(job.sourceErrors, job.destinationErrors);
        if (!job.outputOpened && !output.ErrorText().isEmpty())
            result.error = output.ErrorText();
        DestroyObjects(job);
        return result;
    }
    if (!output.Commit()) {
        result.error = output.ErrorText();
        return result;
    }
    result.ok = true;
    result.output = output.FinalPath();
    result.written = WrittenRegion(job.options);
    result.notes = job.markerEdit.Notes();
    return result;
}

int LosslessCropFile(const char* source, const char* destination, unsigned int x, unsigned int y,
                     unsigned int width, unsigned int height) {
    if (source == nullptr || destination == nullptr)
        return 0;
    return LosslessCrop(QString::fromLocal8Bit(source), QString::fromLocal8Bit(destination), x, y,
                        width, height)
                   .ok
               ? 1
               : 0;
}
