#include "engine/JpegInfo.h"
#include "engine/LosslessCrop.h"

#include "TestSupport.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

class LosslessCropTest : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return dir_.path() + "/" + name; }

    QString Write(const QString& name, const QByteArray& data) const {
        WriteBytes(Path(name), data);
        return Path(name);
    }

    // Crops and returns the output (empty when the crop failed).
    QByteArray CropTo(const QString& source, unsigned x, unsigned y, unsigned w, unsigned h,
                      CropOutcome* result = nullptr) {
        const QString out = Path(QStringLiteral("out-%1.jpg").arg(counter_++));
        const CropOutcome r = LosslessCrop(source, out, x, y, w, h);
        if (result != nullptr)
            *result = r;
        return r.status.ok() ? ReadBytes(out) : QByteArray();
    }

    QStringList Entries() const {
        return QDir(dir_.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir_;
    int counter_ = 0;
};

JpegSpec Spec420(int w, int h) {
    JpegSpec spec;
    spec.width = w;
    spec.height = h;
    return spec;
}

// The pixels of `region` of a full decode.
std::vector<std::uint8_t> Region(const DecodedImage& image, int x, int y, int w, int h) {
    std::vector<std::uint8_t> out;
    const int c = image.components;
    for (int row = y; row < y + h; ++row) {
        const auto* start =
            image.pixels.data() + (static_cast<std::size_t>(row) * image.width + x) * c;
        out.insert(out.end(), start, start + static_cast<std::size_t>(w) * c);
    }
    return out;
}

TEST_F(LosslessCropTest, TwoByTwoExampleMovesTheCornerToTheImcuGrid) {
    const QString source = Write("src.jpg", EncodeJpeg(Spec420(1000, 750)));
    CropOutcome result;
    const QByteArray out = CropTo(source, 20, 37, 100, 50, &result);
    ASSERT_TRUE(result.status.ok()) << result.status.errorString().toStdString();
    EXPECT_EQ(result.written, (PixelRect{16, 32, 120, 87}));
    const DecodedImage image = DecodeJpeg(out);
    EXPECT_EQ(image.width, 104);
    EXPECT_EQ(image.height, 55);
    const Coefficients coefficients = ReadCoefficients(out);
    ASSERT_TRUE(coefficients.ok);
    EXPECT_EQ(coefficients.widthInBlocks, (std::vector<int>{13, 7, 7}));
    EXPECT_EQ(coefficients.heightInBlocks, (std::vector<int>{7, 4, 4}));
}

TEST_F(LosslessCropTest, FullImageKeepsEveryCoefficient) {
    const QByteArray original = EncodeJpeg(Spec420(203, 157));
    const QString source = Write("src.jpg", original);
    const QByteArray out = CropTo(source, 0, 0, 203, 157);
    const Coefficients a = ReadCoefficients(original);
    const Coefficients b = ReadCoefficients(out);
    ASSERT_TRUE(a.ok && b.ok);
    EXPECT_EQ(a.components, b.components);
}

TEST_F(LosslessCropTest, ProgressiveSourceBecomesSequentialWithTheSameCoefficients) {
    JpegSpec spec = Spec420(120, 90);
    spec.progressive = true;
    spec.restartRows = 1;
    const QByteArray original = EncodeJpeg(spec);
    const QString source = Write("src.jpg", original);
    ASSERT_TRUE(ReadJpegInfo(source).progressive);
    const QByteArray out = CropTo(source, 0, 0, 120, 90);
    ASSERT_FALSE(out.isEmpty());
    const QString outPath = Write("check.jpg", out);
    EXPECT_FALSE(ReadJpegInfo(outPath).progressive);
    for (const JpegSpec::Marker& marker : ReadMarkers(out)) {
        EXPECT_NE(marker.code, 0xDD) << "restart interval written";
        EXPECT_NE(marker.code, 0xC2) << "progressive frame written";
    }
    EXPECT_EQ(ReadCoefficients(original).components, ReadCoefficients(out).components);
}

TEST_F(LosslessCropTest, GrayscaleCropsOnTheEightPixelGridWithUnitSampling) {
    JpegSpec spec;
    spec.width = 100;
    spec.height = 60;
    spec.components = 1;
    spec.hSamp[0] = 2;
    spec.vSamp[0] = 2;
    const QByteArray original = EncodeJpeg(spec);
    const QString source = Write("gray.jpg", original);
    CropOutcome result;
    const QByteArray out = CropTo(source, 20, 3, 30, 20, &result);
    ASSERT_TRUE(result.status.ok());
    EXPECT_EQ(result.written, (PixelRect{16, 0, 50, 23}));
    const DecodedImage full = DecodeJpeg(original);
    const DecodedImage cut = DecodeJpeg(out);
    EXPECT_EQ(cut.width, 34);
    EXPECT_EQ(cut.height, 23);
    EXPECT_EQ(cut.pixels, Region(full, 16, 0, 34, 23));
    // Written with 1x1 sampling: the SOF's component byte after the id is 0x11.
    for (const JpegSpec::Marker& marker : ReadMarkers(out)) {
        if (marker.code == 0xC0) {
            EXPECT_EQ(static_cast<unsigned char>(marker.data[7]), 0x11);
        }
    }
}

TEST_F(LosslessCropTest, CropToTheEdgeOfAnOddSizedImage) {
    const QByteArray original = EncodeJpeg(Spec420(203, 157));
    const QString source = Write("src.jpg", original);
    CropOutcome result;
    const QByteArray out = CropTo(source, 203 - 37, 157 - 29, 37, 29, &result);
    ASSERT_TRUE(result.status.ok()) << result.status.errorString().toStdString();
    const DecodedImage cut = DecodeJpeg(out);
    EXPECT_EQ(result.written.right, 203);
    EXPECT_EQ(result.written.bottom, 157);
    EXPECT_EQ(cut.width, result.written.Width());
    EXPECT_EQ(cut.height, result.written.Height());
}

TEST_F(LosslessCropTest, InvalidRequestsFailWithoutLeavingAFile) {
    const QString source = Write("src.jpg", EncodeJpeg(Spec420(64, 48)));
    struct Case {
        unsigned x, y, w, h;
    };
    const Case cases[] = {{0, 0, 0, 0},   {0, 0, 0, 10},  {64, 0, 1, 1}, {0, 48, 1, 1},
                          {10, 0, 55, 1}, {0, 0, 65, 48}, {0, 40, 10, 9}};
    for (const Case& c : cases) {
        CropOutcome result;
        EXPECT_TRUE(CropTo(source, c.x, c.y, c.w, c.h, &result).isEmpty());
        EXPECT_EQ(result.status.errorString(), QStringLiteral("Invalid crop request"));
    }
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("src.jpg")});
}

