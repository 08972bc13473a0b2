#include "fuzz/FuzzTargets.h"

#include "croprects/RectFile.h"
#include "croprects/RectSpec.h"
#include "engine/DrawingUtils.h"
#include "engine/JpegCodec.h"
#include "engine/JpegInfo.h"
#include "engine/JpegLimits.h"
#include "engine/LosslessCrop.h"
#include "engine/RecompressCrop.h"
#include "images/ImageListFile.h"
#include "images/ImgThumb.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

[[noreturn]] void BrokenPromise(const char* what, int line) {
    std::fprintf(stderr, "fuzz target: broken promise at line %d: %s\n", line, what);
    std::fflush(stderr);
    std::abort();
}

#define FUZZ_CHECK(condition) \
    ((condition) ? static_cast<void>(0) : BrokenPromise(#condition, __LINE__))

// A ceiling well under libFuzzer's own 2 GB, so that a file claiming a large
// picture meets our refusal rather than the fuzzer's out-of-memory report.
constexpr std::uint64_t kFuzzMemoryCeiling = 64ULL << 20;

// A private folder for the input file and another for the outputs, kept for
// the life of the process; every run leaves the output folder empty.
class Workspace {
  public:
    Workspace() {
        QDir(dir_.path()).mkdir(QStringLiteral("in"));
        QDir(dir_.path()).mkdir(QStringLiteral("out"));
        JpegLimits limits = CurrentJpegLimits();
        limits.maxMemoryBytes = kFuzzMemoryCeiling;
        SetJpegLimits(limits);
    }

    QString WriteInput(const std::uint8_t* data, std::size_t size, const QString& name) const {
        const QString path = dir_.path() + QStringLiteral("/in/") + name;
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(reinterpret_cast<const char*>(data), static_cast<qint64>(size)) ==
                   static_cast<qint64>(size));
        return path;
    }
    QString Output(const QString& name) const {
        return dir_.path() + QStringLiteral("/out/") + name;
    }

    // Whatever the outcome, nothing but the reported outputs may be left:
    // no temporary file, no output under the name of a failed crop.
    void CheckOutputFolderEmpty() const {
        const QStringList left =
            QDir(dir_.path() + QStringLiteral("/out"))
                .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
        FUZZ_CHECK(left.isEmpty());
    }

  private:
    QTemporaryDir dir_;
};

const Workspace& TheWorkspace() {
    static const Workspace workspace;
    return workspace;
}

std::uint16_t Read16(const std::uint8_t* p) {
    return static_cast<std::uint16_t>(p[0] | (p[1] << 8));
}

CropInputHeader ReadCropHeader(const std::uint8_t* data) {
    CropInputHeader header;
    header.flags = data[0];
    header.x = Read16(data + 1);
    header.y = Read16(data + 3);
    header.width = Read16(data + 5);
    header.height = Read16(data + 7);
    return header;
}

bool StartsLikeJpeg(const std::uint8_t* data, std::size_t size) {
    return size >= 3 && data[0] == 0xFF && data[1] == 0xD8 && data[2] == 0xFF;
}

// A written crop covers the request, starts on the block grid at most one
// iMCU before it, and is a JPEG of the size reported; a failed one left
// nothing under its name.
// A rectangle as the fuzzer states it: libjpeg's unsigned terms.
struct BlockRequest {
    QString destination;
    std::uint32_t x = 0;
    std::uint32_t y = 0;
    std::uint32_t width = 0;
    std::uint32_t height = 0;
};

// The same request as the pipeline takes it; the conversions are modular,
// so the pipeline gets back exactly these four numbers.
CropTarget TargetOf(const BlockRequest& r) {
    return {r.destination,
            {static_cast<int>(r.x), static_cast<int>(r.y), static_cast<int>(r.x + r.width),
             static_cast<int>(r.y + r.height)}};
}

void CheckLosslessResult(const CropOutcome& result, const QString& output,
                         const BlockRequest& request) {
    if (!result.status.ok()) {
        FUZZ_CHECK(!result.status.errorString().isEmpty());
        FUZZ_CHECK(!QFileInfo::exists(output));
        return;
    }
    const PixelRect& w = result.written;
    FUZZ_CHECK(static_cast<std::uint32_t>(w.right) == request.x + request.width);
    FUZZ_CHECK(static_cast<std::uint32_t>(w.bottom) == request.y + request.height);
    FUZZ_CHECK(w.left >= 0 && static_cast<std::uint32_t>(w.left) <= request.x &&
               request.x - static_cast<std::uint32_t>(w.left) < 32);
    FUZZ_CHECK(w.top >= 0 && static_cast<std::uint32_t>(w.top) <= request.y &&
               request.y - static_cast<std::uint32_t>(w.top) < 32);
    const JpegInfo info = ReadJpegInfo(output);
    FUZZ_CHECK(info.ok && info.width == w.Width() && info.height == w.Height());
    FUZZ_CHECK(QFile::remove(output));
}

void CheckRecompressResult(const CropOutcome& result, const QString& output,
                           const PixelRect& rect) {
    if (!result.status.ok()) {
        FUZZ_CHECK(!result.status.errorString().isEmpty());
        FUZZ_CHECK(!QFileInfo::exists(output));
        return;
    }
    const JpegInfo info = ReadJpegInfo(output);
    FUZZ_CHECK(info.ok && info.width == rect.Width() && info.height == rect.Height());
    FUZZ_CHECK(QFile::remove(output));
}

bool SameBits(double a, double b) {
    return std::memcmp(&a, &b, sizeof a) == 0;
}

bool SameRect(const CCropRect& a, const CCropRect& b) {
    return a.isPixel == b.isPixel && a.color == b.color && SameBits(a.left, b.left) &&
           SameBits(a.top, b.top) && SameBits(a.right, b.right) && SameBits(a.bottom, b.bottom);
}

// `stored` is `rect` as RECT.DAT keeps it: bit for bit, but that a pixel edge
// within a millionth of a whole number is stored as that number.
bool StoredAs(const CCropRect& stored, const CCropRect& rect) {
    const auto edge = [&rect](double v) { return rect.isPixel != 0 ? WholeIfNear(v) : v; };
    return stored.isPixel == rect.isPixel && stored.color == rect.color &&
           SameBits(stored.left, edge(rect.left)) && SameBits(stored.top, edge(rect.top)) &&
           SameBits(stored.right, edge(rect.right)) && SameBits(stored.bottom, edge(rect.bottom));
}

// Resolution never leaves the image and never yields a partly empty rectangle.
void CheckResolve(const CCropRect& rect) {
    static constexpr int kSizes[][2] = {{1, 1}, {64, 48}, {65535, 3}, {0, 0}, {65500, 65500}};
    for (const auto& size : kSizes) {
        const PixelRect r = rect.Resolve(size[0], size[1]);
        if (r == PixelRect{})
            continue;
        FUZZ_CHECK(!r.IsEmpty() && r.left >= 0 && r.top >= 0 && r.right <= size[0] &&
                   r.bottom <= size[1]);
    }
    FUZZ_CHECK(rect.Format().size() <= 127);
    static_cast<void>(rect.IsInvalid());
}

}  // namespace

