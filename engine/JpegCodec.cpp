#include "engine/JpegCodec.h"

#include "engine/DcOnlyDecode.h"
#include "engine/JpegErrors.h"
#include "engine/JpegLimits.h"
#include "platform/AtomicOutputFile.h"
#include "platform/Logging.h"
#include "platform/NativeFile.h"

#include <QFileInfo>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <new>
#include <vector>

namespace {

// What one decode produces; kept apart from the function that calls setjmp.
struct DecodeJob {
    jpeg_decompress_struct info{};
    CropErrorManager errors{};
    bool created = false;
    std::FILE* file = nullptr;
    std::int64_t fileSize = -1;
    jpeg_progress_mgr monitor{};
    const QByteArray* memory = nullptr;
    int boxWidth = 0;
    int boxHeight = 0;
    const PixelRect* region = nullptr;
    bool keepMarkers = false;
    std::vector<JpegMarker>* markers = nullptr;
    RgbPicture* image = nullptr;
    std::vector<JSAMPLE>* rowBuffer = nullptr;
    bool dcOnlyAllowed = false;  // a progressive file at 1/8 may stop after its DC scans
    bool dcOnlyRefused = false;  // its scans did not allow that: decode it whole
    DcOnlyStore* dcStore = nullptr;
};

bool IsCmyk(const jpeg_decompress_struct& info) {
    return info.jpeg_color_space == JCS_CMYK || info.jpeg_color_space == JCS_YCCK;
}

// CMYK as Adobe writes it (inverted) or plain, to RGB by multiplying out K.
void CmykRowToRgb(const JSAMPLE* cmyk, uchar* rgb, int pixels, bool inverted) {
    for (int x = 0; x < pixels; ++x, cmyk += 4, rgb += 3) {
        const int k = inverted ? cmyk[3] : 255 - cmyk[3];
        for (int c = 0; c < 3; ++c) {
            const int ink = inverted ? cmyk[c] : 255 - cmyk[c];
            rgb[c] = static_cast<uchar>((ink * k + 127) / 255);
        }
    }
}

void PickScale(jpeg_decompress_struct& info, int boxWidth, int boxHeight) {
    info.scale_num = 8;
    info.scale_denom = 8;
    if (boxWidth <= 0 || boxHeight <= 0)
        return;
    int minWidth = static_cast<int>(info.image_width);
    int minHeight = static_cast<int>(info.image_height);
    FitSize(minWidth, minHeight, boxWidth, boxHeight);
    for (unsigned num = 1; num <= 8; ++num) {
        info.scale_num = num;
        jpeg_calc_output_dimensions(&info);
        if (static_cast<int>(info.output_width) >= minWidth &&
            static_cast<int>(info.output_height) >= minHeight) {
            return;
        }
    }
    info.scale_num = 8;
}

void StartDecode(DecodeJob& job) {
    jpeg_create_decompress(&job.info);
    job.created = true;
    if (job.memory != nullptr) {
        jpeg_mem_src(&job.info, reinterpret_cast<const unsigned char*>(job.memory->constData()),
                     static_cast<unsigned long>(job.memory->size()));
    } else {
        jpeg_stdio_src(&job.info, job.file);
    }
    if (job.keepMarkers) {
        jpeg_save_markers(&job.info, JPEG_APP0 + 1, 0xFFFF);
        jpeg_save_markers(&job.info, JPEG_APP0 + 2, 0xFFFF);
    }
    jpeg_read_header(&job.info, TRUE);
    job.info.out_color_space = IsCmyk(job.info) ? JCS_CMYK : JCS_RGB;
    // Copied now: the saved markers die with the decode.
    for (const jpeg_marker_struct* m = job.info.marker_list; m != nullptr && job.keepMarkers;
         m = m->next) {
        job.markers->push_back({m->marker, QByteArray(reinterpret_cast<const char*>(m->data),
                                                      static_cast<qsizetype>(m->data_length))});
    }
}

// A progressive file is held as coefficients while it decodes; the pixels
// kept are the output's.
void LimitDecode(DecodeJob& job, std::uint64_t outputPixels) {
    const std::uint64_t coefficients = job.info.progressive_mode ? CoefficientBytes(job.info) : 0;
    ApplyJpegLimits(&job.info, job.fileSize, coefficients + outputPixels * 3, job.monitor);
}

// Reads the current row into `target` (RGB, `pixels` wide from column `skip`).
void ReadRow(DecodeJob& job, uchar* target, int skip, int pixels) {
    JSAMPLE* row = job.rowBuffer->data();
    jpeg_read_scanlines(&job.info, &row, 1);
    const int components = job.info.output_components;
    if (IsCmyk(job.info)) {
        CmykRowToRgb(row + skip * components, target, pixels, job.info.saw_Adobe_marker != 0);
    } else {
        std::memcpy(target, row + skip * components, static_cast<std::size_t>(pixels) * 3);
    }
}

bool AllocateImage(DecodeJob& job, int width, int height) {
    *job.image = RgbPicture(width, height);
    if (job.image->IsNull())
        return false;
    const std::size_t rowSize = static_cast<std::size_t>(job.info.output_width) *
                                static_cast<std::size_t>(job.info.output_components);
    job.rowBuffer->assign(rowSize, 0);
    return true;
}

bool RunWholeDecode(DecodeJob& job) {
    if (setjmp(job.errors.returnPoint) != 0)
        return false;
    StartDecode(job);
    PickScale(job.info, job.boxWidth, job.boxHeight);
    jpeg_calc_output_dimensions(&job.info);
    LimitDecode(job, static_cast<std::uint64_t>(job.info.output_width) * job.info.output_height);
    const bool dcOnly = job.dcOnlyAllowed && job.info.progressive_mode && job.info.scale_num == 1;
    if (dcOnly)
        UseDcOnlyStore(&job.info, *job.dcStore);
    jpeg_start_decompress(&job.info);
    if (dcOnly && !StartDcOnlyOutput(&job.info, *job.dcStore)) {
        job.dcOnlyRefused = true;
        return false;
    }
    const int width = static_cast<int>(job.info.output_width);
    const int height = static_cast<int>(job.info.output_height);
    if (!AllocateImage(job, width, height))
        ERREXIT1(&job.info, JERR_OUT_OF_MEMORY, 1);
    for (int y = 0; y < height; ++y)
        ReadRow(job, job.image->Row(y), 0, width);
    if (dcOnly) {
        jpeg_abort_decompress(&job.info);  // the AC scans are never read
    } else {
        jpeg_finish_decompress(&job.info);
    }
    return true;
}

bool RunRegionDecode(DecodeJob& job) {
    if (setjmp(job.errors.returnPoint) != 0)
        return false;
    StartDecode(job);
    const PixelRect& r = *job.region;
    LimitDecode(job, static_cast<std::uint64_t>(std::max(r.Width(), 0)) *
                         static_cast<std::uint64_t>(std::max(r.Height(), 0)));
    jpeg_start_decompress(&job.info);
    const auto imageWidth = static_cast<int>(job.info.output_width);
    const auto imageHeight = static_cast<int>(job.info.output_height);
    if (r.left < 0 || r.top < 0 || r.right > imageWidth || r.bottom > imageHeight || r.IsEmpty()) {
        ERREXIT(&job.info, JERR_BAD_CROP_SPEC);
    }
    // Ask for one pixel more on each side so that smoothing across the cut
    // sees the same neighbours as in a full decode.
    const int askLeft = std::max(r.left - 1, 0);
    const int askRight = std::min(r.right + 1, imageWidth);
    auto xOffset = static_cast<JDIMENSION>(askLeft);
    auto cropWidth = static_cast<JDIMENSION>(askRight - askLeft);
    jpeg_crop_scanline(&job.info, &xOffset, &cropWidth);
    if (r.top > 0)
        jpeg_skip_scanlines(&job.info, static_cast<JDIMENSION>(r.top));
    if (!AllocateImage(job, r.Width(), r.Height()))
        ERREXIT1(&job.info, JERR_OUT_OF_MEMORY, 1);
    const int skip = r.left - static_cast<int>(xOffset);
    for (int y = 0; y < r.Height(); ++y)
        ReadRow(job, job.image->Row(y), skip, r.Width());
    jpeg_abort_decompress(&job.info);
    return true;
}

DecodedJpeg FinishDecode(DecodeJob& job, bool ok, RgbPicture& image,
                         std::vector<JpegMarker>& markers) {
    DecodedJpeg result;
    if (ok)
        result.markers = std::move(markers);
    if (job.created) {
        result.fullWidth = static_cast<int>(job.info.image_width);
        result.fullHeight = static_cast<int>(job.info.image_height);
    }
    result.warnings = static_cast<int>(job.errors.pub.num_warnings);
    result.firstWarning = QString::fromLocal8Bit(job.errors.firstWarning);
    if (ok) {
        result.image = std::move(image);
    } else {
        result.error = FatalMessage(job.errors, job.errors);
    }
    if (job.created)
        jpeg_destroy_decompress(&job.info);
    if (job.file != nullptr)
        std::fclose(job.file);
    return result;
}

DecodedJpeg OpenFailure() {
    DecodedJpeg result;
    result.error =
        QStringLiteral("cannot open: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
    return result;
}

// A destination that grows a QByteArray owned by the caller of the encode,
// so the bytes have one owner whatever happens. (libjpeg's own memory
// destination frees and replaces its buffer as it grows and hands the last
// one back only at the end: after an error the caller's pointer is stale.)
struct ByteArrayDestination {
    jpeg_destination_mgr pub;
    QByteArray* bytes;
};

constexpr qsizetype kFirstOutputChunk = 4096;

ByteArrayDestination* DestinationOf(j_compress_ptr info) {
    return reinterpret_cast<ByteArrayDestination*>(info->dest);
}

void PointAtFreeSpace(ByteArrayDestination* destination, qsizetype used) {
    destination->pub.next_output_byte =
        reinterpret_cast<JOCTET*>(destination->bytes->data()) + used;
    destination->pub.free_in_buffer = static_cast<std::size_t>(destination->bytes->size() - used);
}

void StartByteArray(j_compress_ptr info) {
    ByteArrayDestination* destination = DestinationOf(info);
    destination->bytes->resize(kFirstOutputChunk);
    PointAtFreeSpace(destination, 0);
}

// Called with the buffer full: doubles it.
boolean GrowByteArray(j_compress_ptr info) {
    ByteArrayDestination* destination = DestinationOf(info);
    const qsizetype used = destination->bytes->size();
    bool grown = used < std::numeric_limits<qsizetype>::max() / 4;
    if (grown) {
        try {
            destination->bytes->resize(used * 2);
        } catch (const std::bad_alloc&) {
            grown = false;
        }
    }
    if (!grown)
        ERREXIT(info, JERR_OUT_OF_MEMORY);
    PointAtFreeSpace(destination, used);
    return TRUE;
}

void EndByteArray(j_compress_ptr info) {
    ByteArrayDestination* destination = DestinationOf(info);
    destination->bytes->resize(destination->bytes->size() -
                               static_cast<qsizetype>(destination->pub.free_in_buffer));
}

struct EncodeJob {
    jpeg_compress_struct info{};
    CropErrorManager errors{};
    bool created = false;
    const RgbPicture* image = nullptr;
    std::FILE* file = nullptr;               // either a file
    ByteArrayDestination* memory = nullptr;  // or bytes in memory
    bool jfif = true;
    const std::vector<JpegMarker>* markers = nullptr;
    int quality = 80;
};

bool RunEncode(EncodeJob& job) {
    if (setjmp(job.errors.returnPoint) != 0)
        return false;
    jpeg_create_compress(&job.info);
    job.created = true;
    if (job.file != nullptr) {
        jpeg_stdio_dest(&job.info, job.file);
    } else {
        job.memory->pub.init_destination = StartByteArray;
        job.memory->pub.empty_output_buffer = GrowByteArray;
        job.memory->pub.term_destination = EndByteArray;
        job.info.dest = &job.memory->pub;
    }
    job.info.image_width = static_cast<JDIMENSION>(job.image->Width());
    job.info.image_height = static_cast<JDIMENSION>(job.image->Height());
    job.info.input_components = 3;
    job.info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&job.info);
    jpeg_set_quality(&job.info, job.quality, TRUE);
    job.info.write_JFIF_header = job.jfif ? TRUE : FALSE;
    jpeg_start_compress(&job.info, TRUE);
    if (job.markers != nullptr) {
        for (const JpegMarker& marker : *job.markers) {
            jpeg_write_marker(&job.info, marker.code,
                              reinterpret_cast<const JOCTET*>(marker.data.constData()),
                              static_cast<unsigned int>(marker.data.size()));
        }
    }
    while (job.info.next_scanline < job.info.image_height) {
        auto* row = const_cast<JSAMPLE*>(job.image->Row(static_cast<int>(job.info.next_scanline)));
        jpeg_write_scanlines(&job.info, &row, 1);
    }
    jpeg_finish_compress(&job.info);
    return true;
}

}  // namespace