TEST_F(LosslessCropTest, HostileSourcesFailCleanly) {
    const QByteArray good = EncodeJpeg(Spec420(64, 48));
    const QString sources[] = {
        Write("empty.jpg", QByteArray()),
        Write("text.jpg", "this is not a JPEG file at all"),
        Write("soi-only.jpg", good.left(2)),
        Write("header-cut.jpg", good.left(40)),
        Path("missing.jpg"),
        dir_.path(),  // a folder
    };
    for (const QString& source : sources) {
        CropOutcome result;
        EXPECT_TRUE(CropTo(source, 0, 0, 8, 8, &result).isEmpty()) << source.toStdString();
        EXPECT_FALSE(result.status.ok());
        EXPECT_FALSE(result.status.errorString().isEmpty());
    }
    EXPECT_EQ(Entries().size(), 4);  // only the sources made above
    EXPECT_EQ(LosslessCropFile(nullptr, "x", 0, 0, 1, 1), 0);
}

TEST_F(LosslessCropTest, TruncatedSourceIsStillCropped) {
    const QByteArray good = EncodeJpeg(Spec420(256, 192));
    const QString source = Write("cut.jpg", good.left(good.size() * 2 / 3));
    CropOutcome result;
    const QByteArray out = CropTo(source, 8, 8, 200, 150, &result);
    EXPECT_TRUE(result.status.ok()) << result.status.errorString().toStdString();
    EXPECT_GT(result.warnings, 0);
    EXPECT_FALSE(result.firstWarning.isEmpty());
    EXPECT_TRUE(DecodeJpeg(out).ok);
    EXPECT_EQ(LosslessCropFile(QFile::encodeName(source).constData(),
                               QFile::encodeName(Path("x.jpg")).constData(), 0, 0, 16, 16),
              1);
}

