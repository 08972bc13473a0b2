#include "engine/Img.h"
#include "engine/JpegCodec.h"
#include "images/ImgThumb.h"

#include "TestSupport.h"

#include <QBuffer>
#include <QDir>
#include <QImageWriter>
#include <QPainter>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

class ImgTest : public ::testing::Test {
  protected:
    QString Jpeg(int width, int height, int components = 3, const char* name = "p.jpg") {
        JpegSpec spec;
        spec.width = width;
        spec.height = height;
        spec.components = components;
        if (components == 1)
            spec.hSamp[0] = spec.vSamp[0] = 1;
        const QString path = dir_.path() + "/" + name;
        WriteBytes(path, EncodeJpeg(spec));
        return path;
    }
    QString Saved(const QImage& image, const char* format, const char* name) {
        const QString path = dir_.path() + "/" + name;
        QImageWriter writer(path, format);
        EXPECT_TRUE(writer.write(image)) << writer.errorString().toStdString();
        return path;
    }
    QTemporaryDir dir_;
};

TEST_F(ImgTest, ThumbnailsFitTheBoxAndRecordTheFullSize) {
    struct Case {
        int w, h, tw, th;
    };
    const Case cases[] = {{4000, 3000, 96, 72}, {3000, 400, 96, 13}, {400, 300, 96, 72},
                          {50, 40, 96, 77},     {48, 32, 96, 64},    {1, 1000, 1, 96},
                          {97, 1, 96, 1},       {10, 10, 96, 96},    {203, 157, 96, 74}};
    for (const Case& c : cases) {
        const std::unique_ptr<CImgThumb> record = MakeImageRecord(Jpeg(c.w, c.h));
        ASSERT_TRUE(record) << c.w << "x" << c.h;
        EXPECT_EQ(record->width, c.w);
        EXPECT_EQ(record->height, c.h);
        EXPECT_EQ(record->thumbnail->GetWidth(), c.tw) << c.w << "x" << c.h;
        EXPECT_EQ(record->thumbnail->GetHeight(), c.th) << c.w << "x" << c.h;
        EXPECT_EQ(record->thumbnail->Image().format(), QImage::Format_RGB888);
    }
}

TEST_F(ImgTest, PictureThatTouchesTheBoxKeepsItsOwnPixels) {
    const QString path = Jpeg(96, 60);
    const std::unique_ptr<CImgThumb> record = MakeImageRecord(path);
    ASSERT_TRUE(record);
    EXPECT_EQ(record->thumbnail->Image(), DecodeJpegImage(ReadBytes(path)));
}

TEST_F(ImgTest, ThumbnailOfALargePictureIsCloseToAFullDecodeScaledDown) {
    const QString path = Jpeg(1600, 1200);
    CImg thumbnail;
    int w = 96;
    int h = 96;
    ASSERT_EQ(thumbnail.Load(path, w, h), 1);
    EXPECT_EQ(w, 1600);
    CImg full;
    ASSERT_EQ(full.Load(path), 1);
    ASSERT_EQ(full.ScaleTo(96, 72), 1);
    // The DCT-scaled route may differ slightly from scaling the full picture.
    long long difference = 0;
    for (int y = 0; y < 72; ++y) {
        const uchar* a = thumbnail.Image().constScanLine(y);
        const uchar* b = full.Image().constScanLine(y);
        for (int x = 0; x < 96 * 3; ++x)
            difference += std::abs(a[x] - b[x]);
    }
    EXPECT_LT(difference / (96.0 * 72 * 3), 6.0);
}

// Mean absolute difference per sample of two RGB888 pictures of one size.
double MeanDifference(const QImage& a, const QImage& b) {
    long long sum = 0;
    for (int y = 0; y < a.height(); ++y) {
        const uchar* p = a.constScanLine(y);
        const uchar* q = b.constScanLine(y);
        for (int x = 0; x < a.width() * 3; ++x)
            sum += std::abs(p[x] - q[x]);
    }
    return static_cast<double>(sum) / (a.width() * a.height() * 3.0);
}

