#include "engine/JpegCodec.h"
#include "engine/QtPictureReaders.h"
#include "engine/RecompressCrop.h"

#include "TestSupport.h"

#include <QDir>
#include <QImage>
#include <QImageWriter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

struct Kind {
    const char* name;
    int components;
    int h0, v0;
    bool progressive;
};

const Kind kKinds[] = {
    {"444", 3, 1, 1, false},  {"422", 3, 2, 1, false},    {"420", 3, 2, 2, false},
    {"440", 3, 1, 2, false},  {"gray", 1, 1, 1, false},   {"420progressive", 3, 2, 2, true},
    {"cmyk", 4, 1, 1, false}, {"cmyk21", 4, 2, 1, false},
};

JpegSpec SpecFor(const Kind& kind, int width, int height) {
    JpegSpec spec;
    spec.width = width;
    spec.height = height;
    spec.components = kind.components;
    for (int c = 0; c < 4; ++c)
        spec.hSamp[c] = spec.vSamp[c] = 1;
    spec.hSamp[0] = kind.h0;
    spec.vSamp[0] = kind.v0;
    spec.progressive = kind.progressive;
    return spec;
}

class RegionDecodeTest : public ::testing::TestWithParam<Kind> {};

// Decoding only what a rectangle needs must give the very pixels of a full
// decode, at every position relative to the block grid.
TEST_P(RegionDecodeTest, RegionEqualsTheSameRegionOfAFullDecode) {
    const Kind kind = GetParam();
    QTemporaryDir dir;
    const QString path = dir.path() + "/src.jpg";
    WriteBytes(path, EncodeJpeg(SpecFor(kind, 203, 157)));
    const DecodedJpeg full = DecodeJpegFile(path);
    ASSERT_FALSE(full.image.IsNull()) << full.error.toStdString();
    const PixelRect rects[] = {{0, 0, 203, 157},     {3, 5, 13, 12},     {0, 0, 1, 1},
                               {202, 156, 203, 157}, {16, 16, 32, 32},   {15, 15, 33, 33},
                               {17, 31, 203, 157},   {100, 0, 101, 157}, {8, 70, 150, 71},
                               {31, 47, 97, 113}};
    for (const PixelRect& r : rects) {
        const DecodedJpeg part = DecodeJpegRegion(path, r);
        ASSERT_FALSE(part.image.IsNull()) << part.error.toStdString();
        EXPECT_EQ(part.image, full.image.Copy(r))
            << kind.name << " " << r.left << "," << r.top << "-" << r.right << "," << r.bottom;
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, RegionDecodeTest, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return std::string(info.param.name);
                         });

class RecompressCropTest : public ::testing::Test {
  protected:
    QString Source(const JpegSpec& spec) {
        const QString path = dir_.path() + "/src.jpg";
        WriteBytes(path, EncodeJpeg(spec));
        return path;
    }
    QString Out(const char* name) const { return dir_.path() + "/" + name; }
    QTemporaryDir dir_;
};

// An Adobe CMYK file stores its inks inverted (0 = full ink). Our colours
// are held against Qt's own decoder, which reads such files the same way:
// they may differ by rounding only, never by an inversion of the inks. The
// preview, the thumbnail and the re-compressed crop all come from this decode.
TEST_F(RecompressCropTest, AdobeCmykColoursMatchQtsOwnDecode) {
    for (const int h0 : {1, 2}) {
        JpegSpec spec = SpecFor({"cmyk", 4, h0, 1, false}, 61, 37);
        const QByteArray bytes = EncodeJpeg(spec);
        ASSERT_TRUE(bytes.contains("\xFF\xEE")) << "libjpeg writes the Adobe marker for CMYK";
        const QString source = Source(spec);
        const QImage reference =
            QImage::fromData(bytes, "JPEG").convertToFormat(QImage::Format_RGB888);
        ASSERT_EQ(reference.size(), QSize(61, 37));
        const DecodedJpeg whole = DecodeJpegFile(source);
        const PixelRect region{5, 3, 50, 30};
        const DecodedJpeg part = DecodeJpegRegion(source, region);
        ASSERT_FALSE(whole.image.IsNull()) << whole.error.toStdString();
        ASSERT_FALSE(part.image.IsNull()) << part.error.toStdString();
        int worst = 0;
        for (int y = 0; y < reference.height(); ++y) {
            for (int i = 0; i < reference.width() * 3; ++i) {
                const int expected = reference.constScanLine(y)[i];
                worst = std::max(worst, std::abs(whole.image.Row(y)[i] - expected));
                const int x = i / 3;
                if (x >= region.left && x < region.right && y >= region.top && y < region.bottom) {
                    const uchar got = part.image.Row(y - region.top)[(x - region.left) * 3 + i % 3];
                    worst = std::max(worst, std::abs(got - expected));
                }
            }
        }
        EXPECT_LE(worst, 1) << "h0 " << h0;
    }
}

