// The crop preview's arithmetic: snapping, the fitted scale and its rounding,
// hit codes, the cursor's area, drag limits, the overview and the read-outs.

#include "croprects/CropCanvasGeometry.h"

#include "platform/HitTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

// Readable rectangles in failure messages (found by argument lookup).
void PrintTo(const CropEdges& e, std::ostream* os) {
    *os << "(" << e.left << ", " << e.top << ")-(" << e.right << ", " << e.bottom << ")";
}

void PrintTo(const PixelRect& r, std::ostream* os) {
    *os << "(" << r.left << ", " << r.top << ")-(" << r.right << ", " << r.bottom << ")";
}

namespace {

TEST(CropCanvasGeometryTest, SnapRect) {
    const struct {
        CropEdges in;
        bool snap, percent;
        int width, height;
        CropEdges out;
    } cases[] = {
        // Nearest multiple of 8, halves up.
        {{3, 5, 250, 250}, true, false, 1000, 1000, {0, 8, 248, 248}},
        {{13, 11, 12, 3.99}, true, false, 1000, 1000, {16, 8, 16, 0}},
        // Right and bottom never pass the image, even when 8 would round up.
        {{0, 0, 1021, 1023}, true, false, 1020, 1020, {0, 0, 1020, 1020}},
        // Without snapping fractions stay.
        {{10.25, 3.5, 100.75, 50.5}, false, false, 1000, 1000, {10.25, 3.5, 100.75, 50.5}},
        // Back to percent, near-border values put on the border.
        {{0.4, 0.49, 4999.6, 4999.4}, false, true, 5000, 5000, {0, 0, 100, 99.988}},
        {{160, 120, 480, 360}, false, true, 640, 480, {25, 25, 75, 75}},
        {{13, 0, 640, 477}, true, true, 640, 480, {2.5, 0, 100, 100}},
        // No image size: nothing to snap against, nothing divided by zero.
        {{3, 5, 250, 250}, true, true, 0, 0, {3, 5, 250, 250}},
    };
    for (const auto& c : cases) {
        const CropEdges out = SnapRect(c.in, c.snap, c.percent, c.width, c.height);
        EXPECT_DOUBLE_EQ(out.left, c.out.left) << ::testing::PrintToString(c.in);
        EXPECT_DOUBLE_EQ(out.top, c.out.top) << ::testing::PrintToString(c.in);
        EXPECT_DOUBLE_EQ(out.right, c.out.right) << ::testing::PrintToString(c.in);
        EXPECT_DOUBLE_EQ(out.bottom, c.out.bottom) << ::testing::PrintToString(c.in);
    }
}

TEST(CropCanvasGeometryTest, UnitConversionKeepsFractionsAndNeedsAnImage) {
    CCropRect rect = testing_support::PixelRectangle(0, 0, 0, 0);
    rect.isPixel = 0;
    SetEdges(rect, {25, 25, 75, 33.3333});
    ASSERT_TRUE(ConvertUnit(rect, true, 640, 480));
    EXPECT_EQ(rect.isPixel, 1);
    EXPECT_DOUBLE_EQ(rect.left, 160);
    EXPECT_DOUBLE_EQ(rect.right, 480);
    EXPECT_DOUBLE_EQ(rect.bottom, 480 * 33.3333 / 100);  // 159.99984, not rounded
    ASSERT_TRUE(ConvertUnit(rect, false, 640, 480));
    EXPECT_EQ(rect.isPixel, 0);
    EXPECT_DOUBLE_EQ(rect.left, 25);
    EXPECT_DOUBLE_EQ(rect.top, 25);
    EXPECT_NEAR(rect.bottom, 33.3333, 1e-12);

    const double before = rect.left;
    EXPECT_FALSE(ConvertUnit(rect, true, 0, 0));
    EXPECT_EQ(rect.isPixel, 0);
    EXPECT_EQ(rect.left, before);
}

TEST(CropCanvasGeometryTest, PlacementsAndScale) {
    const struct {
        int w, h, frameW, frameH;
        PixelRect fitted, actual;
    } cases[] = {
        // trunc(3000 * 470 / 4000 + 0.5) = 353 high, (436 - 353) / 2 = 41 down.
        {4000, 3000, 470, 436, {0, 41, 470, 394}, {0, 0, 470, 436}},
        // Small images are enlarged in the fitted scale, centred one to one.
        {100, 50, 470, 436, {0, 100, 470, 335}, {185, 193, 285, 243}},
        {3000, 4000, 470, 436, {71, 0, 398, 436}, {0, 0, 470, 436}},
        // A sliver keeps one pixel; one side larger than the frame.
        {10000, 1, 470, 436, {0, 217, 470, 218}, {0, 217, 470, 218}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FittedPlacement(c.w, c.h, c.frameW, c.frameH), c.fitted) << c.w << "x" << c.h;
        EXPECT_EQ(ActualSizePlacement(c.w, c.h, c.frameW, c.frameH), c.actual) << c.w << "x" << c.h;
    }
    // Each edge rounded on its own: 0.1175 * (160, 120, 480, 360).
    EXPECT_EQ(ScaleEdges({160, 120, 480, 360}, 470.0 / 4000), (PixelRect{19, 14, 56, 42}));
    EXPECT_EQ(ScaleEdges({1, 3, 5, 7}, 0.5), (PixelRect{1, 2, 3, 4}));
}

TEST(CropCanvasGeometryTest, HitCodes) {
    const PixelRect r{100, 100, 200, 180};
    const struct {
        int x, y, code;
    } cases[] = {
        {96, 100, kHitTopLeft},   // 4 left of the corner
        {103, 100, kHitTopLeft},  // the corner square's right limit is excluded...
        {104, 100, kHitTop},      // ...so this is the top edge
        {95, 100, kHitNothing},      {100, 176, kHitBottomLeft}, {196, 100, kHitTopRight},
        {203, 183, kHitBottomRight}, {204, 180, kHitNothing},    {200, 150, kHitRight},
        {96, 150, kHitLeft},         {150, 183, kHitBottom},     {150, 184, kHitNothing},
        {150, 150, kHitInside},      {104, 104, kHitInside},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(CanvasHitTest(r, c.x, c.y), c.code) << c.x << ", " << c.y;
    }
    EXPECT_EQ(CanvasHitTest({}, 0, 0), kHitNothing);
    EXPECT_EQ(CanvasHitTest({50, 50, 50, 90}, 50, 70), kHitNothing);
}

TEST(CropCanvasGeometryTest, CursorClipPerHandle) {
    // c = hitRect - scroll = (90, 80)-(190, 160); i = picture - scroll.
    const PixelRect hit{100, 100, 200, 180};
    const PixelRect picture{0, 0, 1000, 800};
    const struct {
        int codes[2];
        PixelRect clip;
    } cases[] = {
        {{kHitTopLeft, kHitLeft}, {-10, -20, 190, 160}},
        {{kHitTopRight, kHitTop}, {90, -20, 990, 160}},
        {{kHitBottomLeft, kHitBottom}, {-10, 80, 190, 780}},
        {{kHitBottomRight, kHitRight}, {90, 80, 990, 780}},
        {{kHitInside, kHitInside}, {-10, -20, 990, 780}},
        {{kHitNothing, kHitNothing}, {}},
    };
    for (const auto& c : cases) {
        for (const int code : c.codes) {
            EXPECT_EQ(ComputeCursorClip(code, hit, picture, 10, 20), c.clip) << code;
        }
    }
    EXPECT_EQ(ClampToClip({500, -3}, {0, 0, 100, 50}), QPoint(99, 0));
    EXPECT_EQ(ClampToClip({500, -3}, {}), QPoint(500, -3));
}

TEST(CropCanvasGeometryTest, DragLimitsEachEdgeOnItsOwnSide) {
    const CropEdges start{100, 100, 300, 200};
    const struct {
        int code;
        double dx, dy;
        CropEdges out;
    } cases[] = {
        {kHitTopLeft, -150, -50, {0, 50, 300, 200}},
        {kHitTopRight, 800, -150, {100, 0, 1000, 200}},
        {kHitBottomLeft, 0.25, 700, {100.25, 100, 300, 800}},
        // A move against the right border narrows the rectangle.
        {kHitInside, 800, 0, {900, 100, 1000, 200}},
        {kHitInside, -150, -150, {0, 0, 150, 50}},
        // An edge may cross its opposite one; only the image limits it.
        {kHitRight, -250, 40, {100, 100, 50, 200}},
        {kHitTop, 30, 150, {100, 250, 300, 200}},
        {kHitBottom, 0, -0.5, {100, 100, 300, 199.5}},
        {kHitLeft, -1000, 0, {0, 100, 300, 200}},
        {kHitNothing, 50, 50, {100, 100, 300, 200}},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DragEdges(c.code, start, c.dx, c.dy, 1000, 800), c.out) << c.code;
    }
}

