#include "engine/JpegErrors.h"
#include "engine/LosslessCrop.h"
#include "engine/TransformSupport.h"

#include "TestSupport.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using testing_support::EncodeJpeg;
using testing_support::JpegSpec;
using testing_support::MakeExifTiff;
using testing_support::Spec;

// A source object with its header read, ready for the geometry phase.
class SourceHeader {
  public:
    explicit SourceHeader(const JpegSpec& spec) : data_(EncodeJpeg(spec)) {
        AttachErrorManager(reinterpret_cast<j_common_ptr>(&info_), errors_);
        jpeg_create_decompress(&info_);
        jpeg_mem_src(&info_, reinterpret_cast<const unsigned char*>(data_.constData()),
                     static_cast<unsigned long>(data_.size()));
        if (setjmp(errors_.returnPoint) == 0) {
            jpeg_read_header(&info_, TRUE);
            headerRead_ = true;
        }
    }
    ~SourceHeader() { jpeg_destroy_decompress(&info_); }

    // The lossless crop's geometry phase for a valid request: the geometry,
    // then the workspace (here on the source's own pool); false on a fatal
    // error.
    bool Request(TransformOptions& options) {
        if (!headerRead_)
            return false;
        if (setjmp(errors_.returnPoint) != 0)
            return false;
        ComputeCropGeometry(&info_, options);
        RequestWorkspaceArrays(reinterpret_cast<j_common_ptr>(&info_), &info_, options);
        return true;
    }

  private:
    QByteArray data_;
    jpeg_decompress_struct info_{};
    CropErrorManager errors_{};
    bool headerRead_ = false;
};

TransformOptions Crop(unsigned x, unsigned y, unsigned w, unsigned h) {
    TransformOptions options;
    options.cropX = x;
    options.cropY = y;
    options.cropWidth = w;
    options.cropHeight = h;
    return options;
}

TEST(TransformSupportTest, WorkspaceForTheTwoByTwoExample) {
    SourceHeader source(Spec(1000, 750, 3, 2, 2));
    TransformOptions options = Crop(20, 37, 100, 50);
    ASSERT_TRUE(source.Request(options));
    EXPECT_EQ(options.componentCount, 3);
    EXPECT_EQ(options.maxHSamp, 2);
    EXPECT_EQ(options.maxVSamp, 2);
    EXPECT_EQ(options.outputWidth, 104U);
    EXPECT_EQ(options.outputHeight, 55U);
    EXPECT_EQ(options.xCropOffset, 1U);
    EXPECT_EQ(options.yCropOffset, 2U);
    ASSERT_NE(options.workspace, nullptr);  // 7 x 4 iMCUs, checked through real crops
}

TEST(TransformSupportTest, NoWorkspaceInsideTheFirstImcu) {
    SourceHeader source(Spec(1000, 750, 3, 2, 2));
    TransformOptions options = Crop(15, 15, 100, 50);
    ASSERT_TRUE(source.Request(options));
    EXPECT_EQ(options.workspace, nullptr);
    EXPECT_EQ(options.outputWidth, 115U);
    EXPECT_EQ(options.outputHeight, 65U);
}

TEST(TransformSupportTest, GrayscaleUsesEightPixelImcusWhateverItsSampling) {
    SourceHeader source(Spec(100, 60, 1, 2, 2));
    TransformOptions options = Crop(20, 9, 30, 20);
    ASSERT_TRUE(source.Request(options));
    EXPECT_EQ(options.maxHSamp, 1);
    EXPECT_EQ(options.maxVSamp, 1);
    EXPECT_EQ(options.xCropOffset, 2U);
    EXPECT_EQ(options.yCropOffset, 1U);
    EXPECT_EQ(options.outputWidth, 34U);
    EXPECT_EQ(options.outputHeight, 21U);
}

TEST(TransformSupportTest, ValidatesTheRequestWithUnsignedArithmetic) {
    const unsigned w = 203;
    const unsigned h = 157;
    struct Case {
        unsigned x, y, width, height;
        bool valid;
    };
    const Case cases[] = {
        {w - 1, 0, 1, 1, true},
        {0, h - 1, 1, 1, true},
        {0, 0, w, h, true},
        {w - 40, h - 30, 40, 30, true},  // exactly to the right and bottom edges
        {0, 0, w + 1, 1, false},
        {0, 0, 1, h + 1, false},
        {w, 0, 1, 1, false},
        {0, h, 1, 1, false},
        {0, 0, 0, 1, false},
        {0, 0, 1, 0, false},
        {1, 0, w, 1, false},
        {0, 1, 1, h, false},
        {0xFFFFFFFFU, 0, 2, 1, false},
        {5, 0, 0xFFFFFFFFU, 1, false},
    };
    // Through the lossless crop itself: a refused request writes nothing.
    QTemporaryDir dir;
    const QString path = dir.path() + "/src.jpg";
    testing_support::WriteBytes(
        path, EncodeJpeg(Spec(static_cast<int>(w), static_cast<int>(h), 3, 2, 1)));
    const QString out = dir.path() + "/out.jpg";
    for (const Case& c : cases) {
        EXPECT_EQ(IsValidCropRequest(w, h, c.x, c.y, c.width, c.height), c.valid);
        const CropOutcome outcome = LosslessCrop(path, out, c.x, c.y, c.width, c.height);
        EXPECT_EQ(outcome.status.ok(), c.valid)
            << c.x << "," << c.y << " " << c.width << "x" << c.height;
        if (!c.valid) {
            EXPECT_EQ(outcome.status.errorString(), "Invalid crop request");
        }
        EXPECT_EQ(QFile::remove(out), c.valid);
    }
    SourceHeader source(Spec(static_cast<int>(w), static_cast<int>(h), 3, 2, 1));
    TransformOptions last = Crop(w - 1, 0, 1, 1);
    ASSERT_TRUE(source.Request(last));
    EXPECT_EQ(last.outputWidth, 1 + (w - 1) % 16);
}

