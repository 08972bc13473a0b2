// Files that only pretend to be photos, or are broken in the ways photos from
// the web, phones and editors are, made at test time. Every one meets the
// lossless crop, the re-compressing crop and the thumbnail step; each outcome
// is fixed here (written, or refused with the reason), and nothing is ever
// left under an output name or as a temporary file.

#include "engine/JpegCodec.h"
#include "engine/JpegLib.h"
#include "engine/LosslessCrop.h"
#include "engine/RecompressCrop.h"
#include "images/ImgThumb.h"

#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

namespace {

using namespace testing_support;

enum class Outcome {
    kRefused,       // fails with the reason given
    kWritten,       // written, no warning
    kWithWarnings,  // written, libjpeg warned about the data
};

struct HostileCase {
    std::string name;
    std::function<QByteArray()> make;
    Outcome lossless;
    QString reason;  // part of the lossless crop's message when refused
    bool recompressWrites;
    bool thumbnails;
    PixelRect rect{9, 9, 29, 19};
};

void PrintTo(const HostileCase& c, std::ostream* os) {
    *os << c.name;
}

// A TIFF structure written in either byte order.
class Tiff {
  public:
    explicit Tiff(bool bigEndian) : big_(bigEndian) { data_.append(big_ ? "MM" : "II"); }
    Tiff& U16(unsigned v) {
        const char hi = static_cast<char>((v >> 8) & 0xFF);
        const char lo = static_cast<char>(v & 0xFF);
        data_.append(big_ ? hi : lo).append(big_ ? lo : hi);
        return *this;
    }
    Tiff& U32(std::uint32_t v) {
        return big_ ? U16(v >> 16).U16(v & 0xFFFF) : U16(v & 0xFFFF).U16(v >> 16);
    }
    // One IFD entry: tag, type, count, value or offset.
    Tiff& Entry(unsigned tag, unsigned type, std::uint32_t count, std::uint32_t value) {
        return U16(tag).U16(type).U32(count).U32(value);
    }
    QByteArray Marker() const { return QByteArray("Exif\0\0", 6) + data_; }

  private:
    bool big_;
    QByteArray data_;
};

constexpr unsigned kExifIfd = 0x8769;
constexpr unsigned kPixelX = 0xA002;
constexpr unsigned kPixelY = 0xA003;
constexpr unsigned kLong = 4;

// The Exif IFD pointer leads past the end of the block.
QByteArray ExifPointingOutside(bool big) {
    return Tiff(big).U16(0x2A).U32(8).U16(1).Entry(kExifIfd, kLong, 1, 0xFFF0).U32(0).Marker();
}
// IFD0 names itself as the Exif IFD and as the next IFD.
QByteArray ExifLoopingBack(bool big) {
    return Tiff(big).U16(0x2A).U32(8).U16(1).Entry(kExifIfd, kLong, 1, 8).U32(8).Marker();
}
// Both IFDs claim 65535 entries; the dimension entries hold `count` values.
QByteArray ExifWithHugeIfds(bool big, std::uint32_t count, std::uint32_t width,
                            std::uint32_t height) {
    return Tiff(big)
        .U16(0x2A)
        .U32(8)
        .U16(0xFFFF)
        .Entry(kExifIfd, kLong, 1, 26)
        .U32(0)
        .U16(0xFFFF)
        .Entry(kPixelX, kLong, count, width)
        .Entry(kPixelY, kLong, count, height)
        .Marker();
}
QByteArray ExifClaimingBillions(bool big) {
    return ExifWithHugeIfds(big, 0xFFFFFFFF, 64, 48);
}

QByteArray PhotoWithMarker(int code, const QByteArray& data) {
    JpegSpec spec;
    spec.writeJfif = false;
    spec.markers = {{code, data}};
    return EncodeJpeg(spec);
}

QByteArray SavedByQt(const char* format) {
    QImage image(40, 30, QImage::Format_RGB32);
    image.fill(Qt::darkCyan);
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format);
    return bytes;
}

QByteArray Cmyk(bool ycck) {
    JpegSpec spec;
    spec.components = 4;
    spec.ycck = ycck;
    spec.hSamp[0] = 1;
    spec.vSamp[0] = 1;
    return EncodeJpeg(spec);
}

