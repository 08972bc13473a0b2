#include "engine/DrawingUtils.h"

#include <QPainter>

#include <gtest/gtest.h>

namespace {

TEST(DrawingUtilsTest, FitSizeRoundsEnlargesAndKeepsAtLeastOnePixel) {
    struct Case {
        int w, h, bw, bh, ew, eh;
    };
    const Case cases[] = {
        {400, 300, 96, 96, 96, 72},   {50, 40, 96, 96, 96, 77},       {300, 400, 96, 96, 72, 96},
        {100, 100, 96, 96, 96, 96},   {1, 1000, 96, 96, 1, 96},       {0, 50, 96, 96, 0, 50},
        {50, 0, 96, 96, 50, 0},       {4000, 3000, 96, 96, 96, 72},   {3000, 4000, 96, 96, 72, 96},
        {48, 32, 96, 96, 96, 64},     {97, 1, 96, 96, 96, 1},         {10, 10, 96, 96, 96, 96},
        {96, 60, 96, 96, 96, 60},     {65535, 65535, 96, 96, 96, 96}, {65535, 3, 96, 96, 96, 1},
        {1000, 750, 380, 50, 67, 50},
    };
    for (const Case& c : cases) {
        int w = c.w;
        int h = c.h;
        FitSize(w, h, c.bw, c.bh);
        EXPECT_EQ(w, c.ew) << c.w << "x" << c.h;
        EXPECT_EQ(h, c.eh) << c.w << "x" << c.h;
    }
}

QImage Picture() {
    QImage image(32, 32, QImage::Format_RGB32);
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x)
            image.setPixel(x, y, qRgb(x * 7, y * 5, (x ^ y) * 3));
    }
    return image;
}

TEST(DrawingUtilsTest, InvertedFrameTouchesEachBorderPixelOnceAndUndoesItself) {
    const QImage original = Picture();
    QImage image = original;
    {
        QPainter painter(&image);
        DrawFrame(painter, {10, 10, 20, 20}, 2, kNoColor);
    }
    int changed = 0;
    for (int y = 0; y < 32; ++y) {
        for (int x = 0; x < 32; ++x) {
            const bool border =
                x >= 10 && x < 20 && y >= 10 && y < 20 && (x < 12 || x >= 18 || y < 12 || y >= 18);
            const QRgb expected =
                border ? (~original.pixel(x, y) & 0x00FFFFFF) | 0xFF000000 : original.pixel(x, y);
            EXPECT_EQ(image.pixel(x, y), expected) << x << "," << y;
            changed += image.pixel(x, y) != original.pixel(x, y) ? 1 : 0;
        }
    }
    EXPECT_EQ(changed, 64);
    {
        QPainter painter(&image);
        DrawFrame(painter, {10, 10, 20, 20}, 2, kNoColor);
    }
    EXPECT_EQ(image, original);
}

TEST(DrawingUtilsTest, SolidFramePaintsStripsAndFillsNarrowRectangles) {
    QImage image = Picture();
    {
        QPainter painter(&image);
        DrawFrame(painter, {4, 4, 14, 9}, 1, MakeColorRef(255, 0, 0));
        DrawFrame(painter, {20, 20, 23, 30}, 2, MakeColorRef(0, 0, 255));
    }
    EXPECT_EQ(image.pixel(4, 4), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(13, 8), qRgb(255, 0, 0));
    EXPECT_EQ(image.pixel(9, 4), qRgb(255, 0, 0));
    EXPECT_NE(image.pixel(9, 6), qRgb(255, 0, 0));   // inside stays
    EXPECT_NE(image.pixel(14, 4), qRgb(255, 0, 0));  // right edge exclusive
    for (int y = 20; y < 30; ++y) {
        for (int x = 20; x < 23; ++x)
            EXPECT_EQ(image.pixel(x, y), qRgb(0, 0, 255));
    }
}

TEST(DrawingUtilsTest, MemoryCanvasIsFilledOrNotMade) {
    std::unique_ptr<QImage> canvas;
    ASSERT_EQ(CreateMemoryCanvas(canvas, 7, 5, MakeColorRef(1, 2, 3)), 1);
    ASSERT_TRUE(canvas);
    EXPECT_EQ(canvas->size(), QSize(7, 5));
    EXPECT_EQ(canvas->pixel(6, 4), qRgb(1, 2, 3));
    EXPECT_EQ(CreateMemoryCanvas(canvas, 0, 5, 0), 0);
    EXPECT_FALSE(canvas);
    EXPECT_EQ(CreateMemoryCanvas(canvas, 3, 3, kNoColor), 1);
}

}  // namespace
