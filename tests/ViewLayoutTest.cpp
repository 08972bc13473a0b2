#include "app/ViewLayout.h"
#include "platform/HitTest.h"

#include "TestSupport.h"

#include <gtest/gtest.h>

namespace {

using testing_support::PixelRectangle;

// Every child at three client sizes, worked out by hand from the layout
// table (nearest(x) is x + 0.5 truncated) with the English sheets. 984 x 728
// is the starting size, 800 x 600 the smallest; at 800, W x 0.5125 is
// 409.99999999999994, which truncation alone would make 409; at 1000 x 1001,
// 12.5, 512.5 and 867.5 are exact halves, which rounding half to even would
// take down.
struct ExpectedLayout {
    QSize client;
    QRect imageList, removeSelected, removeAll, rectangleList, add, edit, remove, preview,
        previewCorner, previous, next, cropSelected, cropAll, close, minimise, help, home,
        imagesHint, rectanglesHint;
};

const ExpectedLayout kLayouts[] = {
    {{984, 728},           {12, 40, 449, 648},  {115, 699, 70, 18},  {290, 699, 70, 18},
     {504, 40, 467, 176},  {578, 223, 70, 18},  {702, 223, 70, 18},  {826, 223, 70, 18},
     {504, 250, 467, 438}, {931, 670, 40, 18},  {931, 670, 20, 18},  {951, 670, 20, 18},
     {545, 695, 160, 24},  {774, 695, 160, 24}, {959, 6, 17, 17},    {938, 6, 17, 17},
     {917, 6, 17, 17},     {896, 6, 17, 17},    {161, 324, 150, 80}, {662, 97, 150, 80}},
    {{800, 600},           {10, 40, 365, 520},  {87, 571, 70, 18},   {229, 571, 70, 18},
     {410, 40, 380, 145},  {463, 192, 70, 18},  {564, 192, 70, 18},  {665, 192, 70, 18},
     {410, 219, 380, 341}, {750, 542, 40, 18},  {750, 542, 20, 18},  {770, 542, 20, 18},
     {428, 567, 160, 24},  {614, 567, 160, 24}, {775, 6, 17, 17},    {754, 6, 17, 17},
     {733, 6, 17, 17},     {712, 6, 17, 17},    {117, 260, 150, 80}, {525, 72, 150, 80}},
    {{1000, 1001},         {13, 40, 456, 921},  {118, 972, 70, 18},  {295, 972, 70, 18},
     {513, 40, 475, 242},  {588, 289, 70, 18},  {714, 289, 70, 18},  {840, 289, 70, 18},
     {513, 316, 475, 645}, {948, 943, 40, 18},  {948, 943, 20, 18},  {968, 943, 20, 18},
     {555, 968, 160, 24},  {788, 968, 160, 24}, {975, 6, 17, 17},    {954, 6, 17, 17},
     {933, 6, 17, 17},     {912, 6, 17, 17},    {166, 461, 150, 80}, {675, 148, 150, 80}},
};

TEST(ViewLayoutTest, ChildrenStandWhereTheLayoutTablePutsThem) {
    for (const ExpectedLayout& e : kLayouts) {
        const ViewLayout l = ComputeViewLayout(e.client.width(), e.client.height(), SheetSizes{});
        SCOPED_TRACE(testing::Message() << e.client.width() << " x " << e.client.height());
        EXPECT_EQ(l.imageList, e.imageList);
        EXPECT_EQ(l.removeSelected, e.removeSelected);
        EXPECT_EQ(l.removeAll, e.removeAll);
        EXPECT_EQ(l.rectangleList, e.rectangleList);
        EXPECT_EQ(l.add, e.add);
        EXPECT_EQ(l.edit, e.edit);
        EXPECT_EQ(l.remove, e.remove);
        EXPECT_EQ(l.preview, e.preview);
        EXPECT_EQ(l.previewCorner, e.previewCorner);
        EXPECT_EQ(l.previous, e.previous);
        EXPECT_EQ(l.next, e.next);
        EXPECT_EQ(l.cropSelected, e.cropSelected);
        EXPECT_EQ(l.cropAll, e.cropAll);
        EXPECT_EQ(l.close, e.close);
        EXPECT_EQ(l.minimise, e.minimise);
        EXPECT_EQ(l.help, e.help);
        EXPECT_EQ(l.home, e.home);
        EXPECT_EQ(l.imagesHint, e.imagesHint);
        EXPECT_EQ(l.rectanglesHint, e.rectanglesHint);
    }
}

TEST(ViewLayoutTest, JapaneseCropButtonsAreWiderAndCentredTheSame) {
    SheetSizes japanese;
    japanese.cropButtons = QSize(400, 48);
    const ViewLayout l = ComputeViewLayout(984, 728, japanese);
    EXPECT_EQ(l.cropSelected, QRect(525, 695, 200, 24));
    EXPECT_EQ(l.cropAll, QRect(754, 695, 200, 24));
}

TEST(ViewLayoutTest, NearestRoundsHalvesUp) {
    EXPECT_EQ(Nearest(12.5), 13);
    EXPECT_EQ(Nearest(512.5), 513);
    EXPECT_EQ(Nearest(409.99999999999994), 410);
    EXPECT_EQ(Nearest(12.49), 12);
    EXPECT_EQ(Nearest(0.0), 0);
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
