#include "croprects/CropRect.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

CCropRect Pixel(double l, double t, double r, double b) {
    CCropRect rect;
    rect.isPixel = 1;
    rect.left = l;
    rect.top = t;
    rect.right = r;
    rect.bottom = b;
    return rect;
}

CCropRect Percent(double l, double t, double r, double b) {
    CCropRect rect = Pixel(l, t, r, b);
    rect.isPixel = 0;
    return rect;
}

TEST(CropRectTest, FreshRectangleIsAnEmptyPixelRectangle) {
    const CCropRect rect;
    EXPECT_EQ(rect.isPixel, 1);
    EXPECT_EQ(rect.left, 0.0);
    EXPECT_EQ(rect.bottom, 0.0);
    EXPECT_TRUE(rect.IsInvalid());
}

TEST(CropRectTest, ResolveClipsTruncatesAndRounds) {
    struct Case {
        CCropRect rect;
        int width, height;
        PixelRect expected;
    };
    const std::vector<Case> cases = {
        {Pixel(0, 0, 256, 256), 200, 100, {0, 0, 200, 100}},
        {Pixel(300, 300, 400, 400), 200, 100, {0, 0, 0, 0}},
        {Percent(0, 0, 50, 50), 101, 101, {0, 0, 51, 51}},
        {Percent(25, 25, 75, 75), 640, 480, {160, 120, 480, 360}},
        {Pixel(10.7, 0, 20.2, 5), 100, 100, {10, 0, 20, 5}},
        {Pixel(-10.7, -3, 20, 5), 100, 100, {0, 0, 20, 5}},  // truncation toward zero, clipped
        {Pixel(50, 50, 20, 80), 100, 100, {0, 0, 0, 0}},     // inverted
        {Pixel(0, 0, 0.01, 5), 100, 100, {0, 0, 0, 0}},      // valid but resolves empty
        {Percent(0, 0, 100, 100), 7, 3, {0, 0, 7, 3}},
        {Percent(33.3, 0, 66.7, 100), 10, 10, {3, 0, 7, 10}},  // 3.33+.5 -> 3, 6.67+.5 -> 7
        {Pixel(0, 0, 1e300, 1e300), 64, 48, {0, 0, 64, 48}},   // absurd values saturate
        {Pixel(0, 0, 10, 10), 0, 0, {0, 0, 0, 0}},             // 0 x 0 image
    };
    for (const Case& c : cases) {
        EXPECT_EQ(c.rect.Resolve(c.width, c.height), c.expected)
            << c.rect.Format().toStdString() << " on " << c.width << "x" << c.height;
    }
}

TEST(CropRectTest, ResolveRoundsPercentHalvesUpAfterMultiplying) {
    // 12.5 % of 4 is exactly 0.5 -> 1; the product is formed before dividing.
    EXPECT_EQ(Percent(12.5, 12.5, 100, 100).Resolve(4, 4), (PixelRect{1, 1, 4, 4}));
    EXPECT_EQ(Percent(0, 0, 10, 10).Resolve(5, 5), (PixelRect{0, 0, 1, 1}));  // 0.5 -> 1
}

TEST(CropRectTest, ValidityWorksInHundredthsOfAUnit) {
    EXPECT_TRUE(Pixel(0, 0, 0.004, 5).IsInvalid());
    EXPECT_FALSE(Pixel(0, 0, 0.005, 5).IsInvalid());
    EXPECT_TRUE(Pixel(5, 0, 5, 5).IsInvalid());
    EXPECT_TRUE(Pixel(0, 6, 5, 5).IsInvalid());
    EXPECT_TRUE(Percent(10, 10, 10.004, 20).IsInvalid());
    EXPECT_FALSE(Percent(10, 10, 10.01, 20).IsInvalid());
}

TEST(CropRectTest, FormatRoundsPixelsAndKeepsTwoPercentDecimals) {
    EXPECT_EQ(Pixel(10.7, 0, 20.2, 5).Format(),
              QStringLiteral("(11 pixel, 0 pixel)-(20 pixel, 5 pixel)"));
    EXPECT_EQ(Percent(0, 0, 100, 100).Format(),
              QStringLiteral("(0.00 %, 0.00 %)-(100.00 %, 100.00 %)"));
    EXPECT_EQ(Percent(12.345, 1, 2, 3).Format().left(9), QStringLiteral("(12.35 %,"));
    EXPECT_LE(Percent(1e300, 1e300, 1e300, 1e300).Format().size(), 127);
}