TEST_F(ImgTest, ProgressiveThumbnailsComeFromTheDcScansAlone) {
    struct Case {
        int components, h0, v0;
        double tolerance;
    };
    // At 1/8 a whole decode of 4:2:0 still reads the chroma's first AC terms,
    // which the steep gradients of the test pattern make large.
    for (const Case& c :
         {Case{3, 2, 2, 20.0}, Case{3, 2, 1, 1.5}, Case{3, 1, 1, 1.5}, Case{1, 1, 1, 1.5}}) {
        JpegSpec spec = Spec(1600, 1200, c.components, c.h0, c.v0);
        const QString sequential = dir_.path() + "/s.jpg";
        WriteBytes(sequential, EncodeJpeg(spec));
        spec.progressive = true;
        const QByteArray progressive = EncodeJpeg(spec);
        const QString path = dir_.path() + "/p.jpg";
        WriteBytes(path, progressive);
        // Cut where the first AC scan starts: the DC terms are all there.
        const QString cut = dir_.path() + "/c.jpg";
        WriteBytes(cut, progressive.left(ScanOffsets(progressive).at(1)));

        const DecodedJpeg expected = DecodeJpegFile(sequential, kThumbnailBox, kThumbnailBox);
        const DecodedJpeg fromDc = DecodeJpegFile(path, kThumbnailBox, kThumbnailBox);
        const DecodedJpeg fromCut = DecodeJpegFile(cut, kThumbnailBox, kThumbnailBox);
        ASSERT_EQ(fromDc.image.Size(), QSize(200, 150)) << c.components << c.h0 << c.v0;
        EXPECT_EQ(fromDc.warnings, 0);
        EXPECT_LT(MeanDifference(ToQImage(fromDc.image), ToQImage(expected.image)), c.tolerance)
            << c.components << c.h0 << c.v0;
        EXPECT_EQ(fromCut.image, fromDc.image) << c.components << c.h0 << c.v0;
        EXPECT_EQ(fromCut.warnings, 1);
    }
}

TEST_F(ImgTest, ProgressiveThumbnailWithAnAcScanBeforeSomeDcIsDecodedWhole) {
    JpegSpec spec = Spec(1600, 1200, 3, 2, 2);
    const QString sequential = dir_.path() + "/s.jpg";
    WriteBytes(sequential, EncodeJpeg(spec));
    spec.progressive = true;
    // Luma refined before chroma has any DC: a refinement scan needs the
    // AC terms a DC store would have dropped.
    spec.scans = {{0, 1, 0, 0, 0, 0}, {0, 1, 1, 63, 0, 1}, {0, 1, 1, 63, 1, 0},
                  {1, 2, 0, 0, 0, 0}, {1, 1, 1, 63, 0, 0}, {2, 1, 1, 63, 0, 0}};
    const QString path = dir_.path() + "/p.jpg";
    WriteBytes(path, EncodeJpeg(spec));
    const DecodedJpeg decoded = DecodeJpegFile(path, kThumbnailBox, kThumbnailBox);
    EXPECT_EQ(decoded.warnings, 0);
    EXPECT_EQ(decoded.image, DecodeJpegFile(sequential, kThumbnailBox, kThumbnailBox).image);
}

TEST_F(ImgTest, ProgressiveThumbnailNeedsNoWholeCoefficientBuffer) {
    JpegSpec spec = Spec(4000, 3000, 3, 1, 1);  // 72 MB of coefficients
    spec.progressive = true;
    const QString path = dir_.path() + "/big.jpg";
    WriteBytes(path, EncodeJpeg(spec));
    const long idle = PeakRssOfChildKb([] { return 0; });
    int made = 0;
    const long peak = PeakRssOfChildKb([&] { return MakeImageRecord(path) ? 1 : 0; }, &made);
    EXPECT_EQ(made, 1);
    EXPECT_LT(peak - idle, 24 * 1024);
}

TEST_F(ImgTest, OtherFormatsUnderAJpegNameLoad) {
    QImage picture(40, 30, QImage::Format_ARGB32);
    picture.fill(qRgba(200, 100, 50, 255));
    picture.setPixel(0, 0, qRgba(255, 255, 255, 0));  // transparent: blended over black
    for (const auto& [format, name] : {std::pair{"PNG", "png.jpg"}, std::pair{"BMP", "bmp.JPG"}}) {
        if (!QImageWriter::supportedImageFormats().contains(QByteArray(format).toLower())) {
            ADD_FAILURE() << format << " writer missing";
            continue;
        }
        CImg image;
        int w = 0;
        int h = 0;
        ASSERT_EQ(image.Load(Saved(picture, format, name), w, h), 1) << format;
        EXPECT_EQ(image.GetWidth(), 40);
        EXPECT_EQ(image.Image().format(), QImage::Format_RGB888);
        if (QByteArray(format) == "PNG") {
            EXPECT_EQ(image.Image().pixel(0, 0), qRgb(0, 0, 0));
        }
    }
}

