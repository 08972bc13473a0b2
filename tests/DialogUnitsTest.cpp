// Dialog units to pixels: 1.5 across, 1.625 down, halves away from zero,
// edges converted one by one.

#include "platform/DialogUnits.h"

#include <gtest/gtest.h>

namespace {

TEST(DialogUnitsTest, ConvertsWithTheDialogFontsBaseUnits) {
    for (const auto& [units, x, y] :
         {std::tuple{0, 0, 0}, std::tuple{1, 2, 2}, std::tuple{2, 3, 3}, std::tuple{3, 5, 5},
          std::tuple{4, 6, 7}, std::tuple{8, 12, 13}, std::tuple{7, 11, 11}, std::tuple{-1, -2, -2},
          std::tuple{-3, -5, -5}, std::tuple{465, 698, 756}, std::tuple{228, 342, 371}}) {
        EXPECT_EQ(DialogUnitsToPixelsX(units), x) << units;
        EXPECT_EQ(DialogUnitsToPixelsY(units), y) << units;
    }
}

TEST(DialogUnitsTest, AdjacentRectanglesStayAdjacent) {
    // Two controls side by side, 7 units wide each: converting edges keeps
    // the shared edge shared, where converting sizes would open a gap.
    const QRect first = DialogGeometry(1, 1, 7, 7);
    const QRect second = DialogGeometry(8, 1, 7, 7);
    EXPECT_EQ(first.x() + first.width(), second.x());
    EXPECT_EQ(first, QRect(2, 2, 10, 11));
    EXPECT_EQ(MapDialogRect({0, 0, 465, 228}), (PixelRect{0, 0, 698, 371}));
}

}  // namespace
