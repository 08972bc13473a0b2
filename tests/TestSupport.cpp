#include "TestSupport.h"

#include "engine/JpegErrors.h"
#include "engine/QtPictureReaders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <algorithm>
#include <csignal>
#include <cstdlib>

#include <grp.h>
#include <pwd.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <cstring>

namespace testing_support {

namespace {

// Every test program reads other picture formats as the window does.
const bool kOtherPicturesRegistered = [] {
    SetOtherPictureReader(QtPictureReaders());
    return true;
}();

std::uint8_t PatternSample(int x, int y, int c, int seed) {
    // Gradients, edges and pseudo-noise so that every block differs.
    // Unsigned arithmetic: the products wrap instead of overflowing.
    const auto u = [](int v) { return static_cast<unsigned>(v); };
    const unsigned hash =
        (u(x) * 73856093U) ^ (u(y) * 19349663U) ^ (u(c) * 83492791U) ^ (u(seed) * 2654435761U);
    const int base = (x * 3 + y * 2 + c * 60 + seed * 17) % 256;
    const int noise = static_cast<int>(hash % 48) - 24;
    const int edge = ((x / 13 + y / 7) % 2) * 40;
    return static_cast<std::uint8_t>(std::clamp(base + noise + edge, 0, 255));
}

struct MemoryDestination {
    jpeg_destination_mgr pub;
    QByteArray* out;
    unsigned char buffer[4096];
};

void InitDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->pub.next_output_byte = dest->buffer;
    dest->pub.free_in_buffer = sizeof dest->buffer;
}

boolean EmptyBuffer(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->out->append(reinterpret_cast<const char*>(dest->buffer), sizeof dest->buffer);
    InitDestination(cinfo);
    return TRUE;
}

void TermDestination(j_compress_ptr cinfo) {
    auto* dest = reinterpret_cast<MemoryDestination*>(cinfo->dest);
    dest->out->append(reinterpret_cast<const char*>(dest->buffer),
                      static_cast<qsizetype>(sizeof dest->buffer - dest->pub.free_in_buffer));
}

struct EncodeJob {
    jpeg_compress_struct info{};
    CropErrorManager errors{};
    MemoryDestination destination{};
    std::vector<jpeg_scan_info> scans;
};

bool RunEncode(EncodeJob& job, const JpegSpec& spec, const std::vector<std::uint8_t>& pixels) {
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&job.info), job.errors);
    if (setjmp(job.errors.returnPoint) != 0)
        return false;
    jpeg_create_compress(&job.info);
    job.info.dest = &job.destination.pub;
    job.destination.pub.init_destination = InitDestination;
    job.destination.pub.empty_output_buffer = EmptyBuffer;
    job.destination.pub.term_destination = TermDestination;
    job.info.image_width = static_cast<JDIMENSION>(spec.width);
    job.info.image_height = static_cast<JDIMENSION>(spec.height);
    job.info.input_components = spec.components;
    job.info.in_color_space =
        spec.components == 1 ? JCS_GRAYSCALE : (spec.components == 4 ? JCS_CMYK : JCS_RGB);
    jpeg_set_defaults(&job.info);
    if (spec.components == 4 && spec.ycck)
        jpeg_set_colorspace(&job.info, JCS_YCCK);
    job.info.arith_code = spec.arithmetic ? TRUE : FALSE;
    jpeg_set_quality(&job.info, spec.quality, TRUE);
    for (int c = 0; c < spec.components; ++c) {
        job.info.comp_info[c].h_samp_factor = spec.hSamp[c];
        job.info.comp_info[c].v_samp_factor = spec.vSamp[c];
    }
    if (spec.progressive)
        jpeg_simple_progression(&job.info);
    if (spec.progressive && !spec.scans.empty()) {
        for (const std::array<int, 6>& scan : spec.scans) {
            jpeg_scan_info& info = job.scans.emplace_back();
            info.comps_in_scan = scan[1];
            for (int c = 0; c < scan[1]; ++c)
                info.component_index[c] = scan[0] + c;
            info.Ss = scan[2];
            info.Se = scan[3];
            info.Ah = scan[4];
            info.Al = scan[5];
        }
        job.info.scan_info = job.scans.data();
        job.info.num_scans = static_cast<int>(job.scans.size());
    }
    job.info.restart_in_rows = spec.restartRows;
    job.info.write_JFIF_header = spec.writeJfif && spec.components != 4 ? TRUE : FALSE;
    jpeg_start_compress(&job.info, TRUE);
    for (const JpegSpec::Marker& marker : spec.markers) {
        jpeg_write_marker(&job.info, marker.code,
                          reinterpret_cast<const JOCTET*>(marker.data.constData()),
                          static_cast<unsigned>(marker.data.size()));
    }
    const std::size_t stride = static_cast<std::size_t>(spec.width * spec.components);
    while (job.info.next_scanline < job.info.image_height) {
        auto* row = const_cast<JSAMPLE*>(pixels.data() + job.info.next_scanline * stride);
        jpeg_write_scanlines(&job.info, &row, 1);
    }
    jpeg_finish_compress(&job.info);
    return true;
}