std::vector<std::uint8_t> MakeCropInput(const CropInputHeader& header,
                                        const std::vector<std::uint8_t>& file) {
    // Sized once: appending to the 9-byte header made GCC 12 at -O3 warn
    // about a copy out of its bounds that cannot happen.
    std::vector<std::uint8_t> input(kCropInputHeaderSize + file.size());
    input[0] = header.flags;
    const std::uint16_t values[] = {header.x, header.y, header.width, header.height};
    for (int i = 0; i < 4; ++i) {
        input[1 + 2 * i] = static_cast<std::uint8_t>(values[i] & 0xFF);
        input[2 + 2 * i] = static_cast<std::uint8_t>(values[i] >> 8);
    }
    std::copy(file.begin(), file.end(), input.begin() + kCropInputHeaderSize);
    return input;
}

int FuzzLosslessCrop(const std::uint8_t* data, std::size_t size) {
    if (size < kCropInputHeaderSize)
        return 0;
    const Workspace& space = TheWorkspace();
    const CropInputHeader h = ReadCropHeader(data);
    const QString source = space.WriteInput(data + kCropInputHeaderSize,
                                            size - kCropInputHeaderSize, QStringLiteral("s.jpg"));
    const BlockRequest first{space.Output(QStringLiteral("a.jpg")), h.x, h.y, h.width, h.height};
    if ((h.flags & 1) == 0) {
        const CropOutcome result =
            LosslessCrop(source, first.destination, first.x, first.y, first.width, first.height);
        CheckLosslessResult(result, first.destination, first);
    } else {
        // Several targets from one read of the source: the second has the
        // first's corner swapped, the third is the first again.
        const std::vector<BlockRequest> requests{
            first,
            {space.Output(QStringLiteral("b.jpg")), h.y, h.x, h.height, h.width},
            {space.Output(QStringLiteral("c.jpg")), h.x, h.y, h.width, h.height}};
        std::vector<CropTarget> targets;
        for (const BlockRequest& request : requests)
            targets.push_back(TargetOf(request));
        const std::vector<CropOutcome> results =
            LosslessCrop(source, targets, ExistingOutput::kKeep);
        FUZZ_CHECK(results.size() == targets.size());
        FUZZ_CHECK(results[0].status.ok() == results[2].status.ok());
        for (std::size_t i = 0; i < targets.size(); ++i) {
            CheckLosslessResult(results[i], requests[i].destination, requests[i]);
        }
    }
    space.CheckOutputFolderEmpty();
    return 0;
}

