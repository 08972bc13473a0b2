#include "engine/JpegInfo.h"

#include "engine/JpegErrors.h"
#include "platform/NativeFile.h"

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

struct HeaderJob {
    jpeg_decompress_struct info{};
    CropErrorManager errors{};
    std::FILE* file = nullptr;
    bool created = false;
};

bool ReadHeader(HeaderJob& job) {
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&job.info), job.errors);
    if (setjmp(job.errors.returnPoint) != 0)
        return false;
    jpeg_create_decompress(&job.info);
    job.created = true;
    jpeg_stdio_src(&job.info, job.file);
    jpeg_read_header(&job.info, TRUE);
    return true;
}

}  // namespace

JpegInfo ReadJpegInfo(const QString& path) {
    JpegInfo result;
    HeaderJob job;
    job.file = OpenCFile(path, "rb");
    if (job.file == nullptr) {
        result.error =
            QStringLiteral("cannot open: %1").arg(QString::fromLocal8Bit(std::strerror(errno)));
        return result;
    }
    if (ReadHeader(job)) {
        const jpeg_decompress_struct& info = job.info;
        result.ok = true;
        result.width = static_cast<int>(info.image_width);
        result.height = static_cast<int>(info.image_height);
        result.components = info.num_components;
        result.progressive = info.progressive_mode != 0;
        int maxH = 1;
        int maxV = 1;
        for (int ci = 0; ci < info.num_components && info.num_components > 1; ++ci) {
            maxH = std::max(maxH, info.comp_info[ci].h_samp_factor);
            maxV = std::max(maxV, info.comp_info[ci].v_samp_factor);
        }
        result.imcuWidth = DCTSIZE * maxH;
        result.imcuHeight = DCTSIZE * maxV;
    } else {
        result.error = FatalMessage(job.errors, job.errors);
    }
    if (job.created)
        jpeg_destroy_decompress(&job.info);
    std::fclose(job.file);
    return result;
}