TEST_F(ImgTest, GifUnderAJpegNameLoads) {
    WriteBytes(dir_.path() + "/g.jpeg", OnePixelGif());
    CImg image;
    ASSERT_EQ(image.Load(dir_.path() + "/g.jpeg"), 1);
    EXPECT_EQ(image.GetWidth(), 1);
    EXPECT_EQ(image.Image().format(), QImage::Format_RGB888);
}

TEST_F(ImgTest, BrokenAndMissingFilesFailCleanly) {
    const QByteArray good = EncodeJpeg(JpegSpec{});
    WriteBytes(dir_.path() + "/cut.jpg", good.left(30));
    WriteBytes(dir_.path() + "/text.jpg", "hello");
    WriteBytes(dir_.path() + "/empty.jpg", "");
    for (const char* name : {"cut.jpg", "text.jpg", "empty.jpg", "missing.jpg"}) {
        CImg image;
        int w = 96;
        int h = 96;
        EXPECT_EQ(image.Load(dir_.path() + "/" + name, w, h), 0) << name;
        EXPECT_TRUE(image.IsNull());
        EXPECT_EQ(w, 96);
        EXPECT_FALSE(MakeImageRecord(dir_.path() + "/" + name));
    }
    CImg memory;
    EXPECT_EQ(memory.LoadFromMemory(5, "hello"), 0);
    EXPECT_EQ(memory.LoadFromMemory(good.size(), good.constData()), 1);
    EXPECT_EQ(memory.GetWidth(), 64);
}

TEST_F(ImgTest, CropIsExactAndRefusesEmptyOrOutsideRectangles) {
    CImg image;
    ASSERT_EQ(image.Load(Jpeg(64, 48)), 1);
    const std::unique_ptr<CImg> part = image.Crop({3, 5, 13, 12});
    ASSERT_TRUE(part);
    EXPECT_EQ(part->Image(), image.Image().copy(3, 5, 10, 7));
    EXPECT_FALSE(image.Crop({3, 5, 3, 12}));
    EXPECT_FALSE(image.Crop({60, 0, 70, 10}));
}

TEST_F(ImgTest, SaveJpegWritesColourAtAnyQualityAndOnlyCompleteFiles) {
    CImg gray;
    ASSERT_EQ(gray.Load(Jpeg(64, 48, 1)), 1);
    const QString low = dir_.path() + "/q1.jpg";
    const QString high = dir_.path() + "/q100.jpg";
    ASSERT_EQ(gray.SaveJpeg(low, 1), 1);
    ASSERT_EQ(gray.SaveJpeg(high, 100), 1);
    EXPECT_LT(ReadBytes(low).size(), ReadBytes(high).size());
    EXPECT_EQ(DecodeJpeg(ReadBytes(high)).components, 3);

    // A folder or an older file under the name is no success.
    QDir(dir_.path()).mkdir("folder.jpg");
    EXPECT_EQ(gray.SaveJpeg(dir_.path() + "/folder.jpg", 80), 0);
    EXPECT_EQ(gray.SaveJpeg(dir_.path() + "/no/such/dir/x.jpg", 80), 0);
    WriteBytes(dir_.path() + "/old.jpg", "old");
    EXPECT_EQ(gray.SaveJpeg(dir_.path() + "/old.jpg", 80, ExistingOutput::kKeep), 0);
    EXPECT_EQ(ReadBytes(dir_.path() + "/old.jpg"), QByteArray("old"));
    EXPECT_EQ(CImg().SaveJpeg(dir_.path() + "/null.jpg", 80), 0);
    const QStringList left = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
    EXPECT_EQ(left.filter(".part").size(), 0);
    EXPECT_FALSE(left.contains("null.jpg"));
}

TEST_F(ImgTest, ScaleToEnlargesAndReducesAndDrawsIntoPainters) {
    CImg image;
    ASSERT_EQ(image.Load(Jpeg(64, 48)), 1);
    ASSERT_EQ(image.ScaleTo(128, 20), 1);
    EXPECT_EQ(image.Image().size(), QSize(128, 20));
    EXPECT_EQ(image.ScaleTo(0, 5), 0);
    EXPECT_EQ(image.Image().size(), QSize(128, 20));

    QImage canvas(50, 50, QImage::Format_RGB32);
    canvas.fill(Qt::white);
    {
        QPainter painter(&canvas);
        image.DrawScaled(painter, QRect(5, 5, 20, 10));
        image.DrawPart(painter, 30, 30, 10, 10, 0, 0, 10, 10);
    }
    EXPECT_NE(canvas.pixel(10, 10), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(26, 10), qRgb(255, 255, 255));
    EXPECT_EQ(canvas.pixel(35, 35), image.Image().pixel(5, 5) | 0xFF000000);
}

}  // namespace