bool LooksLikeJpeg(const QByteArray& head) {
    return head.size() >= 3 && static_cast<uchar>(head[0]) == 0xFF &&
           static_cast<uchar>(head[1]) == 0xD8 && static_cast<uchar>(head[2]) == 0xFF;
}

namespace {

// Runs one decode job to the end and collects its result.
DecodedJpeg Decode(DecodeJob& job, bool (*run)(DecodeJob&)) {
    RgbPicture image;
    std::vector<JSAMPLE> rowBuffer;
    std::vector<JpegMarker> markers;
    job.image = &image;
    job.rowBuffer = &rowBuffer;
    job.markers = &markers;
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&job.info), job.errors);
    const bool ok = run(job);
    return FinishDecode(job, ok, image, markers);
}

}  // namespace

DecodedJpeg DecodeJpegFile(const QString& path, int boxWidth, int boxHeight) {
    for (const bool dcOnly : {true, false}) {
        DcOnlyStore dcStore;
        DecodeJob job;
        job.file = OpenCFile(path, "rb");
        if (job.file == nullptr)
            return OpenFailure();
        job.fileSize = QFileInfo(path).size();
        job.boxWidth = boxWidth;
        job.boxHeight = boxHeight;
        job.dcOnlyAllowed = dcOnly;
        job.dcStore = &dcStore;
        DecodedJpeg result = Decode(job, RunWholeDecode);
        if (!job.dcOnlyRefused)
            return result;
    }
    return {};
}

