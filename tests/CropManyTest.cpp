// Several rectangles from one decode must give, file for file, what one crop
// per rectangle gives.

#include "engine/LosslessCrop.h"
#include "engine/RecompressCrop.h"

#include "TestSupport.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

class CropManyTest : public ::testing::Test {
  protected:
    QString Source(JpegSpec spec) {
        const QString path = dir_.path() + "/src.jpg";
        WriteBytes(path, EncodeJpeg(spec));
        return path;
    }
    QString Path(const QString& name) const { return dir_.path() + "/" + name; }
    QTemporaryDir dir_;
};

JpegSpec WithExif(int width, int height) {
    JpegSpec spec;
    spec.width = width;
    spec.height = height;
    spec.writeJfif = false;
    spec.markers = {{0xE1, QByteArray("Exif\0\0", 6) + MakeExifTiff(false, width, height)},
                    {0xFE, QByteArray("note")}};
    return spec;
}

TEST_F(CropManyTest, LosslessManyMatchesSingleCropsByteForByte) {
    const QString source = Source(WithExif(203, 157));
    const std::vector<CropTarget> targets = {{Path("m0.jpg"), {0, 0, 101, 78}},
                                             {Path("m1.jpg"), {50, 39, 151, 117}},
                                             {Path("m2.jpg"), {102, 79, 203, 157}},
                                             {Path("m3.jpg"), {0, 0, 203, 157}},
                                             {Path("m4.jpg"), {17, 9, 22, 12}}};
    const auto results = LosslessCrop(source, targets, ExistingOutput::kKeep);
    ASSERT_EQ(results.size(), targets.size());
    for (std::size_t i = 0; i < targets.size(); ++i) {
        const PixelRect& r = targets[i].rect;
        const QString single = Path(QStringLiteral("s%1.jpg").arg(i));
        const CropOutcome alone = LosslessCrop(
            source, single, static_cast<std::uint32_t>(r.left), static_cast<std::uint32_t>(r.top),
            static_cast<std::uint32_t>(r.Width()), static_cast<std::uint32_t>(r.Height()));
        ASSERT_TRUE(results[i].status.ok()) << results[i].status.errorString().toStdString();
        ASSERT_TRUE(alone.status.ok());
        EXPECT_EQ(results[i].written, alone.written) << i;
        EXPECT_EQ(ReadBytes(targets[i].destination), ReadBytes(single)) << i;
    }
}

TEST_F(CropManyTest, OneBadTargetDoesNotStopTheOthers) {
    const QString source = Source(WithExif(64, 48));
    QDir(dir_.path()).mkdir("taken.jpg");
    const auto results = LosslessCrop(source,
                                      {{Path("ok1.jpg"), {0, 0, 8, 8}},
                                       {Path("bad.jpg"), {60, 0, 68, 8}},
                                       {Path("taken.jpg"), {0, 0, 8, 8}},
                                       {Path("no/dir.jpg"), {0, 0, 8, 8}},
                                       {Path("ok2.jpg"), {8, 8, 16, 16}}},
                                      ExistingOutput::kKeep);
    EXPECT_TRUE(results[0].status.ok());
    EXPECT_EQ(results[1].status.errorString(), QStringLiteral("Invalid crop request"));
    EXPECT_FALSE(results[2].status.ok());
    EXPECT_FALSE(results[3].status.ok());
    EXPECT_TRUE(results[4].status.ok());
    QStringList files = QDir(dir_.path()).entryList(QDir::Files | QDir::Hidden);
    files.sort();
    EXPECT_EQ(files, (QStringList{"ok1.jpg", "ok2.jpg", "src.jpg"}));
}

TEST_F(CropManyTest, AnUnreadableSourceFailsEveryTarget) {
    WriteBytes(Path("bad.jpg"), "nope");
    const auto results = LosslessCrop(
        Path("bad.jpg"), {{Path("a.jpg"), {0, 0, 8, 8}}, {Path("b.jpg"), {0, 0, 8, 8}}},
        ExistingOutput::kKeep);
    ASSERT_EQ(results.size(), 2U);
    EXPECT_FALSE(results[0].status.ok() || results[1].status.ok());
    EXPECT_FALSE(results[1].status.errorString().isEmpty());
    const auto missing =
        LosslessCrop(Path("missing.jpg"), {{Path("c.jpg"), {0, 0, 8, 8}}}, ExistingOutput::kKeep);
    EXPECT_FALSE(missing[0].status.ok());
    EXPECT_FALSE(QFile::exists(Path("a.jpg")) || QFile::exists(Path("c.jpg")));
}

TEST_F(CropManyTest, RecompressManyMatchesSingleCropsByteForByte) {
    JpegSpec spec;
    spec.width = 203;
    spec.height = 157;
    const QString source = Source(spec);
    const std::vector<CropTarget> targets = {{Path("r0.jpg"), {0, 0, 101, 78}},
                                             {Path("r1.jpg"), {102, 79, 203, 157}},
                                             {Path("r2.jpg"), {3, 5, 13, 12}},
                                             {Path("r3.jpg"), {5, 5, 5, 9}},
                                             {Path("r4.jpg"), {190, 0, 210, 10}}};
    const auto results = RecompressCrop(source, targets, 90, ExistingOutput::kKeep);
    for (std::size_t i = 0; i < 3; ++i) {
        const QString single = Path(QStringLiteral("s%1.jpg").arg(i));
        ASSERT_TRUE(results[i].status.ok()) << results[i].status.errorString().toStdString();
        ASSERT_EQ(RecompressCropFile(source, single, targets[i].rect, 90), 1);
        EXPECT_EQ(ReadBytes(targets[i].destination), ReadBytes(single)) << i;
    }
    EXPECT_FALSE(results[3].status.ok());  // empty
    EXPECT_FALSE(results[4].status.ok());  // leaves the picture
    EXPECT_FALSE(QFile::exists(Path("r3.jpg")) || QFile::exists(Path("r4.jpg")));
}

}  // namespace
