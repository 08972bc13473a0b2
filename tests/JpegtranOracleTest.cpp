// The lossless crop must decode to exactly the pixels that jpegtran -crop
// gives for the same source and rectangle, across the kinds of JPEG file
// that cameras and editors write.

#include "engine/LosslessCrop.h"

#include "TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

struct Kind {
    const char* name;
    int components;
    int h0, v0;  // the first component's sampling; the others are 1x1
    bool progressive;
    int restartRows;
};

const Kind kKinds[] = {
    {"444", 3, 1, 1, false, 0},           {"422", 3, 2, 1, false, 0},
    {"420", 3, 2, 2, false, 0},           {"440", 3, 1, 2, false, 0},
    {"gray", 1, 1, 1, false, 0},          {"gray22", 1, 2, 2, false, 0},
    {"420progressive", 3, 2, 2, true, 0}, {"422restarts", 3, 2, 1, false, 2},
    {"cmyk", 4, 1, 1, false, 0},          {"cmyk21", 4, 2, 1, true, 1},
};

struct Rect {
    int x, y, w, h;
};

std::vector<Rect> RectanglesFor(int width, int height) {
    return {
        {0, 0, width, height},            // whole image
        {0, 0, 1, 1},                     // smallest
        {width - 1, height - 1, 1, 1},    // last pixel
        {5, 3, 40, 30},                   // inside the first iMCU
        {20, 37, 100, 50},                // the 2x2 example's offsets
        {17, 9, width - 17, height - 9},  // to the right and bottom edges
        {31, 15, 33, 17},                 // one short of an iMCU boundary
        {width / 2, height / 3, width / 3, height / 2},
        {16, 16, 16, 16},  // exactly on the grid
    };
}

class JpegtranOracleTest : public ::testing::TestWithParam<Kind> {};

TEST_P(JpegtranOracleTest, PixelsMatchJpegtranForEveryRectangle) {
    const Kind kind = GetParam();
    QTemporaryDir dir;
    JpegSpec spec;
    spec.width = 203;  // no multiple of any iMCU
    spec.height = 157;
    spec.components = kind.components;
    for (int c = 0; c < 4; ++c)
        spec.hSamp[c] = spec.vSamp[c] = 1;
    spec.hSamp[0] = kind.h0;
    spec.vSamp[0] = kind.v0;
    spec.progressive = kind.progressive;
    spec.restartRows = kind.restartRows;
    const QString source = dir.path() + "/src.jpg";
    WriteBytes(source, EncodeJpeg(spec));
    ASSERT_FALSE(ReadBytes(source).isEmpty());

    int index = 0;
    for (const Rect& r : RectanglesFor(spec.width, spec.height)) {
        const QString out = dir.path() + QStringLiteral("/out%1.jpg").arg(index++);
        const CropOutcome result =
            LosslessCrop(source, out, static_cast<unsigned>(r.x), static_cast<unsigned>(r.y),
                         static_cast<unsigned>(r.w), static_cast<unsigned>(r.h));
        ASSERT_TRUE(result.status.ok())
            << kind.name << " " << result.status.errorString().toStdString();
        const QByteArray oracle = JpegtranCrop(source, r.w, r.h, r.x, r.y);
        ASSERT_FALSE(oracle.isEmpty());
        const DecodedImage ours = DecodeJpeg(ReadBytes(out));
        const DecodedImage theirs = DecodeJpeg(oracle);
        ASSERT_TRUE(ours.ok && theirs.ok);
        EXPECT_EQ(ours.width, theirs.width)
            << kind.name << " " << r.w << "x" << r.h << "+" << r.x << "+" << r.y;
        EXPECT_EQ(ours.height, theirs.height);
        EXPECT_EQ(ours.components, theirs.components);
        EXPECT_TRUE(ours.pixels == theirs.pixels)
            << kind.name << " " << r.w << "x" << r.h << "+" << r.x << "+" << r.y;
        EXPECT_EQ(result.written.Width(), ours.width);
        EXPECT_EQ(result.written.Height(), ours.height);
    }
}

INSTANTIATE_TEST_SUITE_P(Kinds, JpegtranOracleTest, ::testing::ValuesIn(kKinds),
                         [](const ::testing::TestParamInfo<Kind>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
