// The limits that keep a hostile file from taking the machine: the size
// plausibility check, the memory ceiling (and pelmora-crop's option for it),
// the scan cap, and damaged photos that must still crop.

#include "engine/JpegLimits.h"
#include "engine/LosslessCrop.h"
#include "engine/RecompressCrop.h"
#include "images/ImgThumb.h"

#include "TestSupport.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <array>

namespace {

using namespace testing_support;

const QString kTool = QStringLiteral(PELMORA_CROP_TOOL);

// Far more than a refused file may take, far less than it would take if the
// refusal came after allocating.
constexpr long kLargeAllocationKb = 64 * 1024;

class JpegLimitsTest : public ::testing::Test {
  protected:
    void SetUp() override {
        saved_ = CurrentJpegLimits();
        QDir(dir_.path()).mkdir(QStringLiteral("out"));
    }
    void TearDown() override { SetJpegLimits(saved_); }

    QString Write(const QString& name, const QByteArray& data) const {
        const QString path = dir_.path() + u'/' + name;
        WriteBytes(path, data);
        return path;
    }
    QString Out(const QString& name) const { return dir_.path() + QStringLiteral("/out/") + name; }
    QStringList OutEntries() const {
        return QDir(dir_.path() + QStringLiteral("/out"))
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }
    static void SetMemoryCeiling(std::uint64_t bytes) {
        JpegLimits limits = CurrentJpegLimits();
        limits.maxMemoryBytes = bytes;
        SetJpegLimits(limits);
    }

    // The lossless crop, the re-compressing crop and the thumbnail of `path`
    // all refuse it with a reason containing `reason`, and leave nothing.
    void ExpectRefusedEverywhere(const QString& path, const QString& reason) {
        const CropOutcome lossless = LosslessCrop(path, Out("a.jpg"), 0, 0, 16, 16);
        EXPECT_FALSE(lossless.status.ok());
        EXPECT_TRUE(lossless.status.errorString().contains(reason))
            << lossless.status.errorString().toStdString();
        const CropOutcome recompress = RecompressCrop(path, Out("b.jpg"), {0, 0, 16, 16}, 80);
        EXPECT_FALSE(recompress.status.ok());
        EXPECT_TRUE(recompress.status.errorString().contains(reason))
            << recompress.status.errorString().toStdString();
        CImg thumbnail;
        int width = kThumbnailBox;
        int height = kThumbnailBox;
        EXPECT_EQ(thumbnail.Load(path, width, height), 0);
        EXPECT_TRUE(thumbnail.LastError().contains(reason)) << thumbnail.LastError().toStdString();
        EXPECT_EQ(MakeImageRecord(path), nullptr);
        EXPECT_TRUE(OutEntries().isEmpty()) << OutEntries().join(' ').toStdString();
    }

    // Peak memory of the lossless crop, the re-compressing crop of a small
    // region and the thumbnail of `path`, each in a child, less that of a
    // child doing nothing. `results`: 1 written, 0 refused, -1 not tried.
    void ExpectNoLargeAllocation(const QString& path, const std::array<int, 3>& results) {
        const long idle = PeakRssOfChildKb([] { return 0; });
        ASSERT_GT(idle, 0);
        const QString out = Out("big.jpg");
        const std::function<int()> operations[] = {
            [&] { return LosslessCrop(path, out, 0, 0, 64, 64).status.ok() ? 1 : 0; },
            [&] {
                return RecompressCrop(path, out, {0, 0, 64, 64}, 80).status.ok() ? 1 : 0;
            },
            [&] { return MakeImageRecord(path) ? 1 : 0; }};
        for (std::size_t i = 0; i < results.size(); ++i) {
            if (results[i] < 0)
                continue;
            int result = -1;
            const long peak = PeakRssOfChildKb(operations[i], &result);
            EXPECT_EQ(result, results[i]) << "operation " << i;
            EXPECT_GT(peak, 0);
            EXPECT_LT(peak - idle, kLargeAllocationKb) << "operation " << i;
        }
    }