int FuzzRecompressCrop(const std::uint8_t* data, std::size_t size) {
    // Other formats under a JPEG name go through Qt's image readers, which
    // are not ours to fuzz.
    if (size < kCropInputHeaderSize ||
        !StartsLikeJpeg(data + kCropInputHeaderSize, size - kCropInputHeaderSize)) {
        return 0;
    }
    const Workspace& space = TheWorkspace();
    const CropInputHeader h = ReadCropHeader(data);
    const QString source = space.WriteInput(data + kCropInputHeaderSize,
                                            size - kCropInputHeaderSize, QStringLiteral("s.jpg"));
    const int quality = 1 + (h.flags >> 1) % 100;
    const PixelRect rect{h.x, h.y, h.x + h.width, h.y + h.height};
    const QString output = space.Output(QStringLiteral("a.jpg"));
    if ((h.flags & 1) == 0) {
        CheckRecompressResult(RecompressCrop(source, output, rect, quality), output, rect);
    } else {
        const PixelRect swapped{h.y, h.x, h.y + h.height, h.x + h.width};
        const std::vector<CropTarget> targets{{output, rect},
                                              {space.Output(QStringLiteral("b.jpg")), swapped}};
        const std::vector<CropOutcome> results =
            RecompressCrop(source, targets, quality, ExistingOutput::kKeep);
        FUZZ_CHECK(results.size() == targets.size());
        for (std::size_t i = 0; i < targets.size(); ++i) {
            CheckRecompressResult(results[i], targets[i].destination, targets[i].rect);
        }
    }
    space.CheckOutputFolderEmpty();
    return 0;
}

