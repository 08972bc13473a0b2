#include "croprects/RectFile.h"
#include "croprects/RectSpec.h"

#include "TestSupport.h"

#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cstring>

namespace {

using testing_support::ReadBytes;
using testing_support::WriteBytes;

CCropRect Make(int isPixel, double l, double t, double r, double b, ColorRef color) {
    CCropRect rect;
    rect.isPixel = isPixel;
    rect.left = l;
    rect.top = t;
    rect.right = r;
    rect.bottom = b;
    rect.color = color;
    return rect;
}

double DoubleAt(const QByteArray& data, int offset) {
    const quint64 bits = qFromLittleEndian<quint64>(data.constData() + offset);
    double value = 0;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

TEST(RectFileTest, RecordLayoutIsByteExact) {
    const QByteArray data = SerializeRectRecords(
        {Make(1, 10.7, 0, 20.2, 5, 0x00FF00FF), Make(0, 25, 25, 75, 75, 0x00123456)});
    ASSERT_EQ(data.size(), 528);
    EXPECT_EQ(data[0], 1);
    EXPECT_EQ(data.mid(1, 7), QByteArray(7, '\0'));
    EXPECT_EQ(DoubleAt(data, 8), 10.7);
    EXPECT_EQ(DoubleAt(data, 24), 20.2);
    EXPECT_EQ(DoubleAt(data, 32), 5.0);
    EXPECT_EQ(data.mid(40, 4), QByteArray::fromHex("ff00ff00"));
    EXPECT_EQ(data.mid(44, 220), QByteArray(220, '\0'));
    EXPECT_EQ(data[264], 0);
    EXPECT_EQ(DoubleAt(data, 264 + 16), 25.0);
    EXPECT_EQ(data.mid(264 + 40, 4), QByteArray::fromHex("56341200"));
}

TEST(RectFileTest, RoundTripKeepsUnitsCoordinatesAndColoursInOrder) {
    QTemporaryDir dir;
    const QString path = dir.path() + "/RECT.DAT";
    const std::vector<CCropRect> rects = {Make(1, 0.25, 1, 2, 3, 0xFF),
                                          Make(0, 0, 0, 100, 100, 0xFF00),
                                          Make(2, -5, 1e9, 0, 0, 0xFF0000)};
    ASSERT_TRUE(WriteRectFile(path, rects).ok());
    EXPECT_EQ(ReadBytes(path).size(), 792);
    const RectFileContents file = ReadRectFile(path);
    ASSERT_TRUE(file.status.ok());
    const std::vector<CCropRect>& loaded = file.rects;
    ASSERT_EQ(loaded.size(), 3U);
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(loaded[i].isPixel, rects[i].isPixel);
        EXPECT_EQ(loaded[i].left, rects[i].left);
        EXPECT_EQ(loaded[i].top, rects[i].top);
        EXPECT_EQ(loaded[i].right, rects[i].right);
        EXPECT_EQ(loaded[i].bottom, rects[i].bottom);
        EXPECT_EQ(loaded[i].color, rects[i].color);
    }
    // A unit byte of 2 stays 2 when written back.
    EXPECT_EQ(SerializeRectRecords(loaded), ReadBytes(path));
}

TEST(RectFileTest, ShortTailAndEmptyFileAreHandled) {
    QByteArray data = SerializeRectRecords({Make(1, 1, 2, 3, 4, 5), Make(0, 1, 2, 3, 4, 5)});
    data.append(QByteArray(72, '\x7f'));
    EXPECT_EQ(data.size(), 600);
    EXPECT_EQ(ParseRectRecords(data).size(), 2U);
    EXPECT_TRUE(ParseRectRecords(QByteArray()).empty());
    EXPECT_TRUE(ParseRectRecords(QByteArray(263, '\1')).empty());
    // Reserved bytes are never interpreted.
    QByteArray noisy = SerializeRectRecords({Make(1, 1, 2, 3, 4, 5)});
    for (int i = 44; i < 264; ++i)
        noisy[i] = '\xAA';
    EXPECT_EQ(ParseRectRecords(noisy)[0].right, 3.0);
}

// The unit is the first byte alone: the seven reserved bytes after it may hold
// anything (another writer, an older version) and must not turn a percent
// rectangle into a pixel one, as a read of two, four or eight bytes would.
TEST(RectFileTest, TheUnitIsOneByteWhateverTheReservedBytesAfterItHold) {
    QByteArray data = SerializeRectRecords(
        {Make(0, 10, 20, 30, 40, 1), Make(1, 10, 20, 30, 40, 2), Make(0x80, 1, 2, 3, 4, 3)});
    for (const int record : {0, 1, 2}) {
        for (int i = 1; i < 8; ++i)
            data[record * kRectRecordSize + i] = static_cast<char>(0x11 * i);
    }
    const std::vector<CCropRect> rects = ParseRectRecords(data);
    ASSERT_EQ(rects.size(), 3U);
    EXPECT_EQ(rects[0].isPixel, 0);
    EXPECT_EQ(rects[1].isPixel, 1);
    EXPECT_EQ(rects[2].isPixel, 0x80);  // an unsigned byte: nonzero, and kept
    EXPECT_EQ(rects[0].left, 10.0);
    // Written back, the unit bytes are as read and the reserved ones zero.
    const QByteArray again = SerializeRectRecords(rects);
    for (const int record : {0, 1, 2}) {
        EXPECT_EQ(again.mid(record * kRectRecordSize + 1, 7), QByteArray(7, '\0')) << record;
        EXPECT_EQ(again[record * kRectRecordSize], data[record * kRectRecordSize]) << record;
    }
}

TEST(RectFileTest, MissingFileLoadsNothingAndFailedWriteKeepsTheOldFile) {
    QTemporaryDir dir;
    const RectFileContents missing = ReadRectFile(dir.path() + "/missing");
    EXPECT_FALSE(missing.status.ok());
    EXPECT_TRUE(missing.status.errorString().contains(QStringLiteral("No such file")))
        << missing.status.errorString().toStdString();
    EXPECT_TRUE(missing.rects.empty());
    const Status unwritten = WriteRectFile(dir.path() + "/no/such/folder/RECT.DAT", {CCropRect()});
    EXPECT_FALSE(unwritten.ok());
    EXPECT_FALSE(unwritten.errorString().isEmpty());
}

// Pixel edges are written without conversion dust; percent values, and real
// fractions of a pixel, exactly as they are.
TEST(RectFileTest, PixelEdgesAreStoredWithoutConversionDust) {
    CCropRect pixel;
    pixel.isPixel = 1;
    pixel.left = 632;
    pixel.top = 303.99999999999994;
    pixel.right = 2383.9999999999995;
    pixel.bottom = 1680.7;
    CCropRect percent = pixel;
    percent.isPixel = 0;
    percent.right = 59.599999999999994;
    const QByteArray data = SerializeRectRecords({pixel, percent});
    ASSERT_EQ(data.size(), 2 * kRectRecordSize);
    const auto at = [&data](int record, int offset) {
        double value = 0;
        std::memcpy(&value, data.constData() + record * kRectRecordSize + offset, sizeof value);
        return value;
    };
    EXPECT_EQ(at(0, 8), 632.0);
    EXPECT_EQ(at(0, 16), 304.0);
    EXPECT_EQ(at(0, 24), 2384.0);
    EXPECT_EQ(at(0, 32), 1680.7);
    EXPECT_EQ(at(1, 16), 303.99999999999994);
    EXPECT_EQ(at(1, 24), 59.599999999999994);
    // Read back, the file cuts where the list showed it.
    const std::vector<CCropRect> back = ParseRectRecords(data);
    ASSERT_EQ(back.size(), 2u);
    EXPECT_EQ(back[0].Resolve(4000, 3000).Width(), 2384 - 632);
}

TEST(RectSpecTest, ParsesTheThreeForms) {
    const auto pixel = ParseRectSpec(QStringLiteral("10,20,110.5,220"));
    ASSERT_TRUE(pixel);
    EXPECT_EQ(pixel->isPixel, 1);
    EXPECT_EQ(pixel->right, 110.5);
    const auto percent = ParseRectSpec(QStringLiteral("25%, 25%, 75%, 75%"));
    ASSERT_TRUE(percent);
    EXPECT_EQ(percent->isPixel, 0);
    EXPECT_EQ(percent->Resolve(640, 480), (PixelRect{160, 120, 480, 360}));
    const auto geometry = ParseRectSpec(QStringLiteral("100x50+20+37"));
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->Resolve(1000, 750), (PixelRect{20, 37, 120, 87}));
}

TEST(RectSpecTest, RejectsMalformedSpecsWithAReason) {
    for (const char* bad :
         {"", "1,2,3", "1,2,3,4,5", "a,b,c,d", "10%,0,50%,50%", "100x50", "100x50+1", "-1x5+0+0",
          "nan,0,1,1", "inf,0,1,1", "1,,2,3", "99999999999x1+0+0", "1x1+0+0 junk"}) {
        QString reason;
        EXPECT_FALSE(ParseRectSpec(QString::fromUtf8(bad), &reason)) << bad;
        EXPECT_FALSE(reason.isEmpty()) << bad;
    }
}

}  // namespace