std::vector<HostileCase> Cases() {
    std::vector<HostileCase> cases = {
        {"Empty", [] { return QByteArray(); }, Outcome::kRefused, "Empty input file", false, false},
        {"OneByte", [] { return QByteArray(1, '\xFF'); }, Outcome::kRefused, "Not a JPEG file",
         false, false},
        {"PngNamedJpg", [] { return SavedByQt("PNG"); }, Outcome::kRefused,
         "Not a JPEG file: starts with 0x89 0x50", true, true},
        {"GifNamedJpg",
         OnePixelGif,
         Outcome::kRefused,
         "Not a JPEG file: starts with 0x47 0x49",
         true,
         true,
         {0, 0, 1, 1}},
        {"TextNamedJpg", [] { return QByteArray("Not a picture at all.\n"); }, Outcome::kRefused,
         "Not a JPEG file: starts with 0x4e 0x6f", false, false},
        {"SoiOnly", [] { return QByteArray::fromHex("ffd8"); }, Outcome::kRefused,
         "JPEG datastream contains no image", false, false},
        {"CutBeforeTheFirstScan",
         [] {
             const QByteArray photo = EncodeJpeg(JpegSpec{});
             return photo.left(ScanOffsets(photo).front());
         },
         Outcome::kRefused, "Invalid JPEG file structure: missing SOS marker", false, false},
        // libjpeg's own limit comes first here; 65000 x 65000 meets ours
        // (JpegLimitsTest).
        {"Claims65535Square",
         [] { return MakeHeaderOnlyJpeg(65535, 65535); },
         Outcome::kRefused,
         "Maximum supported image dimension is 65500 pixels",
         false,
         false,
         {0, 0, 16, 16}},
        {"RestartMarkersMissing",
         [] {
             JpegSpec spec;
             spec.restartRows = 1;
             return WithoutRestartMarkers(EncodeJpeg(spec));
         },
         Outcome::kWithWarnings,
         {},
         true,
         true},
        {"Comment64K",
         [] { return PhotoWithMarker(JPEG_COM, QByteArray(65533, 'c')); },
         Outcome::kWritten,
         {},
         true,
         true},
        {"Cmyk", [] { return Cmyk(false); }, Outcome::kWritten, {}, true, true},
        {"Ycck", [] { return Cmyk(true); }, Outcome::kWritten, {}, true, true},
        {"TwelveBit", [] { return MakeHeaderOnlyJpeg(64, 48, 0xC1, 12); }, Outcome::kRefused,
         "Unsupported JPEG data precision 12", false, false},
        {"LosslessProcess", [] { return MakeHeaderOnlyJpeg(64, 48, 0xC3, 8); }, Outcome::kRefused,
         "Unsupported JPEG process: SOF type 0xc3", false, false},
        {"Arithmetic",
         [] {
             JpegSpec spec;
             spec.arithmetic = true;
             return EncodeJpeg(spec);
         },
         Outcome::kWritten,
         {},
         true,
         true},
    };
    for (const bool big : {false, true}) {
        const std::string order = big ? "BigEndian" : "LittleEndian";
        cases.push_back({"ExifPointingOutside" + order,
                         [big] { return PhotoWithMarker(JPEG_APP0 + 1, ExifPointingOutside(big)); },
                         Outcome::kWritten,
                         {},
                         true,
                         true});
        cases.push_back({"ExifLoopingBack" + order,
                         [big] { return PhotoWithMarker(JPEG_APP0 + 1, ExifLoopingBack(big)); },
                         Outcome::kWritten,
                         {},
                         true,
                         true});
        cases.push_back(
            {"ExifClaimingBillions" + order,
             [big] { return PhotoWithMarker(JPEG_APP0 + 1, ExifClaimingBillions(big)); },
             Outcome::kWritten,
             {},
             true,
             true});
    }
    return cases;
}

class HostileInputTest : public ::testing::TestWithParam<HostileCase> {
  protected:
    void SetUp() override {
        QDir(dir_.path()).mkdir(QStringLiteral("out"));
        source_ = dir_.path() + QStringLiteral("/hostile.jpg");
        bytes_ = GetParam().make();
        WriteBytes(source_, bytes_);
    }
    QString Out(const QString& name) const { return dir_.path() + QStringLiteral("/out/") + name; }
    QStringList OutEntries() const {
        return QDir(dir_.path() + QStringLiteral("/out"))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot, QDir::Name);
    }

    QTemporaryDir dir_;
    QString source_;
    QByteArray bytes_;
};