struct DecodeJob {
    jpeg_decompress_struct info{};
    CropErrorManager errors{};
    bool created = false;
    bool toRgb = false;
};

bool StartDecode(DecodeJob& job, const QByteArray& jpeg) {
    AttachErrorManager(reinterpret_cast<j_common_ptr>(&job.info), job.errors);
    if (setjmp(job.errors.returnPoint) != 0)
        return false;
    jpeg_create_decompress(&job.info);
    job.created = true;
    jpeg_mem_src(&job.info, reinterpret_cast<const unsigned char*>(jpeg.constData()),
                 static_cast<unsigned long>(jpeg.size()));
    jpeg_read_header(&job.info, TRUE);
    return true;
}

bool RunDecode(DecodeJob& job, DecodedImage& image) {
    if (setjmp(job.errors.returnPoint) != 0)
        return false;
    job.info.out_color_space = job.toRgb ? JCS_RGB : job.info.jpeg_color_space;
    jpeg_start_decompress(&job.info);
    image.width = static_cast<int>(job.info.output_width);
    image.height = static_cast<int>(job.info.output_height);
    image.components = job.info.output_components;
    const std::size_t stride = static_cast<std::size_t>(image.width * image.components);
    image.pixels.assign(stride * static_cast<std::size_t>(image.height), 0);
    while (job.info.output_scanline < job.info.output_height) {
        JSAMPLE* row = image.pixels.data() + job.info.output_scanline * stride;
        jpeg_read_scanlines(&job.info, &row, 1);
    }
    jpeg_finish_decompress(&job.info);
    return true;
}

bool RunReadCoefficients(DecodeJob& job, Coefficients& result) {
    if (setjmp(job.errors.returnPoint) != 0)
        return false;
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&job.info);
    auto* common = reinterpret_cast<j_common_ptr>(&job.info);
    for (int ci = 0; ci < job.info.num_components; ++ci) {
        const jpeg_component_info& comp = job.info.comp_info[ci];
        const int w = static_cast<int>(comp.width_in_blocks);
        const int h = static_cast<int>(comp.height_in_blocks);
        std::vector<short> blocks;
        blocks.reserve(static_cast<std::size_t>(w * h * DCTSIZE2));
        for (int row = 0; row < h; ++row) {
            JBLOCKARRAY line = (*job.info.mem->access_virt_barray)(
                common, arrays[ci], static_cast<JDIMENSION>(row), 1, FALSE);
            for (int col = 0; col < w; ++col) {
                blocks.insert(blocks.end(), line[0][col], line[0][col] + DCTSIZE2);
            }
        }
        result.widthInBlocks.push_back(w);
        result.heightInBlocks.push_back(h);
        result.components.push_back(std::move(blocks));
    }
    jpeg_finish_decompress(&job.info);
    return true;
}

}  // namespace

JpegSpec Spec(int width, int height, int components, int h0, int v0) {
    JpegSpec spec;
    spec.width = width;
    spec.height = height;
    spec.components = components;
    spec.hSamp[0] = h0;
    spec.vSamp[0] = v0;
    return spec;
}

QByteArray EncodeJpeg(const JpegSpec& spec) {
    std::vector<std::uint8_t> pixels(
        static_cast<std::size_t>(spec.width * spec.height * spec.components));
    std::size_t i = 0;
    for (int y = 0; y < spec.height; ++y) {
        for (int x = 0; x < spec.width; ++x) {
            for (int c = 0; c < spec.components; ++c)
                pixels[i++] = PatternSample(x, y, c, spec.seed);
        }
    }
    QByteArray out;
    EncodeJob job;
    job.destination.out = &out;
    const bool ok = RunEncode(job, spec, pixels);
    jpeg_destroy_compress(&job.info);
    return ok ? out : QByteArray();
}

