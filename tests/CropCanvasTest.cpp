// The crop preview's pictures: fitted and one-to-one placement, the grid in
// the image, scrolling, the lossless written region and the overview.

#include "croprects/CropCanvas.h"

#include "TestSupport.h"

#include <QColor>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

constexpr ColorRef kMagenta = MakeColorRef(255, 0, 255);

class CropCanvasTest : public ::testing::Test {
  protected:
    QString Photo(int width, int height, int h0 = 2, int v0 = 2) {
        const QString path =
            dir_.filePath(QStringLiteral("%1x%2-%3%4.jpg").arg(width).arg(height).arg(h0).arg(v0));
        WriteBytes(path, EncodeJpeg(Spec(width, height, 3, h0, v0)));
        return path;
    }
    static QImage Canvas(int width = 469, int height = 472) {
        QImage canvas(width, height, QImage::Format_RGB32);
        canvas.fill(Qt::lightGray);
        return canvas;
    }
    static CCropRect Rect(double l, double t, double r, double b) {
        CCropRect rect = PixelRectangle(l, t, r, b);
        rect.color = kMagenta;
        return rect;
    }

    QTemporaryDir dir_;
};

TEST_F(CropCanvasTest, FittedPictureIsScaledOnceAndCentred) {
    CCropCanvas canvas;
    QImage target = Canvas();
    ASSERT_TRUE(canvas.ComposePreview(target, Photo(400, 300), Rect(0, 0, 256, 256)));
    EXPECT_EQ(canvas.ImageWidth(), 400);
    EXPECT_EQ(canvas.ImagePlacement(), (PixelRect{0, 60, 469, 412}));  // 352 high, enlarged
    EXPECT_EQ(canvas.HitRect(), (PixelRect{0, 0, 300, 300}));          // 256 * 1.1725 rounded
    EXPECT_EQ(target.pixelColor(0, 200), QColor(255, 0, 255));
    EXPECT_EQ(target.pixelColor(299, 200), QColor(255, 0, 255));
    EXPECT_EQ(canvas.ToHitSpace({10, 70}), QPoint(10, 10));
    // The clip of a handle lies in frame coordinates.
    EXPECT_EQ(canvas.CursorClip(1), (PixelRect{0, 60, 300, 360}));

    // A small image fills the frame's width too.
    CCropCanvas small;
    QImage target2 = Canvas();
    ASSERT_TRUE(small.ComposePreview(target2, Photo(100, 50), Rect(0, 0, 50, 50)));
    EXPECT_EQ(small.ImagePlacement(), (PixelRect{0, 118, 469, 353}));
}

TEST_F(CropCanvasTest, GridIsDrawnIntoTheOneToOnePicture) {
    CCropCanvas canvas;
    canvas.actualSize = true;
    QImage target = Canvas();
    ASSERT_TRUE(canvas.ComposePreview(target, Photo(64, 48), Rect(0, 0, 256, 256)));
    const PixelRect at = canvas.ImagePlacement();
    ASSERT_EQ(at, (PixelRect{202, 212, 266, 260}));
    EXPECT_EQ(canvas.HitRect(), (PixelRect{0, 0, 64, 48}));
    for (int x = 8; x < 64; x += 8) {
        EXPECT_EQ(target.pixelColor(at.left + x, at.top + 21), QColor(128, 128, 128)) << x;
    }
    for (int x = 3; x < 60; x += 7) {
        EXPECT_EQ(target.pixelColor(at.left + x, at.top + 24), QColor(128, 128, 128)) << x;
    }
}

TEST_F(CropCanvasTest, ScrollShowsTheImageFromThatPixel) {
    const QString path = Photo(600, 500);
    CCropCanvas canvas;
    canvas.actualSize = true;
    QImage unscrolled = Canvas();
    ASSERT_TRUE(canvas.ComposePreview(unscrolled, path, Rect(0, 0, 256, 256)));
    canvas.scrollX = 100;
    canvas.scrollY = 50;
    QImage scrolled = Canvas();
    ASSERT_TRUE(canvas.ComposePreview(scrolled, path, Rect(0, 0, 256, 256)));
    EXPECT_EQ(scrolled.pixel(300, 300), unscrolled.pixel(400, 350));
    EXPECT_EQ(canvas.ToHitSpace({10, 10}), QPoint(110, 60));
    EXPECT_EQ(canvas.CursorClip(9), (PixelRect{-100, -50, 500, 450}));

    // The overview: 148 x 123 at 10 down, the green box the visible part.
    QImage overview = Canvas(148, 143);
    canvas.ComposeNavigator(overview, path, Rect(0, 0, 256, 256));
    EXPECT_EQ(canvas.NavigatorPlacement(), (PixelRect{0, 10, 148, 133}));
    EXPECT_EQ(canvas.Viewport(), (PixelRect{25, 22, 141, 138}));
    EXPECT_EQ(overview.pixelColor(140, 100), QColor(0, 255, 0));

    canvas.Reset();
    EXPECT_EQ(canvas.scrollX, 0);
    EXPECT_FALSE(canvas.HasPreview());
}

TEST_F(CropCanvasTest, LosslessShowsTheWrittenRegionOffTheBlockGrid) {
    // (24, 40) lies off the 16-pixel grid of 4:2:0 but on the 8-pixel one of 4:4:4.
    for (const bool subsampled : {true, false}) {
        const QString path = Photo(200, 150, subsampled ? 2 : 1, subsampled ? 2 : 1);
        QImage plain = Canvas();
        QImage marked = Canvas();
        CCropCanvas canvas;
        canvas.actualSize = true;
        canvas.showGrid = false;
        ASSERT_TRUE(canvas.ComposePreview(plain, path, Rect(24, 40, 100, 100)));
        canvas.lossless = true;
        ASSERT_TRUE(canvas.ComposePreview(marked, path, Rect(24, 40, 100, 100)));
        EXPECT_EQ(canvas.ImcuSize(), subsampled ? QSize(16, 16) : QSize(8, 8));
        if (!subsampled) {
            EXPECT_EQ(plain, marked);
            continue;
        }
        const PixelRect at = canvas.ImagePlacement();
        // The written region's top line runs from (16, 32), dashed, until
        // the rectangle's own frame covers it.
        int dashed = 0;
        for (int x = 16; x < 24; ++x) {
            const QRgb pixel = marked.pixel(at.left + x, at.top + 32);
            if (pixel == QColor(255, 0, 255).rgb())
                ++dashed;
        }
        EXPECT_GE(dashed, 4);
        EXPECT_NE(plain, marked);
    }
}

TEST_F(CropCanvasTest, UnreadableImageShowsNothingAndHitsNothing) {
    CCropCanvas canvas;
    QImage target = Canvas();
    ASSERT_TRUE(canvas.ComposePreview(target, Photo(64, 48), Rect(0, 0, 32, 32)));
    ASSERT_FALSE(canvas.HitRect().IsEmpty());
    canvas.Reset();
    WriteBytes(dir_.filePath("broken.jpg"), QByteArray("\xFF\xD8\xFF garbage", 12));
    for (const QString& path : {dir_.filePath("missing.jpg"), dir_.filePath("broken.jpg")}) {
        canvas.Reset();
        QImage blank = Canvas();
        EXPECT_FALSE(canvas.ComposePreview(blank, path, Rect(0, 0, 32, 32)));
        EXPECT_TRUE(canvas.PreviewFailed());
        EXPECT_EQ(canvas.ImageWidth(), 0);
        EXPECT_TRUE(canvas.HitRect().IsEmpty());
        EXPECT_EQ(blank, Canvas());
    }
}

}  // namespace