TEST_P(HostileInputTest, LosslessCropHasItsDefinedOutcome) {
    const HostileCase& c = GetParam();
    const PixelRect& r = c.rect;
    const CropOutcome result =
        LosslessCrop(source_, Out("a.jpg"), static_cast<std::uint32_t>(r.left),
                     static_cast<std::uint32_t>(r.top), static_cast<std::uint32_t>(r.Width()),
                     static_cast<std::uint32_t>(r.Height()));
    const int fileResult =
        LosslessCropFile(source_.toLocal8Bit().constData(), Out("b.jpg").toLocal8Bit().constData(),
                         static_cast<unsigned>(r.left), static_cast<unsigned>(r.top),
                         static_cast<unsigned>(r.Width()), static_cast<unsigned>(r.Height()));
    if (c.lossless == Outcome::kRefused) {
        EXPECT_FALSE(result.status.ok());
        EXPECT_EQ(fileResult, 0);
        EXPECT_TRUE(result.status.errorString().contains(c.reason))
            << result.status.errorString().toStdString();
        EXPECT_TRUE(OutEntries().isEmpty()) << OutEntries().join(' ').toStdString();
        return;
    }
    ASSERT_TRUE(result.status.ok()) << result.status.errorString().toStdString();
    EXPECT_EQ(fileResult, 1);
    EXPECT_EQ(result.warnings > 0, c.lossless == Outcome::kWithWarnings)
        << result.firstWarning.toStdString();
    EXPECT_EQ(OutEntries(), (QStringList{"a.jpg", "b.jpg"}));
    const DecodedImage decoded = DecodeJpeg(ReadBytes(Out("a.jpg")));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, result.written.Width());
    EXPECT_EQ(decoded.height, result.written.Height());
}

TEST_P(HostileInputTest, RecompressCropHasItsDefinedOutcome) {
    const HostileCase& c = GetParam();
    const CropOutcome result = RecompressCrop(source_, Out("a.jpg"), c.rect, 85);
    EXPECT_EQ(result.status.ok(), c.recompressWrites) << result.status.errorString().toStdString();
    if (!result.status.ok()) {
        EXPECT_FALSE(result.status.errorString().isEmpty());
        EXPECT_TRUE(OutEntries().isEmpty()) << OutEntries().join(' ').toStdString();
        return;
    }
    EXPECT_EQ(OutEntries(), QStringList{"a.jpg"});
    const DecodedImage decoded = DecodeJpeg(ReadBytes(Out("a.jpg")));
    ASSERT_TRUE(decoded.ok);
    EXPECT_EQ(decoded.width, c.rect.Width());
    EXPECT_EQ(decoded.height, c.rect.Height());
}

TEST_P(HostileInputTest, ThumbnailHasItsDefinedOutcome) {
    const HostileCase& c = GetParam();
    CImg image;
    int width = kThumbnailBox;
    int height = kThumbnailBox;
    const int loaded = image.Load(source_, width, height);
    EXPECT_EQ(loaded == 1, c.thumbnails) << image.LastError().toStdString();
    if (loaded == 0) {
        EXPECT_FALSE(image.LastError().isEmpty());
        EXPECT_EQ(MakeImageRecord(source_), nullptr);
    } else {
        EXPECT_GT(width, 0);
        EXPECT_LE(image.GetWidth(), kThumbnailBox);
        EXPECT_LE(image.GetHeight(), kThumbnailBox);
    }
}