DecodedImage DecodeJpeg(const QByteArray& jpeg) {
    DecodedImage image;
    DecodeJob job;
    image.ok = StartDecode(job, jpeg) && RunDecode(job, image);
    if (job.created)
        jpeg_destroy_decompress(&job.info);
    return image;
}

QImage DecodeJpegImage(const QByteArray& jpeg) {
    DecodedImage decoded;
    DecodeJob job;
    job.toRgb = true;
    decoded.ok = StartDecode(job, jpeg) && RunDecode(job, decoded);
    if (job.created)
        jpeg_destroy_decompress(&job.info);
    if (!decoded.ok || decoded.components != 3)
        return {};
    QImage image(decoded.width, decoded.height, QImage::Format_RGB888);
    for (int y = 0; y < decoded.height; ++y) {
        std::memcpy(image.scanLine(y),
                    decoded.pixels.data() + static_cast<std::size_t>(y) * decoded.width * 3,
                    static_cast<std::size_t>(decoded.width) * 3);
    }
    return image;
}

Coefficients ReadCoefficients(const QByteArray& jpeg) {
    Coefficients result;
    DecodeJob job;
    result.ok = StartDecode(job, jpeg) && RunReadCoefficients(job, result);
    if (job.created)
        jpeg_destroy_decompress(&job.info);
    return result;
}

std::vector<JpegSpec::Marker> ReadMarkers(const QByteArray& jpeg) {
    std::vector<JpegSpec::Marker> markers;
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
    qsizetype pos = 2;  // after SOI
    while (pos + 4 <= jpeg.size() && data[pos] == 0xFF) {
        const int code = data[pos + 1];
        const int length = (data[pos + 2] << 8) | data[pos + 3];
        if (code == 0xDA || length < 2 || pos + 2 + length > jpeg.size())
            break;
        markers.push_back({code, jpeg.mid(pos + 4, length - 2)});
        pos += 2 + length;
    }
    return markers;
}

CCropRect PixelRectangle(double left, double top, double right, double bottom) {
    CCropRect rect;
    rect.left = left;
    rect.top = top;
    rect.right = right;
    rect.bottom = bottom;
    return rect;
}

QByteArray MakeHeaderOnlyJpeg(int width, int height, int sofMarker, int precision) {
    QByteArray jpeg = QByteArray::fromHex("ffd8");
    const auto segment = [&jpeg](int marker, const QByteArray& body) {
        jpeg.append('\xFF');
        jpeg.append(static_cast<char>(marker));
        const int length = static_cast<int>(body.size()) + 2;
        jpeg.append(static_cast<char>(length >> 8));
        jpeg.append(static_cast<char>(length & 0xFF));
        jpeg.append(body);
    };
    QByteArray table(1, '\0');  // table 0, 8-bit entries
    table.append(QByteArray(DCTSIZE2, '\x10'));
    segment(0xDB, table);
    QByteArray frame;
    frame.append(static_cast<char>(precision));
    frame.append(static_cast<char>(height >> 8)).append(static_cast<char>(height & 0xFF));
    frame.append(static_cast<char>(width >> 8)).append(static_cast<char>(width & 0xFF));
    frame.append('\x03');
    frame.append(QByteArray::fromHex("012200021100031100"));  // 4:2:0, all on table 0
    segment(sofMarker, frame);
    // Scan of all three components on the standard Huffman tables, which
    // this libjpeg supplies itself when a file has none.
    segment(0xDA, QByteArray::fromHex("03010002110311003f00"));
    jpeg.append(QByteArray(64, '\x55'));
    jpeg.append(QByteArray::fromHex("ffd9"));
    return jpeg;
}

QByteArray OnePixelGif() {
    return QByteArray::fromHex(
        "474946383961010001008000"
        "00ffffff000000"
        "21f90401000000"
        "00"
        "2c00000000010001000002024401003b");
}