TEST(CropCanvasGeometryTest, OverviewAndViewport) {
    // 6000 x 4000 in a 148 x 143 overview: 148 x 99, 22 down.
    const PixelRect nav = FittedPlacement(6000, 4000, 148, 143);
    ASSERT_EQ(nav, (PixelRect{0, 22, 148, 121}));
    EXPECT_EQ(NavigatorRect({3000, 1000, 4500, 4000}, 148, 99, 6000, 4000),
              (PixelRect{74, 25, 111, 99}));
    EXPECT_EQ(ViewportRect(3000, 2000, {0, 0, 469, 472}, nav, 6000, 4000),
              (PixelRect{74, 72, 86, 84}));
    // An image smaller than the preview: the box covers the whole overview.
    const PixelRect smallNav = FittedPlacement(300, 200, 148, 143);
    EXPECT_EQ(ViewportRect(0, 0, ActualSizePlacement(300, 200, 469, 472), smallNav, 300, 200),
              smallNav);

    // Pushed back left, then top, then right, then bottom.
    EXPECT_EQ(ClampViewport({-5, 10, 7, 22}, nav), (PixelRect{0, 22, 12, 34}));
    const PixelRect corner = ClampViewport({140, 115, 152, 127}, nav);
    EXPECT_EQ(corner, (PixelRect{136, 109, 148, 121}));
    // The scroll stays within the image less the visible part, but for rounding.
    const QPoint scroll = ScrollForViewport(corner, nav, 6000, 4000);
    EXPECT_EQ(scroll, QPoint(5514, 3515));
    EXPECT_LE(scroll.x(), 6000 - 469 + 6000 / 148);
    EXPECT_EQ(ScrollForViewport({}, {}, 6000, 4000), QPoint());
}