DecodedJpeg DecodeJpegMemory(const QByteArray& data, int boxWidth, int boxHeight) {
    DecodeJob job;
    job.memory = &data;
    job.fileSize = data.size();
    job.boxWidth = boxWidth;
    job.boxHeight = boxHeight;
    return Decode(job, RunWholeDecode);
}

DecodedJpeg DecodeJpegRegion(const QString& path, const PixelRect& region, bool keepMarkers) {
    DecodeJob job;
    job.file = OpenCFile(path, "rb");
    if (job.file == nullptr)
        return OpenFailure();
    job.fileSize = QFileInfo(path).size();
    job.region = &region;
    job.keepMarkers = keepMarkers;
    return Decode(job, RunRegionDecode);
}

WrittenJpeg EncodeJpegFile(const RgbPicture& rgb, const QString& path, int quality,
                           const OutputPolicy& policy, const std::vector<JpegMarker>& markers) {
    WrittenJpeg result;
    if (rgb.IsNull()) {
        result.status = Status::Failure(QStringLiteral("no picture to save"));
        return result;
    }
    AtomicOutputFile output(path, policy);
    if (!output.Open()) {
        result.status = Status::Failure(output.ErrorText());
        return result;
    }
    EncodeJob job;
    job.image = &rgb;
    job.file = output.Stream();
    job.quality = std::clamp(quality, 1, 100);
    job.markers = &markers;
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&job.info), job.errors);
    const bool encoded = RunEncode(job);
    if (job.created)
        jpeg_destroy_compress(&job.info);
    if (!encoded) {
        result.status = Status::Failure(FatalMessage(job.errors, job.errors));
        return result;
    }
    if (!output.Commit()) {
        result.status = Status::Failure(output.ErrorText());
        return result;
    }
    result.path = output.FinalPath();
    return result;
}

QByteArray EncodeJpegBytes(const RgbPicture& rgb, int quality,
                           const std::vector<JpegMarker>& markers) {
    if (rgb.IsNull())
        return {};
    QByteArray bytes;
    ByteArrayDestination destination{{}, &bytes};
    EncodeJob job;
    job.image = &rgb;
    job.memory = &destination;
    job.jfif = false;
    job.markers = &markers;
    job.quality = std::clamp(quality, 1, 100);
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&job.info), job.errors);
    const bool encoded = RunEncode(job);
    if (job.created)
        jpeg_destroy_compress(&job.info);
    if (!encoded) {
        qCWarning(lcEngine) << "cannot encode a JPEG stream:"
                            << FatalMessage(job.errors, job.errors);
        return {};
    }
    return bytes;
}
