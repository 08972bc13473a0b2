// Every compiled-in picture the code names has the size and cell layout the
// window expects.

#include "platform/ResourceIds.h"

#include <QImage>

#include <gtest/gtest.h>

TEST(ArtworkTest, PicturesHaveTheirFixedSizes) {
    using namespace picture;
    const struct {
        int id;
        int width, height;
    } pictures[] = {
        {kLogo, 380, 50},
        {kCaptionActive, 410, 28},
        {kCaptionInactive, 410, 28},
        {kRectButtons.japanese, 280, 36},
        {kRectButtons.english, 280, 36},
        {kCropButtons.japanese, 400, 48},
        {kCropButtons.english, 320, 48},
        {kRemoveButtons.japanese, 140, 36},
        {kRemoveButtons.english, 140, 36},
        {kStepButtons, 40, 36},
        {kCaptionIcons, 119, 34},
        {kCorner, 38, 34},
    };
    for (const auto& picture : pictures) {
        const QImage image(PictureResource(picture.id));
        ASSERT_FALSE(image.isNull()) << picture.id;
        EXPECT_EQ(image.size(), QSize(picture.width, picture.height)) << picture.id;
    }
    EXPECT_EQ(QImage(CursorResource(cursor::kMove)).size(), QSize(32, 32));
}