// --- Exif pixel dimensions ---

struct ExifEntry {
    int type;
    long count;
    QByteArray value;
};

ExifEntry EntryAt(const QByteArray& tiff, int offset, bool bigEndian) {
    const auto u16 = [&](int at) {
        const auto a = static_cast<unsigned char>(tiff[at]);
        const auto b = static_cast<unsigned char>(tiff[at + 1]);
        return bigEndian ? (a << 8) | b : (b << 8) | a;
    };
    const long count = bigEndian ? (static_cast<long>(u16(offset + 4)) << 16) | u16(offset + 6)
                                 : (static_cast<long>(u16(offset + 6)) << 16) | u16(offset + 4);
    return {u16(offset + 2), count, tiff.mid(offset + 8, 4)};
}

// Entries of the Exif IFD built by MakeExifTiff: X at 40, Y at 52.
constexpr int kXEntry = 40;
constexpr int kYEntry = 52;

void Adjust(QByteArray& tiff, unsigned width, unsigned height) {
    AdjustExifDimensions(reinterpret_cast<JOCTET*>(tiff.data()), static_cast<unsigned>(tiff.size()),
                         width, height);
}

TEST(TransformSupportTest, ExifDimensionsBecomeLongsInBigEndian) {
    QByteArray tiff = MakeExifTiff(true, 1000, 750);
    Adjust(tiff, 0x0168, 55);
    const ExifEntry x = EntryAt(tiff, kXEntry, true);
    EXPECT_EQ(x.type, 4);
    EXPECT_EQ(x.count, 1);
    EXPECT_EQ(x.value, QByteArray::fromHex("00000168"));
    const ExifEntry y = EntryAt(tiff, kYEntry, true);
    EXPECT_EQ(y.value, QByteArray::fromHex("00000037"));
}

TEST(TransformSupportTest, ExifDimensionsBecomeLongsInLittleEndian) {
    QByteArray tiff = MakeExifTiff(false, 1000, 750);
    Adjust(tiff, 0x12345, 0x0203);  // only the low 16 bits of a value are kept
    const ExifEntry x = EntryAt(tiff, kXEntry, false);
    EXPECT_EQ(x.type, 4);
    EXPECT_EQ(x.count, 1);
    EXPECT_EQ(x.value, QByteArray::fromHex("45230000"));
    EXPECT_EQ(EntryAt(tiff, kYEntry, false).value, QByteArray::fromHex("03020000"));
}

TEST(TransformSupportTest, MalformedExifIsLeftAlone) {
    const auto unchanged = [](QByteArray tiff, const char* why) {
        const QByteArray before = tiff;
        Adjust(tiff, 1, 1);
        EXPECT_EQ(tiff, before) << why;
    };
    const QByteArray good = MakeExifTiff(false, 100, 100);
    unchanged(good.left(11), "shorter than 12 bytes");
    QByteArray order = good;
    order[0] = 'X';
    unchanged(order, "unknown byte order");
    QByteArray magic = good;
    magic[2] = 0x2B;
    unchanged(magic, "not 0x002A");
    QByteArray highOffset = good;
    highOffset[6] = 1;
    unchanged(highOffset, "IFD0 offset above 16 bits");
    QByteArray pastEnd = good;
    pastEnd[4] = static_cast<char>(0xF0);
    unchanged(pastEnd, "IFD0 past the end");
    QByteArray noEntries = good;
    noEntries[8] = 0;
    unchanged(noEntries, "IFD0 without entries");
    QByteArray oneEntry = good;
    oneEntry[26] = 1;
    unchanged(oneEntry, "Exif IFD with one entry");
    QByteArray exifPastEnd = good;
    exifPastEnd[18] = static_cast<char>(0xFF);
    unchanged(exifPastEnd, "Exif IFD past the end");
    unchanged(good.left(50), "Exif IFD cut short");
    QByteArray noPointer = good;
    noPointer[10] = 0x10;  // IFD0's only tag is no longer the Exif pointer
    unchanged(noPointer, "no Exif IFD pointer");
}

TEST(TransformSupportTest, ExifEntryCountLimitsTheSearch) {
    QByteArray tiff = MakeExifTiff(false, 100, 100);
    tiff[26] = 2;  // ExifVersion and PixelXDimension only
    Adjust(tiff, 7, 9);
    EXPECT_EQ(EntryAt(tiff, kXEntry, false).value, QByteArray::fromHex("07000000"));
    EXPECT_EQ(EntryAt(tiff, kYEntry, false).type, 3);  // not reached
}

}  // namespace
