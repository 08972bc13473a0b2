#include "app/ViewLayout.h"
#include "platform/HitTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

using testing_support::PixelRectangle;

TEST(ViewLayoutTest, ChildrenAtTheStartingSize) {
    const ViewLayout l = ComputeViewLayout(984, 728, SheetSizes{});
    // nearest(984 * 0.0125) = 12, nearest(984 * 0.45625) = 449.
    EXPECT_EQ(l.imageList, QRect(12, 40, 449, 648));
    // nearest(984 * 0.5125) = 504, nearest(984 * 0.475) = 467, nearest(728 * 0.2416..) = 176.
    EXPECT_EQ(l.rectangleList, QRect(504, 40, 467, 176));
    // 208: nearest(612.54) - 35 = 578; top 40 + 176 + 25 - 18 = 223.
    EXPECT_EQ(l.add, QRect(578, 223, 70, 18));
    EXPECT_EQ(l.edit, QRect(Nearest(984 * 0.74875) - 35, 223, 70, 18));
    // Preview from 40 + 176 + 34 = 250 down to H - 40.
    EXPECT_EQ(l.preview, QRect(504, 250, 467, 728 - 40 - 250));
    EXPECT_EQ(l.next, QRect(971 - 20, 688 - 18, 20, 18));
    EXPECT_EQ(l.previous, QRect(971 - 40, 688 - 18, 20, 18));
    EXPECT_EQ(l.previewCorner, QRect(931, 670, 40, 18));
    // Crop buttons: English sheet 320 x 48, cells 160 x 24, top H - 24 - 9.
    EXPECT_EQ(l.cropSelected, QRect(Nearest(984 * 0.635) - 80, 695, 160, 24));
    EXPECT_EQ(l.removeSelected, QRect(Nearest(984 * 0.1525) - 35, 728 - 18 - 11, 70, 18));
    EXPECT_EQ(l.home, QRect(984 - 25 - 63, 6, 17, 17));
}

TEST(ViewLayoutTest, CloseStaysEightPixelsFromTheRightAndListsFortyFromTheTop) {
    for (const QSize size :
         {QSize(800, 600), QSize(1000, 700), QSize(1921, 1081), QSize(3000, 2000)}) {
        const ViewLayout l = ComputeViewLayout(size.width(), size.height(), SheetSizes{});
        EXPECT_EQ(size.width() - (l.close.x() + l.close.width()), 8);
        EXPECT_EQ(l.imageList.y(), 40);
        EXPECT_EQ(l.rectangleList.y(), 40);
        EXPECT_EQ(l.preview.y() + l.preview.height(), size.height() - 40);
        EXPECT_EQ(l.imagesHint.size(), QSize(150, 80));
    }
    SheetSizes japanese;
    japanese.cropButtons = QSize(400, 48);
    EXPECT_EQ(ComputeViewLayout(984, 728, japanese).cropAll.width(), 200);
}

TEST(ViewLayoutTest, HintsAreCentredOnTheirAreas) {
    const ViewLayout l = ComputeViewLayout(984, 728, SheetSizes{});
    // Images area: (12, 49) size 449 x 631.
    EXPECT_EQ(l.imagesHint, QRect(12 + (449 - 150) / 2, 49 + (631 - 80) / 2, 150, 80));
    EXPECT_EQ(l.rectanglesHint, QRect(504 + (467 - 150) / 2, 49 + (176 - 80) / 2, 150, 80));
}

TEST(ViewLayoutTest, DraggedEdgesStopAtTheMinimumSize) {
    const QRect start(100, 100, 984, 728);
    EXPECT_EQ(ResizedFrame(start, kHitBottomRight, {-500, -500}), QRect(100, 100, 800, 600));
    EXPECT_EQ(ResizedFrame(start, kHitTopLeft, {500, 500}), QRect(284, 228, 800, 600));
    EXPECT_EQ(ResizedFrame(start, kHitTopLeft, {-10, -20}), QRect(90, 80, 994, 748));
    EXPECT_EQ(ResizedFrame(start, kHitRight, {30, 999}), QRect(100, 100, 1014, 728));
    EXPECT_EQ(ResizedFrame(start, kHitTop, {999, 8}), QRect(100, 108, 984, 720));
    EXPECT_EQ(ResizedFrame(start, kHitBottomLeft, {50, 50}), QRect(150, 100, 934, 778));
    EXPECT_EQ(ResizedFrame(start, kHitInside, {50, 50}), start);
}