TEST_F(LosslessCropTest, StoppingAboveTheBottomIsNoDamage) {
    JpegSpec spec = Spec420(256, 192);
    spec.restartRows = 1;
    const QByteArray original = EncodeJpeg(spec);
    const QString source = Write("src.jpg", original);
    CropOutcome result;
    const QByteArray out = CropTo(source, 0, 0, 100, 40, &result);
    ASSERT_TRUE(result.status.ok());
    EXPECT_EQ(result.warnings, 0);
    EXPECT_TRUE(result.firstWarning.isEmpty());
    EXPECT_EQ(DecodeJpeg(out).pixels, DecodeJpeg(JpegtranCrop(source, 100, 40, 0, 0)).pixels);
}

TEST_F(LosslessCropTest, DestinationMayBeTheSourceItself) {
    const QString source = Write("same.jpg", EncodeJpeg(Spec420(64, 48)));
    ASSERT_TRUE(LosslessCrop(source, source, 16, 16, 16, 16).status.ok());
    EXPECT_EQ(DecodeJpeg(ReadBytes(source)).width, 16);
}

TEST_F(LosslessCropTest, KeepModeNeverReplacesAnExistingFile) {
    const QString source = Write("src.jpg", EncodeJpeg(Spec420(64, 48)));
    const QString taken = Write("taken.jpg", "precious");
    const CropOutcome result = LosslessCrop(source, taken, 0, 0, 16, 16, ExistingOutput::kKeep);
    EXPECT_FALSE(result.status.ok());
    EXPECT_EQ(ReadBytes(taken), QByteArray("precious"));
    EXPECT_EQ(Entries().size(), 2);
}

// --- markers ---

QByteArray App(const char* text) {
    return QByteArray(text);
}

std::vector<int> Codes(const std::vector<JpegSpec::Marker>& markers) {
    std::vector<int> codes;
    for (const auto& m : markers) {
        if (m.code >= 0xE0 || m.code == 0xFE)
            codes.push_back(m.code);
    }
    return codes;
}

TEST_F(LosslessCropTest, MarkersAreCopiedInOrderAfterTheLibrarysOwn) {
    JpegSpec spec = Spec420(64, 48);
    spec.markers = {{0xFE, App("first comment")},
                    {0xE2, QByteArray("ICC_PROFILE\0\1\1fake", 19)},
                    {0xEF, App("vendor")},
                    {0xFE, App("second comment")}};
    const QString source = Write("src.jpg", EncodeJpeg(spec));
    const QByteArray out = CropTo(source, 8, 8, 32, 32);
    const auto markers = ReadMarkers(out);
    EXPECT_EQ(Codes(markers), (std::vector<int>{0xE0, 0xFE, 0xE2, 0xEF, 0xFE}));
    EXPECT_EQ(markers[0].data.left(5), QByteArray("JFIF\0", 5));
    const auto sourceMarkers = ReadMarkers(ReadBytes(source));
    // Every kept marker's bytes are unchanged (the source's JFIF is replaced by the library's).
    for (int i = 1; i < 5; ++i)
        EXPECT_EQ(markers[static_cast<std::size_t>(i)].data,
                  sourceMarkers[static_cast<std::size_t>(i)].data);
}