TEST_F(RecompressCropTest, CutsToTheExactPixelWhateverTheGrid) {
    JpegSpec spec;
    spec.width = 64;
    spec.height = 48;
    const QString source = Source(spec);
    ASSERT_EQ(RecompressCropFile(source, Out("a.jpg"), {3, 5, 13, 12}, 90), 1);
    const DecodedImage image = DecodeJpeg(ReadBytes(Out("a.jpg")));
    EXPECT_EQ(image.width, 10);
    EXPECT_EQ(image.height, 7);
    EXPECT_EQ(image.components, 3);
}

TEST_F(RecompressCropTest, GrayscaleIsWrittenAsColourKeepingOnlyTheProfile) {
    JpegSpec spec;
    spec.components = 1;
    spec.hSamp[0] = spec.vSamp[0] = 1;
    spec.markers = {{0xE1, QByteArray("Exif\0\0", 6) + MakeExifTiff(false, 64, 48)},
                    {0xFE, QByteArray("a comment")},
                    {0xE2, QByteArray("ICC_PROFILE\0\1\1xx", 16)}};
    const QString source = Source(spec);
    ASSERT_EQ(RecompressCropFile(source, Out("g.jpg"), {0, 0, 20, 20}, 75), 1);
    const QByteArray out = ReadBytes(Out("g.jpg"));
    EXPECT_EQ(DecodeJpeg(out).components, 3);
    std::vector<int> codes;
    for (const JpegSpec::Marker& marker : ReadMarkers(out)) {
        if (marker.code >= 0xE0 || marker.code == 0xFE)
            codes.push_back(marker.code);
    }
    EXPECT_EQ(codes, (std::vector<int>{0xE0, 0xE2}));  // JFIF and the profile; no Exif, no comment
}

TEST_F(RecompressCropTest, EmptyOrOutsideRectanglesWriteNothing) {
    const QString source = Source(JpegSpec{});
    EXPECT_EQ(RecompressCropFile(source, Out("z.jpg"), {5, 5, 5, 20}, 80), 0);
    EXPECT_EQ(RecompressCropFile(source, Out("z.jpg"), {0, 0, 0, 0}, 80), 0);
    EXPECT_EQ(RecompressCropFile(source, Out("z.jpg"), {60, 40, 70, 50}, 80), 0);
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("src.jpg")});
}

TEST_F(RecompressCropTest, BrokenSourcesFailAndOtherFormatsWork) {
    WriteBytes(Out("broken.jpg"), EncodeJpeg(JpegSpec{}).left(100));
    EXPECT_EQ(RecompressCropFile(Out("broken.jpg"), Out("x.jpg"), {0, 0, 8, 8}, 80), 0);
    EXPECT_EQ(RecompressCropFile(Out("missing.jpg"), Out("x.jpg"), {0, 0, 8, 8}, 80), 0);
    EXPECT_FALSE(QFile::exists(Out("x.jpg")));

    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(qRgb(10, 200, 30));
    ASSERT_TRUE(QImageWriter(Out("png.jpg"), "PNG").write(picture));
    ASSERT_EQ(RecompressCropFile(Out("png.jpg"), Out("y.jpg"), {2, 2, 12, 7}, 95), 1);
    const QImage cut = DecodeJpegImage(ReadBytes(Out("y.jpg")));
    EXPECT_EQ(cut.size(), QSize(10, 5));
    const QColor centre = cut.pixelColor(5, 2);
    EXPECT_NEAR(centre.green(), 200, 4);
}

// A program that registered no reader of other formats refuses them with a
// reason instead of crashing or writing nothing silently.
TEST_F(RecompressCropTest, WithoutAReaderOtherFormatsFailWithTheReason) {
    QImage picture(30, 20, QImage::Format_RGB32);
    picture.fill(qRgb(10, 200, 30));
    ASSERT_TRUE(QImageWriter(Out("png.jpg"), "PNG").write(picture));
    SetOtherPictureReader({});
    const CropOutcome result = RecompressCrop(Out("png.jpg"), Out("y.jpg"), {2, 2, 12, 7}, 95);
    SetOtherPictureReader(QtPictureReaders());
    EXPECT_FALSE(result.status.ok());
    EXPECT_EQ(result.status.errorString(), QStringLiteral("cannot read pictures other than JPEG"));
    EXPECT_FALSE(QFile::exists(Out("y.jpg")));
    EXPECT_TRUE(OtherPictureSize(Out("png.jpg")) == QSize(30, 20));
}

TEST_F(RecompressCropTest, QualityReachesTheEncoder) {
    JpegSpec spec;
    spec.width = 120;
    spec.height = 90;
    const QString source = Source(spec);
    ASSERT_EQ(RecompressCropFile(source, Out("q1.jpg"), {0, 0, 120, 90}, 1), 1);
    ASSERT_EQ(RecompressCropFile(source, Out("q100.jpg"), {0, 0, 120, 90}, 100), 1);
    EXPECT_LT(ReadBytes(Out("q1.jpg")).size() * 3, ReadBytes(Out("q100.jpg")).size());
}

}  // namespace