TEST(ViewLayoutTest, PreviousAndNextFollowTheSelection) {
    EXPECT_EQ(StepImage(0, 0, {}, true), -1);
    EXPECT_EQ(StepImage(4, 5, {}, true), 0);   // wraps
    EXPECT_EQ(StepImage(0, 5, {}, false), 4);  // wraps back
    EXPECT_EQ(StepImage(9, 5, {}, false), 3);  // limited to the last index first
    EXPECT_EQ(StepImage(0, 5, {3}, true), 3);  // one selected: stays on it
    EXPECT_EQ(StepImage(3, 5, {3}, false), 3);
    EXPECT_EQ(StepImage(1, 5, {1, 3}, true), 3);
    EXPECT_EQ(StepImage(3, 5, {1, 3}, true), 1);
    EXPECT_EQ(StepImage(2, 5, {1, 3, 4}, true), 3);  // not selected: the first one counts
    EXPECT_EQ(StepImage(2, 5, {1, 3, 4}, false), 4);
}

TEST(ViewLayoutTest, StatusTextInBothLanguages) {
    EXPECT_EQ(ImageCountText(false, 12, 2), QStringLiteral("12 images(2 selected)"));
    EXPECT_EQ(ImageCountText(true, 12, 2), QStringLiteral("12 個の画像中 2 個を選択しています"));
}

TEST(ViewLayoutTest, PreviewPictureIsFittedAndCentred) {
    // 467 x 438 preview: a 4000 x 3000 bitmap fits 467 wide, 350 high.
    EXPECT_EQ(PreviewPicturePlacement({467, 438}, {4000, 3000}), QRect(0, 44, 467, 350));
    // A small picture is enlarged; odd leftovers are split with truncation.
    EXPECT_EQ(PreviewPicturePlacement({467, 438}, {10, 20}), QRect(124, 0, 219, 438));
    EXPECT_TRUE(PreviewPicturePlacement({467, 438}, {0, 0}).isEmpty());
}

TEST(ViewLayoutTest, RectanglesMapOntoTheDrawnPictureRounded) {
    const QRect drawn(0, 44, 467, 350);  // a 4000-wide image
    // 1001 * 467 / 4000 = 116.87 -> 117; 3 * 0.11675 = 0.35 -> 0.
    EXPECT_EQ(MapToPreview(PixelRect{1001, 3, 4000, 3000}, 4000, drawn),
              (PixelRect{117, 44, 467, 44 + 350}));
    EXPECT_EQ(MapToPreview(PixelRect{1, 1, 2, 2}, 0, drawn), PixelRect{});
}

TEST(ViewLayoutTest, OnlyOutlinesOfRectanglesOnTheImageAreFound) {
    const QRect drawn(10, 20, 400, 300);  // an 800 x 600 image at half size
    std::vector<CCropRect> rects{PixelRectangle(2000, 2000, 2100, 2100),  // off the image
                                 PixelRectangle(100, 100, 300, 300),
                                 PixelRectangle(100, 100, 500, 500)};
    // (100,100)-(300,300) is drawn at (60,70)-(160,170).
    EXPECT_EQ(PreviewRectangleAt({60, 100}, rects, {800, 600}, drawn), 1);    // left edge
    EXPECT_EQ(PreviewRectangleAt({63, 73}, rects, {800, 600}, drawn), 1);     // corner, within 4
    EXPECT_EQ(PreviewRectangleAt({100, 100}, rects, {800, 600}, drawn), -1);  // inside, no edge
    EXPECT_EQ(PreviewRectangleAt({260, 200}, rects, {800, 600}, drawn),
              2);  // right edge of the third
    EXPECT_EQ(PreviewRectangleAt({5, 70}, rects, {800, 600}, drawn), -1);  // outside the picture
}

TEST(ViewLayoutTest, WebPagesByLanguage) {
    const QString host = QStringLiteral("http://") + QStringLiteral(PELMORA_TEST_WEB_HOST) + '/';
    EXPECT_EQ(WebPageAddress(WebPage::kHome, true), host + "index.html");
    EXPECT_EQ(WebPageAddress(WebPage::kHome, false), host + "index_e.html");
    EXPECT_EQ(WebPageAddress(WebPage::kHelp, true), host + "pelmora/pelmora.html");
    EXPECT_EQ(WebPageAddress(WebPage::kHelp, false), host + "pelmora/pelmora_e.html");
}

}  // namespace