std::vector<qsizetype> ScanOffsets(const QByteArray& jpeg) {
    std::vector<qsizetype> offsets;
    const auto* data = reinterpret_cast<const unsigned char*>(jpeg.constData());
    qsizetype pos = 2;
    while (pos + 4 <= jpeg.size()) {
        if (data[pos] != 0xFF) {
            ++pos;  // entropy-coded data
            continue;
        }
        const int code = data[pos + 1];
        if (code == 0x00 || code == 0xFF || (code >= 0xD0 && code <= 0xD7)) {
            ++pos;  // stuffed byte, fill byte or restart marker inside a scan
            continue;
        }
        if (code == 0xD9)
            break;
        if (code == 0xDA)
            offsets.push_back(pos);
        pos += 2 + ((data[pos + 2] << 8) | data[pos + 3]);
    }
    return offsets;
}

QByteArray WithoutRestartMarkers(const QByteArray& jpeg) {
    const std::vector<qsizetype> scans = ScanOffsets(jpeg);
    if (scans.empty())
        return jpeg;
    QByteArray out = jpeg.left(scans.front());
    for (qsizetype pos = scans.front(); pos < jpeg.size(); ++pos) {
        const auto byte = static_cast<unsigned char>(jpeg[pos]);
        if (byte == 0xFF && pos + 1 < jpeg.size()) {
            const auto next = static_cast<unsigned char>(jpeg[pos + 1]);
            if (next >= 0xD0 && next <= 0xD7) {
                ++pos;
                continue;
            }
        }
        out.append(static_cast<char>(byte));
    }
    return out;
}

long PeakRssOfChildKb(const std::function<int()>& body, int* result) {
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0)
        _exit(body() & 0x7F);
    int status = 0;
    rusage usage{};
    if (wait4(child, &status, 0, &usage) != child || !WIFEXITED(status))
        return -1;
    if (result != nullptr)
        *result = WEXITSTATUS(status);
    return usage.ru_maxrss;
}

namespace {

// Runs `body` in a forked child after `prepare`; the body's result (0..127),
// or -1 when the child could not be started, prepared, or did not exit.
int RunPreparedChild(const std::function<bool()>& prepare, const std::function<int()>& body) {
    const pid_t child = fork();
    if (child < 0)
        return -1;
    if (child == 0)
        _exit(prepare() ? body() & 0x7F : 255);
    int status = 0;
    if (waitpid(child, &status, 0) != child || !WIFEXITED(status))
        return -1;
    const int code = WEXITSTATUS(status);
    return code == 255 ? -1 : code;
}

}  // namespace

int RunInChildWithFileSizeLimit(long bytes, const std::function<int()>& body) {
    return RunPreparedChild(
        [bytes] {
            const rlimit limit{static_cast<rlim_t>(bytes), static_cast<rlim_t>(bytes)};
            // Without this the kernel ends the process instead of failing the write.
            std::signal(SIGXFSZ, SIG_IGN);
            return setrlimit(RLIMIT_FSIZE, &limit) == 0;
        },
        body);
}

QByteArray ReadBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

void WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}

QString WritePhoto(const QString& path, int width, int height) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    JpegSpec spec;
    spec.width = width;
    spec.height = height;
    WriteBytes(path, EncodeJpeg(spec));
    return path;
}

CommandResult RunCommand(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    CommandResult result;
    if (!process.waitForStarted(10000))
        return result;
    process.closeWriteChannel();
    process.waitForFinished(120000);
    result.exitCode = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    result.out = process.readAllStandardOutput();
    result.err = process.readAllStandardError();
    return result;
}

QByteArray JpegtranCrop(const QString& source, int width, int height, int x, int y) {
    const CommandResult result =
        RunCommand(QStringLiteral("jpegtran"),
                   {QStringLiteral("-crop"),
                    QStringLiteral("%1x%2+%3+%4").arg(width).arg(height).arg(x).arg(y),
                    QStringLiteral("-copy"), QStringLiteral("all"), source});
    return result.exitCode == 0 ? result.out : QByteArray();
}