TEST(CropCanvasGeometryTest, ReadoutsAndCornerLabels) {
    EXPECT_EQ(PointReadout(true, 10.5, 3.49), QStringLiteral("(   11 pixel,     3 pixel)"));
    EXPECT_EQ(PointReadout(false, 25, 7.126), QStringLiteral("(25.00 %,  7.13 %)"));
    EXPECT_EQ(PointReadout(false, 100, 0), QStringLiteral("(100.00 %,  0.00 %)"));
    EXPECT_EQ(LengthReadout(256), QStringLiteral("  256 pixel"));
    EXPECT_EQ(LengthReadout(123456), QStringLiteral("123456 pixel"));

    EXPECT_EQ(CornerLabel(0, false, 4000, 3000), QStringLiteral("(0 pixel, 0 pixel)"));
    EXPECT_EQ(CornerLabel(1, true, 4000, 3000), QStringLiteral("(4000 pixel, 0 pixel)"));
    EXPECT_EQ(CornerLabel(2, true, 4000, 3000), QStringLiteral("(0 pixel, 3000 pixel)"));
    EXPECT_EQ(CornerLabel(3, true, 4000, 3000), QStringLiteral("(4000 pixel, 3000 pixel)"));
    EXPECT_EQ(CornerLabel(1, false, 4000, 3000), QStringLiteral("(100 %, 0 %)"));
    EXPECT_EQ(CornerLabel(2, false, 4000, 3000), QStringLiteral("(0 %, 100 %)"));
    EXPECT_EQ(CornerLabel(3, false, 4000, 3000), QStringLiteral("(100 %, 100 %)"));
}

TEST(CropCanvasGeometryTest, LosslessWrittenRegion) {
    const struct {
        PixelRect in;
        int imcuW, imcuH;
        PixelRect out;
    } cases[] = {
        {{24, 40, 100, 90}, 16, 16, {16, 32, 100, 90}},  // 4:2:0
        {{32, 48, 100, 90}, 16, 16, {32, 48, 100, 90}},  // on the grid
        {{13, 5, 20, 9}, 8, 8, {8, 0, 20, 9}},           // 4:4:4, gray
        {{40, 12, 100, 90}, 32, 8, {32, 8, 100, 90}},    // 4:1:1
        {{40, 12, 100, 90}, 8, 16, {40, 0, 100, 90}},    // 4:4:0
        {{}, 16, 16, {}},
        {{24, 40, 100, 90}, 0, 0, {24, 40, 100, 90}},  // not a JPEG
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LosslessWrittenRegion(c.in, c.imcuW, c.imcuH), c.out)
            << c.imcuW << "x" << c.imcuH;
    }
}

}  // namespace