// The whole corpus in one folder through pelmora-crop: one line per refused
// file with its reason, one per damaged file, the rest written.
TEST(HostileInputToolTest, CropToolReportsEveryFilePlainly) {
    QTemporaryDir dir;
    QDir(dir.path()).mkdir(QStringLiteral("in"));
    QDir(dir.path()).mkdir(QStringLiteral("out"));
    const std::vector<HostileCase> cases = Cases();
    for (const HostileCase& c : cases) {
        WriteBytes(dir.path() + QStringLiteral("/in/%1.jpg").arg(QString::fromStdString(c.name)),
                   c.make());
    }
    const CommandResult result = RunCommand(
        QStringLiteral(PELMORA_CROP_TOOL),
        {QStringLiteral("-o"), dir.path() + QStringLiteral("/out"), QStringLiteral("-r"),
         QStringLiteral("10%,10%,60%,60%"), QStringLiteral("--quiet"), dir.path() + "/in"});
    EXPECT_EQ(result.exitCode, 1);
    const QString err = QString::fromLocal8Bit(result.err);
    int refused = 0;
    for (const HostileCase& c : cases) {
        SCOPED_TRACE(c.name);
        const QString file = QString::fromStdString(c.name) + QStringLiteral(".jpg");
        const QString failure = QStringLiteral(
                                    "%1: rectangle 1 ((10.00 %, 10.00 %)-(60.00 %, 60.00 %)): "
                                    "not a readable JPEG: %2")
                                    .arg(file, c.reason);
        EXPECT_EQ(err.contains(failure), c.lossless == Outcome::kRefused) << err.toStdString();
        const QRegularExpression warning(QRegularExpression::escape(file) +
                                         QStringLiteral(": \\d+ warnings? about damaged data"));
        EXPECT_EQ(warning.match(err).hasMatch(), c.lossless == Outcome::kWithWarnings);
        if (c.lossless == Outcome::kRefused)
            ++refused;
    }
    const int written = static_cast<int>(cases.size()) - refused;
    EXPECT_TRUE(result.out.contains(
        QStringLiteral("%1 written, %2 failed, 0 skipped").arg(written).arg(refused).toUtf8()))
        << result.out.toStdString();
    EXPECT_EQ(QDir(dir.path() + QStringLiteral("/out"))
                  .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot)
                  .size(),
              written);
}

INSTANTIATE_TEST_SUITE_P(Corpus, HostileInputTest, ::testing::ValuesIn(Cases()),
                         [](const ::testing::TestParamInfo<HostileCase>& info) {
                             return info.param.name;
                         });

class HostileInputOutputTest : public ::testing::Test {
  protected:
    void SetUp() override { QDir(dir_.path()).mkdir(QStringLiteral("out")); }
    QString Write(const QByteArray& data) const {
        const QString path = dir_.path() + QStringLiteral("/in.jpg");
        WriteBytes(path, data);
        return path;
    }
    QString Out(const QString& name) const { return dir_.path() + QStringLiteral("/out/") + name; }
    QTemporaryDir dir_;
};

// A progressive photo cut inside each of its scans still crops, as far as its
// data goes, with warnings; so does every other operation.
TEST_F(HostileInputOutputTest, ProgressivePhotoCutInEveryScanStillCrops) {
    JpegSpec spec;
    spec.width = 96;
    spec.height = 64;
    spec.progressive = true;
    const QByteArray photo = EncodeJpeg(spec);
    const std::vector<qsizetype> scans = ScanOffsets(photo);
    ASSERT_GE(scans.size(), 6U);
    const auto* bytes = reinterpret_cast<const unsigned char*>(photo.constData());
    for (std::size_t i = 0; i < scans.size(); ++i) {
        SCOPED_TRACE(i);
        // Halfway through the scan's coded data, which runs from the end of
        // its header to the next marker.
        const qsizetype start = scans[i] + 2 + ((bytes[scans[i] + 2] << 8) | bytes[scans[i] + 3]);
        qsizetype end = start;
        while (end + 1 < photo.size() && !(bytes[end] == 0xFF && bytes[end + 1] != 0))
            ++end;
        ASSERT_GT(end - start, 4);
        const QString path = Write(photo.left((start + end) / 2));
        const CropOutcome lossless = LosslessCrop(path, Out("a.jpg"), 20, 12, 50, 40);
        ASSERT_TRUE(lossless.status.ok()) << lossless.status.errorString().toStdString();
        EXPECT_GT(lossless.warnings, 0);
        EXPECT_TRUE(DecodeJpeg(ReadBytes(Out("a.jpg"))).ok);
        const CropOutcome recompress = RecompressCrop(path, Out("b.jpg"), {20, 12, 70, 52}, 80);
        EXPECT_TRUE(recompress.status.ok()) << recompress.status.errorString().toStdString();
        EXPECT_GT(recompress.warnings, 0);
        EXPECT_NE(MakeImageRecord(path), nullptr);
    }
}