    JpegLimits saved_;
    QTemporaryDir dir_;
};

// A progressive file whose last scan is repeated until the file has
// `scans` scans: libjpeg only warns about the bogus progression.
QByteArray WithRepeatedLastScan(int scans) {
    JpegSpec spec;
    spec.width = 32;
    spec.height = 32;
    spec.progressive = true;
    const QByteArray jpeg = EncodeJpeg(spec);
    const std::vector<qsizetype> offsets = ScanOffsets(jpeg);
    const QByteArray last = jpeg.mid(offsets.back(), jpeg.size() - 2 - offsets.back());
    QByteArray out = jpeg.left(jpeg.size() - 2);
    for (int n = static_cast<int>(offsets.size()); n < scans; ++n)
        out.append(last);
    return out.append("\xFF\xD9", 2);
}

// The first half of a 256 x 256 photo's bytes.
QByteArray HalfAPhoto() {
    JpegSpec spec;
    spec.width = 256;
    spec.height = 256;
    const QByteArray whole = EncodeJpeg(spec);
    return whole.left(whole.size() / 2);
}

TEST_F(JpegLimitsTest, HeaderOnlyFileClaimingAHugePictureIsRefusedWithoutAllocating) {
    const QByteArray header = MakeHeaderOnlyJpeg(65000, 65000);
    ASSERT_LT(header.size(), 1024);
    const QString path = Write(QStringLiteral("huge.jpg"), header);
    ExpectRefusedEverywhere(path, QStringLiteral("far too small for the 65000x65000 picture"));
    ExpectNoLargeAllocation(path, {0, 0, 0});
    EXPECT_TRUE(OutEntries().isEmpty());
}

TEST_F(JpegLimitsTest, PlausibleFileBeyondTheCeilingIsRefusedWithoutAllocating) {
    // 300 KB passes the size check for 65000 x 65000 (a hundredth of the
    // smallest coding is about 250 KB), but its coefficients alone would
    // take 12 GB, and a lossless crop reserves room for a workspace as large
    // again. A re-compressing crop of a small corner needs little and goes
    // ahead.
    QByteArray padded = MakeHeaderOnlyJpeg(65000, 65000);
    padded.insert(padded.size() - 2, QByteArray(300 * 1024, '\x55'));
    const QString path = Write(QStringLiteral("padded.jpg"), padded);
    SetMemoryCeiling(1ULL << 30);
    const CropOutcome lossless = LosslessCrop(path, Out("a.jpg"), 0, 0, 16, 16);
    EXPECT_FALSE(lossless.status.ok());
    EXPECT_TRUE(lossless.status.errorString().contains(
        QStringLiteral("would need 24177 MB of memory, more than "
                       "the limit of 1024 MB")))
        << lossless.status.errorString().toStdString();
    EXPECT_TRUE(OutEntries().isEmpty());
    ExpectNoLargeAllocation(path, {0, 1, -1});
}

TEST_F(JpegLimitsTest, CeilingRefusesCropsButNotTheScaledThumbnail) {
    JpegSpec spec;
    spec.width = 1024;
    spec.height = 1024;
    const QString path = Write(QStringLiteral("photo.jpg"), EncodeJpeg(spec));
    SetMemoryCeiling(1ULL << 20);
    const CropOutcome lossless = LosslessCrop(path, Out("a.jpg"), 8, 8, 1000, 1000);
    EXPECT_FALSE(lossless.status.ok());
    EXPECT_TRUE(
        lossless.status.errorString().contains(QStringLiteral("more than the limit of 1 MB")))
        << lossless.status.errorString().toStdString();
    const CropOutcome recompress = RecompressCrop(path, Out("b.jpg"), {8, 8, 1008, 1008}, 80);
    EXPECT_FALSE(recompress.status.ok());
    EXPECT_TRUE(
        recompress.status.errorString().contains(QStringLiteral("more than the limit of 1 MB")));
    EXPECT_TRUE(OutEntries().isEmpty());
    // A 1/8-scale decode needs a hundredth of that.
    EXPECT_NE(MakeImageRecord(path), nullptr);

    SetMemoryCeiling(64ULL << 20);
    EXPECT_TRUE(LosslessCrop(path, Out("a.jpg"), 8, 8, 1000, 1000).status.ok());
    EXPECT_TRUE(RecompressCrop(path, Out("b.jpg"), {8, 8, 1008, 1008}, 80).status.ok());
}

TEST_F(JpegLimitsTest, TooManyScansAreStoppedAndTheCapCanBeRaised) {
    const QString path = Write(QStringLiteral("scans.jpg"), WithRepeatedLastScan(1200));
    ASSERT_EQ(ScanOffsets(ReadBytes(path)).size(), 1200U);
    ExpectRefusedEverywhere(path, QStringLiteral("too many scans"));

    JpegLimits limits = CurrentJpegLimits();
    limits.maxScans = 2000;
    SetJpegLimits(limits);
    const CropOutcome result = LosslessCrop(path, Out("a.jpg"), 0, 0, 16, 16);
    EXPECT_TRUE(result.status.ok()) << result.status.errorString().toStdString();
    EXPECT_GT(result.warnings, 0);
}

TEST_F(JpegLimitsTest, TruncatedPhotoStillCropsWithWarnings) {
    const QString path = Write(QStringLiteral("half.jpg"), HalfAPhoto());

    EXPECT_EQ(LosslessCropFile(path.toLocal8Bit().constData(),
                               Out("file.jpg").toLocal8Bit().constData(), 16, 200, 64, 48),
              1);
    const CropOutcome lossless = LosslessCrop(path, Out("a.jpg"), 16, 200, 64, 48);
    ASSERT_TRUE(lossless.status.ok()) << lossless.status.errorString().toStdString();
    EXPECT_GT(lossless.warnings, 0);
    EXPECT_TRUE(lossless.firstWarning.contains(QStringLiteral("Premature end")))
        << lossless.firstWarning.toStdString();
    // Rows past the cut are there, filled in by the decoder.
    const DecodedImage cropped = DecodeJpeg(ReadBytes(Out("a.jpg")));
    ASSERT_TRUE(cropped.ok);
    EXPECT_EQ(cropped.width, 64);
    EXPECT_EQ(cropped.height, 56);

    const CropOutcome recompress = RecompressCrop(path, Out("b.jpg"), {16, 200, 80, 248}, 90);
    ASSERT_TRUE(recompress.status.ok()) << recompress.status.errorString().toStdString();
    EXPECT_GT(recompress.warnings, 0);
    EXPECT_NE(MakeImageRecord(path), nullptr);
}

class CropToolLimitsTest : public JpegLimitsTest {
  protected:
    CommandResult Crop(QStringList arguments) {
        arguments.prepend(dir_.path() + QStringLiteral("/out"));
        arguments.prepend(QStringLiteral("-o"));
        return RunCommand(kTool, arguments);
    }
};

TEST_F(CropToolLimitsTest, MaxMemoryOptionSetsTheCeiling) {
    JpegSpec spec;
    spec.width = 1024;
    spec.height = 1024;
    const QString path = Write(QStringLiteral("photo.jpg"), EncodeJpeg(spec));
    const CommandResult low = Crop({QStringLiteral("--max-memory"), QStringLiteral("1"),
                                    QStringLiteral("-r"), QStringLiteral("0,0,1000,1000"), path});
    EXPECT_EQ(low.exitCode, 1);
    EXPECT_TRUE(low.err.contains("photo.jpg: rectangle 1"));
    EXPECT_TRUE(low.err.contains("more than the limit of 1 MB")) << low.err.toStdString();
    EXPECT_TRUE(low.out.contains("0 written, 1 failed, 0 skipped"));
    EXPECT_TRUE(OutEntries().isEmpty());

    const CommandResult high =
        Crop({QStringLiteral("--max-memory=64"), QStringLiteral("-m"), QStringLiteral("recompress"),
              QStringLiteral("-r"), QStringLiteral("0,0,1000,1000"), path});
    EXPECT_EQ(high.exitCode, 0) << high.err.toStdString();
    EXPECT_EQ(OutEntries().size(), 1);

    for (const char* bad : {"0", "-5", "lots", "1048577"}) {
        const CommandResult usage = Crop({QStringLiteral("--max-memory"), QString::fromLatin1(bad),
                                          QStringLiteral("-r"), QStringLiteral("0,0,8,8"), path});
        EXPECT_EQ(usage.exitCode, 2) << bad;
        EXPECT_TRUE(usage.err.contains("--max-memory takes a number from 1 to 1048576")) << bad;
    }
}

TEST_F(CropToolLimitsTest, DamagedPhotoIsReportedOnceAndStillWritten) {
    const QString path = Write(QStringLiteral("half.jpg"), HalfAPhoto());
    for (const char* mode : {"lossless", "recompress"}) {
        SCOPED_TRACE(mode);
        const CommandResult result =
            Crop({QStringLiteral("-m"), QString::fromLatin1(mode), QStringLiteral("-r"),
                  QStringLiteral("0,0,64,64"), QStringLiteral("-r"), QStringLiteral("0,128,64,192"),
                  path});
        EXPECT_EQ(result.exitCode, 0) << result.err.toStdString();
        EXPECT_TRUE(result.out.contains("2 written, 0 failed, 0 skipped"));
        static const QRegularExpression line(
            QStringLiteral("^pelmora-crop: .*half\\.jpg: \\d+ warnings? about damaged data "
                           "\\(first: Premature end of JPEG file\\)$"),
            QRegularExpression::MultilineOption);
        const QString err = QString::fromLocal8Bit(result.err);
        EXPECT_EQ(err.count(line), 1) << err.toStdString();
    }
    EXPECT_EQ(OutEntries().size(), 4);
}

}  // namespace