TEST_F(LosslessCropTest, LeadingExifSuppressesJfifAndGetsTheNewSize) {
    JpegSpec spec = Spec420(1000, 750);
    spec.writeJfif = false;
    spec.markers = {{0xE1, QByteArray("Exif\0\0", 6) + MakeExifTiff(true, 1000, 750)},
                    {0xFE, App("comment")}};
    const QString source = Write("src.jpg", EncodeJpeg(spec));
    const QByteArray out = CropTo(source, 20, 37, 100, 50);
    const auto markers = ReadMarkers(out);
    ASSERT_EQ(Codes(markers), (std::vector<int>{0xE1, 0xFE}));
    const QByteArray tiff = markers[0].data.mid(6);
    EXPECT_EQ(tiff.mid(40 + 8, 4), QByteArray::fromHex("00000068"));  // 104
    EXPECT_EQ(tiff.mid(52 + 8, 4), QByteArray::fromHex("00000037"));  // 55
}

// The Exif block gets the true size wherever it stands; only a leading one
// keeps the library from writing its JFIF header.
TEST_F(LosslessCropTest, ExifAfterJfifGetsTheNewSizeToo) {
    JpegSpec spec = Spec420(1000, 750);  // the library's JFIF APP0 comes first
    const QByteArray exif = QByteArray("Exif\0\0", 6) + MakeExifTiff(false, 1000, 750);
    spec.markers = {{0xE1, exif}};
    const QString source = Write("src.jpg", EncodeJpeg(spec));
    const auto markers = ReadMarkers(CropTo(source, 20, 37, 100, 50));
    ASSERT_EQ(Codes(markers), (std::vector<int>{0xE0, 0xE1}));
    const QByteArray tiff = markers[1].data.mid(6);
    EXPECT_EQ(tiff.mid(40 + 8, 4), QByteArray::fromHex("68000000"));  // 104, little-endian
    EXPECT_EQ(tiff.mid(52 + 8, 4), QByteArray::fromHex("37000000"));  // 55
    EXPECT_EQ(tiff.size(), exif.size() - 6);
}

TEST_F(LosslessCropTest, ExifAfterACommentGetsTheNewSizeAndJfifIsWritten) {
    JpegSpec spec = Spec420(1000, 750);
    spec.writeJfif = false;
    const QByteArray exif = QByteArray("Exif\0\0", 6) + MakeExifTiff(true, 1000, 750);
    spec.markers = {{0xFE, App("c")}, {0xE1, exif}};
    const QString source = Write("src.jpg", EncodeJpeg(spec));
    const auto markers = ReadMarkers(CropTo(source, 20, 37, 100, 50));
    ASSERT_EQ(Codes(markers), (std::vector<int>{0xE0, 0xFE, 0xE1}));
    EXPECT_EQ(markers[2].data.mid(6 + 40 + 8, 4), QByteArray::fromHex("00000068"));
}

TEST_F(LosslessCropTest, WholeImageCropLeavesExifAsItWas) {
    JpegSpec spec = Spec420(64, 48);
    const QByteArray exif = QByteArray("Exif\0\0", 6) + MakeExifTiff(false, 64, 48);
    spec.markers = {{0xE1, exif}};
    const QString source = Write("src.jpg", EncodeJpeg(spec));
    EXPECT_EQ(ReadMarkers(CropTo(source, 0, 0, 64, 48))[1].data, exif);
}

TEST_F(LosslessCropTest, CmykKeepsOneAdobeMarker) {
    JpegSpec spec = Spec420(64, 48);
    spec.components = 4;
    for (int c = 0; c < 4; ++c)
        spec.hSamp[c] = spec.vSamp[c] = 1;
    const QString source = Write("cmyk.jpg", EncodeJpeg(spec));
    const auto markers = ReadMarkers(CropTo(source, 8, 8, 40, 30));
    int adobe = 0;
    for (const auto& m : markers)
        adobe += m.code == 0xEE ? 1 : 0;
    EXPECT_EQ(adobe, 1);
}

}  // namespace
