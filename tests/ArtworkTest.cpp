// Every compiled-in picture has the size and cell layout the window expects.

#include <QImage>

#include <gtest/gtest.h>

TEST(ArtworkTest, PicturesHaveTheirFixedSizes) {
    const struct {
        const char* name;
        int width, height;
    } pictures[] = {
        {"131", 410, 28}, {"158", 410, 28}, {"132", 280, 36}, {"157", 280, 36},
        {"133", 400, 48}, {"155", 320, 48}, {"134", 140, 36}, {"156", 140, 36},
        {"135", 40, 36},  {"136", 119, 34}, {"219", 38, 34},
    };
    for (const auto& picture : pictures) {
        const QImage image(QStringLiteral(":/pelmora/bitmaps/%1.png").arg(picture.name));
        ASSERT_FALSE(image.isNull()) << picture.name;
        EXPECT_EQ(image.size(), QSize(picture.width, picture.height)) << picture.name;
    }
}
