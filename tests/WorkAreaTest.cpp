// Centring a window on the work area, including one larger than it.

#include "platform/WorkArea.h"

#include <gtest/gtest.h>

namespace {

TEST(WorkAreaTest, CentresWithTruncatingHalves) {
    // A work area below a 30-pixel panel.
    const PixelRect work{0, 30, 1280, 1024};
    EXPECT_EQ(CenterRect(work, 984, 728), (PixelRect{148, 163, 1132, 891}));
    EXPECT_EQ(CenterRect(work, 380, 50), (PixelRect{450, 502, 830, 552}));
    // Odd remainders round toward the top left.
    EXPECT_EQ(CenterRect({0, 0, 101, 101}, 10, 10), (PixelRect{45, 45, 55, 55}));
    // A window larger than the work area: negative halves truncate toward zero.
    EXPECT_EQ(CenterRect({0, 0, 1000, 700}, 1005, 728), (PixelRect{-2, -14, 1003, 714}));
    // A work area that does not start at the origin (a second screen).
    EXPECT_EQ(CenterRect({-1920, 0, 0, 1080}, 984, 728), (PixelRect{-1452, 176, -468, 904}));
}

}  // namespace
