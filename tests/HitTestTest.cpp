// Handle hit testing: which box wins where corner squares, edge strips and
// the inside overlap.

#include "platform/HitTest.h"

#include <gtest/gtest.h>

namespace {

const PixelRect kRect{10, 10, 110, 60};

struct Case {
    int x, y, inside, expected;
};

void ExpectHits(const PixelRect& rect, int corner, int edge, std::initializer_list<Case> cases) {
    for (const Case& c : cases) {
        EXPECT_EQ(HitTestRect(corner, c.x, c.y, rect, edge, c.inside), c.expected)
            << "(" << c.x << ", " << c.y << ") inside flag " << c.inside;
    }
}

TEST(HitTestTest, CornersEdgesAndInside) {
    ExpectHits(kRect, 4, 4,
               {
                   {10, 10, 0, kHitTopLeft},
                   {110, 60, 0, kHitBottomRight},
                   {110, 10, 0, kHitTopRight},
                   {10, 60, 0, kHitBottomLeft},
                   {10, 35, 0, kHitLeft},
                   {60, 10, 0, kHitTop},
                   {110, 35, 0, kHitRight},
                   {60, 60, 0, kHitBottom},
                   {60, 35, 1, kHitInside},
                   {60, 35, 0, kHitNothing},
                   {200, 200, 1, kHitNothing},
               });
}

TEST(HitTestTest, CornerSquaresWinOverEdgeStrips) {
    ExpectHits(kRect, 4, 4,
               {
                   {12, 12, 1, kHitTopLeft},
                   {12, 30, 1, kHitLeft},
                   // In the left strip's column, but in the bottom-left square.
                   {12, 56, 1, kHitBottomLeft},
                   {108, 58, 1, kHitBottomRight},
               });
}

TEST(HitTestTest, BoxesAreHalfOpen) {
    // The top-left square is (6, 6)-(14, 14): 13 is in, 14 is out.
    ExpectHits(kRect, 4, 4,
               {
                   {6, 6, 0, kHitTopLeft},
                   {13, 13, 0, kHitTopLeft},
                   {14, 10, 0, kHitTop},
                   {5, 10, 0, kHitNothing},
                   // The rectangle itself: right and bottom exclusive.
                   {109, 35, 0, kHitRight},
                   {20, 59, 0, kHitBottom},
               });
    // With no corner squares or strips only the inside counts.
    ExpectHits(kRect, 0, 0,
               {
                   {10, 10, 1, kHitInside},
                   {109, 59, 1, kHitInside},
                   {110, 59, 1, kHitNothing},
                   {109, 60, 1, kHitNothing},
               });
}

TEST(HitTestTest, CornerOrderDecidesOnSmallRectangles) {
    // Tall and narrow: the bottom squares overlap, and so do the top ones.
    ExpectHits({50, 50, 52, 70}, 4, 0,
               {
                   {50, 70, 0, kHitBottomLeft},
                   {50, 50, 0, kHitTopLeft},
               });
    // Wide and flat: the right squares overlap, and so do the left ones.
    ExpectHits({50, 50, 70, 52}, 4, 0,
               {
                   {70, 50, 0, kHitTopRight},
                   {70, 52, 0, kHitTopRight},
                   {50, 51, 0, kHitTopLeft},
               });
}

TEST(HitTestTest, EdgeOrderDecidesOnThinRectangles) {
    // Left is tried before right, bottom before top.
    ExpectHits({50, 50, 54, 80}, 0, 4, {{52, 60, 0, kHitLeft}, {56, 60, 0, kHitRight}});
    ExpectHits({50, 50, 80, 54}, 0, 4, {{60, 52, 0, kHitBottom}, {60, 48, 0, kHitTop}});
}

TEST(HitTestTest, EmptyRectangleHitsNothing) {
    for (const PixelRect& empty : {PixelRect{10, 10, 10, 60}, PixelRect{10, 10, 110, 10},
                                   PixelRect{110, 60, 10, 10}, PixelRect{}}) {
        for (const auto& [x, y] : {std::pair{10, 10}, std::pair{10, 60}, std::pair{60, 35},
                                   std::pair{110, 10}, std::pair{0, 0}}) {
            EXPECT_EQ(HitTestRect(4, x, y, empty, 4, 1), kHitNothing) << x << ", " << y;
        }
    }
}

}  // namespace