// Malformed Exif blocks are copied untouched; a well-formed part of one is
// still rewritten to the new size.
TEST_F(HostileInputOutputTest, MalformedExifIsCopiedAsItIs) {
    for (const bool big : {false, true}) {
        for (const QByteArray& exif : {ExifPointingOutside(big), ExifLoopingBack(big)}) {
            const QString path = Write(PhotoWithMarker(JPEG_APP0 + 1, exif));
            ASSERT_TRUE(LosslessCrop(path, Out("a.jpg"), 16, 16, 20, 10).status.ok());
            const std::vector<JpegSpec::Marker> markers = ReadMarkers(ReadBytes(Out("a.jpg")));
            ASSERT_FALSE(markers.empty());
            EXPECT_EQ(markers.front().code, JPEG_APP0 + 1);
            EXPECT_EQ(markers.front().data, exif);
        }
        const QByteArray billions = ExifClaimingBillions(big);
        const QString path = Write(PhotoWithMarker(JPEG_APP0 + 1, billions));
        ASSERT_TRUE(LosslessCrop(path, Out("a.jpg"), 16, 16, 20, 10).status.ok());
        const QByteArray written = ReadMarkers(ReadBytes(Out("a.jpg"))).front().data;
        ASSERT_EQ(written.size(), billions.size());
        // Each dimension entry becomes one LONG holding the new size.
        EXPECT_EQ(written.toHex(), ExifWithHugeIfds(big, 1, 20, 10).toHex());
    }
}

TEST_F(HostileInputOutputTest, LargestCommentIsKeptByteForByte) {
    QByteArray comment(65533, '\0');
    for (int i = 0; i < comment.size(); ++i)
        comment[i] = static_cast<char>(i * 7);
    const QString path = Write(PhotoWithMarker(JPEG_COM, comment));
    ASSERT_TRUE(LosslessCrop(path, Out("a.jpg"), 8, 8, 16, 16).status.ok());
    const std::vector<JpegSpec::Marker> markers = ReadMarkers(ReadBytes(Out("a.jpg")));
    const auto kept = std::find_if(markers.begin(), markers.end(),
                                   [](const JpegSpec::Marker& m) { return m.code == JPEG_COM; });
    ASSERT_NE(kept, markers.end());
    EXPECT_TRUE(kept->data == comment);
}

// A marker longer than a JPEG segment can hold fails the encoder after its
// output buffer has grown past the first chunk (a 20000-byte marker and the
// headers are written first). The failure must leave one owner of the bytes:
// nothing freed twice, nothing leaked (see the sanitizer build), and the
// encoder usable again.
TEST(HostileEncoderInput, EncoderErrorAfterTheBufferGrewFailsCleanly) {
    RgbPicture noise(64, 64);
    quint32 state = 12345;
    for (int y = 0; y < noise.Height(); ++y) {
        for (int x = 0; x < noise.Width() * 3; ++x) {
            state = state * 1664525U + 1013904223U;
            noise.Row(y)[x] = static_cast<uchar>(state >> 24);
        }
    }
    const JpegMarker large{0xE1, QByteArray(20000, 'a')};
    const JpegMarker tooLong{0xE2, QByteArray(65534, 'b')};
    EXPECT_TRUE(EncodeJpegBytes(noise, 90, {large, tooLong}).isEmpty());

    const QByteArray good = EncodeJpegBytes(noise, 90, {large});
    ASSERT_GT(good.size(), 20000 + 4096);
    EXPECT_TRUE(good.startsWith("\xFF\xD8\xFF\xE1"));
    EXPECT_TRUE(good.endsWith("\xFF\xD9"));
    EXPECT_EQ(DecodeJpegImage(good).size(), QSize(64, 64));
    const std::vector<JpegSpec::Marker> markers = ReadMarkers(good);
    ASSERT_FALSE(markers.empty());
    EXPECT_EQ(markers.front().data, large.data);
}

}  // namespace