QByteArray MakeExifTiff(bool bigEndian, int width, int height) {
    QByteArray tiff;
    const auto put16 = [&](int v) {
        const char hi = static_cast<char>((v >> 8) & 0xFF);
        const char lo = static_cast<char>(v & 0xFF);
        tiff.append(bigEndian ? hi : lo);
        tiff.append(bigEndian ? lo : hi);
    };
    const auto put32 = [&](long v) {
        if (bigEndian) {
            put16(static_cast<int>((v >> 16) & 0xFFFF));
            put16(static_cast<int>(v & 0xFFFF));
        } else {
            put16(static_cast<int>(v & 0xFFFF));
            put16(static_cast<int>((v >> 16) & 0xFFFF));
        }
    };
    tiff.append(bigEndian ? "MM" : "II");
    put16(0x2A);
    put32(8);
    // IFD0 at 8: one entry, the Exif IFD pointer.
    put16(1);
    put16(0x8769);
    put16(4);
    put32(1);
    put32(26);
    put32(0);  // no IFD1
    // Exif IFD at 26: ExifVersion, PixelXDimension (SHORT), PixelYDimension (SHORT).
    put16(3);
    put16(0x9000);
    put16(7);
    put32(4);
    tiff.append("0230", 4);
    put16(0xA002);
    put16(3);
    put32(1);
    put16(width);
    put16(0);
    put16(0xA003);
    put16(3);
    put32(1);
    put16(height);
    put16(0);
    put32(0);
    return tiff;
}

int RunInChildAsNobody(const std::function<int()>& body) {
    const passwd* nobody = getpwnam("nobody");
    if (nobody == nullptr)
        return -1;
    const uid_t uid = nobody->pw_uid;
    const gid_t gid = nobody->pw_gid;
    return RunPreparedChild(
        [uid, gid] { return setgroups(0, nullptr) == 0 && setgid(gid) == 0 && setuid(uid) == 0; },
        body);
}

namespace {

// Writes TIFF integers in one byte order.
class TiffWriter {
  public:
    explicit TiffWriter(bool bigEndian) : bigEndian_(bigEndian) {}
    void U16(int v) {
        const char hi = static_cast<char>((v >> 8) & 0xFF);
        const char lo = static_cast<char>(v & 0xFF);
        bytes.append(bigEndian_ ? hi : lo);
        bytes.append(bigEndian_ ? lo : hi);
    }
    void U32(long v) {
        U16(static_cast<int>(bigEndian_ ? (v >> 16) & 0xFFFF : v & 0xFFFF));
        U16(static_cast<int>(bigEndian_ ? v & 0xFFFF : (v >> 16) & 0xFFFF));
    }
    void Entry(int tag, int type, long count, long value) {
        U16(tag);
        U16(type);
        U32(count);
        if (type == 3) {
            U16(static_cast<int>(value));
            U16(0);
        } else {
            U32(value);
        }
    }
    QByteArray bytes;

  private:
    bool bigEndian_;
};

}  // namespace

QByteArray MakeExifWithThumbnail(bool bigEndian, int width, int height, const QByteArray& thumbnail,
                                 bool ifd0Size, const QByteArray& trailer) {
    TiffWriter w(bigEndian);
    w.bytes.append(bigEndian ? "MM" : "II");
    w.U16(0x2A);
    w.U32(8);
    const int ifd0Entries = ifd0Size ? 3 : 1;
    const long exifIfd = 8 + 2 + ifd0Entries * 12 + 4;
    const long ifd1 = exifIfd + 2 + 2 * 12 + 4;
    const long thumbnailAt = ifd1 + 2 + 3 * 12 + 4;
    w.U16(ifd0Entries);
    if (ifd0Size) {
        w.Entry(0x0100, 3, 1, width);
        w.Entry(0x0101, 4, 1, height);
    }
    w.Entry(0x8769, 4, 1, exifIfd);
    w.U32(ifd1);
    w.U16(2);
    w.Entry(0xA002, 3, 1, width);
    w.Entry(0xA003, 3, 1, height);
    w.U32(0);
    w.U16(3);
    w.Entry(0x0103, 3, 1, 6);  // compression: JPEG
    w.Entry(0x0201, 4, 1, thumbnailAt);
    w.Entry(0x0202, 4, 1, thumbnail.size());
    w.U32(0);
    w.bytes.append(thumbnail);
    w.bytes.append(trailer);
    return w.bytes;
}

CommandResult RunAsNobody(const QString& program, const QStringList& arguments) {
    QStringList all{QStringLiteral("--reuid=nobody"), QStringLiteral("--regid=nogroup"),
                    QStringLiteral("--clear-groups"), program};
    all += arguments;
    return RunCommand(QStringLiteral("setpriv"), all);
}

}  // namespace testing_support