// Switching 632..2384 of a 4000-pixel photo to percent and back gives
// 2383.9999999999995; shown as 2384, it must be cut at 2384 too.
TEST(CropRectTest, EdgesWithinAMillionthOfAWholeNumberAreThatNumber) {
    const double dusty = 4000 * (2384.0 / 4000 * 100) / 100;
    ASSERT_LT(dusty, 2384.0);  // the dust this is about
    CCropRect rect;
    rect.isPixel = 1;
    rect.left = 632;
    rect.top = 303.99999999999994;
    rect.right = dusty;
    rect.bottom = 1680.0000000000002;
    EXPECT_EQ(rect.Resolve(4000, 3000), (PixelRect{632, 304, 2384, 1680}));
    EXPECT_EQ(rect.Format(), QStringLiteral("(632 pixel, 304 pixel)-(2384 pixel, 1680 pixel)"));
    // A millionth is the limit; real fractions are still truncated.
    rect.right = 2384 - 1e-6;
    EXPECT_EQ(rect.Resolve(4000, 3000).right, 2384);
    rect.right = 2384 - 1.5e-6;
    EXPECT_EQ(rect.Resolve(4000, 3000).right, 2383);
    rect.right = 2383.9;
    EXPECT_EQ(rect.Resolve(4000, 3000).right, 2383);
    // Below zero the same: -0.0000001 is 0, not an edge left of the image.
    rect.left = -1e-7;
    rect.right = 10.9999999;
    EXPECT_EQ(rect.Resolve(4000, 3000), (PixelRect{0, 304, 11, 1680}));
    EXPECT_EQ(WholeIfNear(-2.0000001), -2.0);
    EXPECT_EQ(WholeIfNear(0.5), 0.5);

    // Percent: 29 % of 100 pixels is stored as 28.999999999999996 by a
    // conversion; a half that is dust below .5 still rounds up.
    CCropRect percent;
    percent.isPixel = 0;
    percent.left = 29.0 / 100 * 100;
    ASSERT_LT(percent.left, 29.0);
    percent.top = 0;
    percent.right = 100;
    percent.bottom = 100;
    EXPECT_EQ(percent.Resolve(100, 100).left, 29);
    percent.left = 0.5 / 101 * 100;  // 0.5 pixel of 101
    EXPECT_EQ(percent.Resolve(101, 10).left, 1);
}

TEST(CropRectTest, ColourDrawsFollowTheSaturationRule) {
    EXPECT_EQ(CCropRect::ColorFromDraw(0), MakeColorRef(0, 255, 255));
    EXPECT_EQ(CCropRect::ColorFromDraw(32767), MakeColorRef(255, 0, 0));
    // a = 64 needs r with r * 255 / 32767 == 64.
    EXPECT_EQ(CCropRect::ColorFromDraw(64 * 32767 / 255 + 1), MakeColorRef(191, 64, 191));
    EXPECT_EQ(CCropRect::ColorFromDraw(100 * 32767 / 255 + 1), -1);  // a = 100 is thrown away
    for (int draw = 0; draw <= 32767; ++draw) {
        const int a = draw * 255 / 32767;
        EXPECT_EQ(CCropRect::ColorFromDraw(draw) < 0, a >= 65 && a <= 191) << draw;
    }
}

TEST(CropRectTest, ConstructionRedrawsUntilTheColourIsSaturated) {
    std::vector<int> draws = {100 * 32767 / 255 + 1, 150 * 32767 / 255 + 1, 0};
    std::size_t next = 0;
    CCropRect::SetDrawSource([&] { return draws[next++]; });
    const CCropRect rect;
    CCropRect::SetDrawSource({});
    EXPECT_EQ(next, 3U);
    EXPECT_EQ(rect.color, MakeColorRef(0, 255, 255));
}

TEST(CropRectTest, DefaultColoursAreAlwaysSaturated) {
    for (int i = 0; i < 200; ++i) {
        const ColorRef c = CCropRect().color;
        const int r = c & 0xFF, g = (c >> 8) & 0xFF, b = (c >> 16) & 0xFF;
        const bool twoEqual =
            (r == g && g + b == 255) || (g == b && r + g == 255) || (r == b && r + g == 255);
        EXPECT_TRUE(twoEqual) << std::hex << c;
        EXPECT_EQ(c >> 24, 0U);
    }
}

}  // namespace