int FuzzThumbnail(const std::uint8_t* data, std::size_t size) {
    if (!StartsLikeJpeg(data, size))
        return 0;
    const QString source = TheWorkspace().WriteInput(data, size, QStringLiteral("t.jpg"));
    const std::unique_ptr<CImgThumb> record = MakeImageRecord(source);
    if (!record)
        return 0;
    FUZZ_CHECK(record->width > 0 && record->height > 0 && record->thumbnail != nullptr);
    int width = record->width;
    int height = record->height;
    FitSize(width, height, kThumbnailBox, kThumbnailBox);
    FUZZ_CHECK(record->thumbnail->GetWidth() == width && record->thumbnail->GetHeight() == height);
    return 0;
}

int FuzzRectSpec(const std::uint8_t* data, std::size_t size) {
    const QString text =
        QString::fromUtf8(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    QString error;
    const std::optional<CCropRect> rect = ParseRectSpec(text, &error);
    if (!rect) {
        FUZZ_CHECK(!error.isEmpty());
        return 0;
    }
    FUZZ_CHECK(rect->isPixel == 0 || rect->isPixel == 1);
    CheckResolve(*rect);
    // What the command line accepts survives RECT.DAT.
    const std::vector<CCropRect> back = ParseRectRecords(SerializeRectRecords({*rect}));
    FUZZ_CHECK(back.size() == 1 && StoredAs(back[0], *rect));
    return 0;
}

int FuzzRectFile(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const std::vector<CCropRect> rects = ParseRectRecords(bytes);
    FUZZ_CHECK(rects.size() == size / kRectRecordSize);
    const QByteArray again = SerializeRectRecords(rects);
    FUZZ_CHECK(static_cast<std::size_t>(again.size()) == rects.size() * kRectRecordSize);
    // The unit byte and the colour come back byte for byte, the edges as
    // RECT.DAT keeps them.
    const std::vector<CCropRect> reread = ParseRectRecords(again);
    for (std::size_t i = 0; i < rects.size(); ++i) {
        const char* in = bytes.constData() + i * kRectRecordSize;
        const char* out = again.constData() + i * kRectRecordSize;
        FUZZ_CHECK(in[0] == out[0] && std::memcmp(in + 40, out + 40, 4) == 0);
        FUZZ_CHECK(StoredAs(reread[i], rects[i]));
        CheckResolve(rects[i]);
    }
    const QString path = TheWorkspace().WriteInput(data, size, QStringLiteral("RECT.DAT"));
    const RectFileContents fromFile = ReadRectFile(path);
    FUZZ_CHECK(fromFile.status.ok() && fromFile.rects.size() == rects.size());
    for (std::size_t i = 0; i < rects.size(); ++i)
        FUZZ_CHECK(SameRect(fromFile.rects[i], rects[i]));
    return 0;
}

int FuzzImageList(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    const QStringList paths = ParseImageRecords(bytes);
    FUZZ_CHECK(static_cast<std::size_t>(paths.size()) == size / kImageRecordSize);
    // Writing what was read and reading it again gives the same paths, less
    // those too long for a record.
    QStringList fitting;
    for (const QString& path : paths) {
        if (FitsImageRecord(path))
            fitting.append(path);
    }
    const QByteArray again = SerializeImageRecords(paths);
    FUZZ_CHECK(again.size() == fitting.size() * kImageRecordSize);
    FUZZ_CHECK(ParseImageRecords(again) == fitting);
    const QString path = TheWorkspace().WriteInput(data, size, QStringLiteral("IMG.DAT"));
    const ImageListContents fromFile = ReadImageListFile(path);
    FUZZ_CHECK(fromFile.status.ok());
    FUZZ_CHECK(fromFile.paths == paths && fromFile.fileSize == static_cast<qint64>(size));
    return 0;
}

const std::vector<FuzzTarget>& AllFuzzTargets() {
    static const std::vector<FuzzTarget> targets{
        {"lossless_crop", FuzzLosslessCrop}, {"recompress_crop", FuzzRecompressCrop},
        {"thumbnail", FuzzThumbnail},        {"rect_spec", FuzzRectSpec},
        {"rect_file", FuzzRectFile},         {"image_list", FuzzImageList}};
    return targets;
}
