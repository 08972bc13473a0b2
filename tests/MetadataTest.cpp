// What crops do to the metadata they carry: true sizes, a thumbnail of the
// crop instead of the whole photo, the colour profile kept.

#include "engine/CropMetadata.h"
#include "engine/ExifEditor.h"
#include "engine/Img.h"
#include "engine/JpegCodec.h"
#include "engine/JpegErrors.h"
#include "engine/LosslessCrop.h"
#include "engine/RecompressCrop.h"
#include "engine/XmpEditor.h"

#include "TestSupport.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

using namespace testing_support;

constexpr int kWidth = 1000;
constexpr int kHeight = 750;

double MeanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB888);
    const QImage y = b.convertToFormat(QImage::Format_RGB888);
    if (x.size() != y.size())
        return 1e9;
    double sum = 0;
    for (int row = 0; row < x.height(); ++row) {
        for (int i = 0; i < x.width() * 3; ++i)
            sum += std::abs(x.constScanLine(row)[i] - y.constScanLine(row)[i]);
    }
    return sum / (x.width() * x.height() * 3.0);
}

// The Exif TIFF data of the first Exif APP1 marker.
QByteArray ExifTiffOf(const QByteArray& jpeg) {
    for (const JpegSpec::Marker& m : ReadMarkers(jpeg)) {
        if (m.code == 0xE1 && m.data.startsWith(QByteArray("Exif\0\0", 6)))
            return m.data.mid(6);
    }
    return {};
}

QByteArray ThumbnailOf(const QByteArray& tiff) {
    ExifThumbnailPlace place;
    return FindExifThumbnail(tiff, place) ? tiff.mid(place.offset, place.length) : QByteArray();
}

class MetadataTest : public ::testing::Test {
  protected:
    void SetUp() override {
        JpegSpec plain;
        plain.width = kWidth;
        plain.height = kHeight;
        whole_ = DecodeJpegImage(EncodeJpeg(plain));
        oldThumbnail_ = EncodeJpegBytes(ToRgbPicture(ResampleCubic(whole_, 160, 120)), 90);
    }
    QString Source(bool bigEndian, bool afterJfif, const QByteArray& trailer = {}) {
        JpegSpec spec;
        spec.width = kWidth;
        spec.height = kHeight;
        spec.writeJfif = afterJfif;
        spec.markers = {{0xE1, QByteArray("Exif\0\0", 6) +
                                   MakeExifWithThumbnail(bigEndian, kWidth, kHeight, oldThumbnail_,
                                                         true, trailer)}};
        const QString path = dir_.path() + "/src.jpg";
        WriteBytes(path, EncodeJpeg(spec));
        return path;
    }
    QString Out(const char* name) const { return dir_.path() + "/" + name; }

    QTemporaryDir dir_;
    QImage whole_;
    QByteArray oldThumbnail_;
};

TEST_F(MetadataTest, LosslessCropCarriesAThumbnailOfTheCropInEveryLayout) {
    for (const bool bigEndian : {false, true}) {
        for (const bool afterJfif : {false, true}) {
            const QString source = Source(bigEndian, afterJfif);
            const CropOutcome result = LosslessCrop(source, Out("crop.jpg"), 0, 0, 600, 300);
            ASSERT_TRUE(result.status.ok()) << result.status.errorString().toStdString();
            const QByteArray out = ReadBytes(Out("crop.jpg"));
            const QByteArray tiff = ExifTiffOf(out);
            const QImage thumbnail = DecodeJpegImage(ThumbnailOf(tiff));
            ASSERT_EQ(thumbnail.size(), QSize(160, 80)) << bigEndian << afterJfif;
            const QImage expected = ResampleCubic(whole_.copy(0, 0, 600, 300), 160, 80);
            const QImage leaked = ResampleCubic(whole_, 160, 80);
            EXPECT_LT(MeanDifference(thumbnail, expected), MeanDifference(thumbnail, leaked) / 2);
            EXPECT_FALSE(out.contains(oldThumbnail_.mid(oldThumbnail_.size() / 3, 64)));
            // IFD0 and the Exif IFD give the written size.
            const QByteArray width =
                bigEndian ? QByteArray::fromHex("0258") : QByteArray::fromHex("5802");
            EXPECT_EQ(tiff.mid(8 + 2 + 8, 2), width);
        }
    }
}

// A crop that keeps the whole width (or the whole height) still changes the
// picture's size: both dimension tags and the thumbnail must follow it.
TEST_F(MetadataTest, FullWidthOrFullHeightStripsGetTrueSizesAndANewThumbnail) {
    struct Strip {
        quint32 x, y, width, height;
    };
    const auto le16 = [](quint32 v) {
        const char bytes[2] = {static_cast<char>(v & 0xFF), static_cast<char>(v >> 8)};
        return QByteArray(bytes, 2);
    };
    const QString source = Source(false, true);
    for (const Strip& strip : {Strip{0, 304, kWidth, 96}, Strip{496, 0, 200, kHeight}}) {
        SCOPED_TRACE(strip.width);
        const CropOutcome result =
            LosslessCrop(source, Out("strip.jpg"), strip.x, strip.y, strip.width, strip.height,
                         ExistingOutput::kReplace);
        ASSERT_TRUE(result.status.ok()) << result.status.errorString().toStdString();
        const QByteArray out = ReadBytes(Out("strip.jpg"));
        const QByteArray tiff = ExifTiffOf(out);
        // Little-endian layout of the source: IFD0 width (SHORT) at 18,
        // height (LONG) at 30; Exif IFD PixelX at 60, PixelY at 72.
        EXPECT_EQ(tiff.mid(18, 2), le16(strip.width));
        EXPECT_EQ(tiff.mid(30, 2), le16(strip.height));
        EXPECT_EQ(tiff.mid(60, 2), le16(strip.width));
        EXPECT_EQ(tiff.mid(72, 2), le16(strip.height));
        EXPECT_FALSE(out.contains(oldThumbnail_.mid(oldThumbnail_.size() / 3, 64)));
        const QImage thumbnail = DecodeJpegImage(ThumbnailOf(tiff));
        const double aspect = static_cast<double>(strip.width) / strip.height;
        ASSERT_FALSE(thumbnail.isNull());
        EXPECT_NEAR(static_cast<double>(thumbnail.width()) / thumbnail.height(), aspect,
                    aspect * 0.1);
    }
}

// An old thumbnail whose header claims 65000 x 48750 pixels: the new one
// is made no longer than 640 pixels (an Exif block holds 64 KB), not
// scaled up to gigabytes, and the old one does not survive.
TEST_F(MetadataTest, ForgedThumbnailSizeGivesABoundedNewThumbnail) {
    QByteArray forged = oldThumbnail_;
    const qsizetype sof = forged.indexOf("\xFF\xC0");
    ASSERT_GT(sof, 0);
    forged[sof + 5] = static_cast<char>(0xBE);  // height 48750
    forged[sof + 6] = static_cast<char>(0x6E);
    forged[sof + 7] = static_cast<char>(0xFD);  // width 65000
    forged[sof + 8] = static_cast<char>(0xE8);
    JpegSpec spec;
    spec.width = kWidth;
    spec.height = kHeight;
    spec.markers = {{0xE1, QByteArray("Exif\0\0", 6) +
                               MakeExifWithThumbnail(false, kWidth, kHeight, forged, true, {})}};
    const QString source = Out("forged.jpg");
    WriteBytes(source, EncodeJpeg(spec));
    const CropOutcome result = LosslessCrop(source, Out("small.jpg"), 16, 16, 64, 32);
    ASSERT_TRUE(result.status.ok()) << result.status.errorString().toStdString();
    const QByteArray tiff = ExifTiffOf(ReadBytes(Out("small.jpg")));
    EXPECT_EQ(DecodeJpegImage(ThumbnailOf(tiff)).size(), QSize(640, 320));
    EXPECT_FALSE(tiff.contains(forged.mid(forged.size() / 3, 64)));
}

TEST_F(MetadataTest, KeepingTheThumbnailCopiesItAsItIs) {
    const QString source = Source(false, false);
    CropMetadataOptions keep;
    keep.rebuildExifThumbnail = false;
    ASSERT_TRUE(
        LosslessCrop(source, Out("kept.jpg"), 0, 0, 600, 300, ExistingOutput::kReplace, keep)
            .status.ok());
    EXPECT_EQ(ThumbnailOf(ExifTiffOf(ReadBytes(Out("kept.jpg")))), oldThumbnail_);
}

TEST_F(MetadataTest, ThumbnailNotLastIsClearedAndTheNewOneAppended) {
    const QByteArray trailer("TRAILING-DATA-KEPT");
    const QString source = Source(true, false, trailer);
    ASSERT_TRUE(LosslessCrop(source, Out("c.jpg"), 16, 16, 320, 320).status.ok());
    const QByteArray tiff = ExifTiffOf(ReadBytes(Out("c.jpg")));
    EXPECT_TRUE(tiff.contains(trailer));
    EXPECT_FALSE(tiff.contains(oldThumbnail_.mid(100, 64)));
    EXPECT_EQ(DecodeJpegImage(ThumbnailOf(tiff)).size(), QSize(160, 160));
}

TEST_F(MetadataTest, OddThumbnailsAreLeftAloneWithoutHarm) {
    QByteArray tiff = MakeExifWithThumbnail(false, 100, 100, oldThumbnail_);
    ExifThumbnailPlace place;
    ASSERT_TRUE(FindExifThumbnail(tiff, place));
    // Offset past the end.
    QByteArray past = tiff;
    past[place.offsetEntry + 8] = static_cast<char>(0xF0);
    past[place.offsetEntry + 9] = static_cast<char>(0xFF);
    EXPECT_FALSE(FindExifThumbnail(past, place));
    QByteArray copy = past;
    EXPECT_FALSE(ReplaceExifThumbnail(copy, "x", 60000));
    EXPECT_EQ(copy, past);
    // No IFD1 at all.
    const QByteArray noIfd1 = MakeExifTiff(true, 100, 100);
    EXPECT_FALSE(FindExifThumbnail(noIfd1, place));
    // Cut short in the middle of IFD1, and garbage.
    EXPECT_FALSE(FindExifThumbnail(tiff.left(70), place));
    EXPECT_FALSE(FindExifThumbnail(QByteArray(40, '\xFF'), place));
    // A thumbnail that would not fit the marker is dropped and IFD1 unlinked.
    QByteArray big = tiff;
    ASSERT_TRUE(ReplaceExifThumbnail(big, QByteArray(70000, 'z'), kMaxExifTiffSize));
    EXPECT_FALSE(FindExifThumbnail(big, place));
    EXPECT_FALSE(big.contains(oldThumbnail_.mid(100, 64)));
    EXPECT_LT(big.size(), tiff.size());
}

TEST_F(MetadataTest, Ifd0SizeRewrittenOnlyWhenPresent) {
    QByteArray with = MakeExifWithThumbnail(true, 1000, 750, {}, true);
    ASSERT_TRUE(RewriteIfd0Dimensions(with, 104, 70000));
    EXPECT_EQ(with.mid(10 + 8, 2), QByteArray::fromHex("0068"));      // SHORT stays SHORT
    EXPECT_EQ(with.mid(22 + 8, 4), QByteArray::fromHex("00011170"));  // LONG
    QByteArray without = MakeExifWithThumbnail(true, 1000, 750, {}, false);
    const QByteArray before = without;
    ASSERT_TRUE(RewriteIfd0Dimensions(without, 104, 55));
    EXPECT_EQ(without, before);
}

TEST(XmpEditorTest, RewritesAttributesAndElementsWithinThePadding) {
    QByteArray packet =
        "<x:xmpmeta><rdf:Description exif:PixelXDimension=\"1000\" tiff:ImageLength='750'>"
        "<exif:PixelYDimension>750</exif:PixelYDimension></rdf:Description></x:xmpmeta>"
        "          <?xpacket end=\"w\"?>";
    const qsizetype size = packet.size();
    ASSERT_EQ(RewriteXmpDimensions(packet, 104, 12345), XmpEdit::kUpdated);
    EXPECT_EQ(packet.size(), size);
    EXPECT_TRUE(packet.contains("exif:PixelXDimension=\"104\""));
    EXPECT_TRUE(packet.contains("tiff:ImageLength='12345'"));
    EXPECT_TRUE(packet.contains("<exif:PixelYDimension>12345</exif:PixelYDimension>"));
    EXPECT_TRUE(packet.endsWith("<?xpacket end=\"w\"?>"));

    QByteArray tight = "<a exif:PixelXDimension=\"9\"/><?xpacket end=\"w\"?>";
    const QByteArray before = tight;
    EXPECT_EQ(RewriteXmpDimensions(tight, 123456, 1), XmpEdit::kNoRoom);
    EXPECT_EQ(tight, before);
    QByteArray none = "<a dc:title=\"x\"/>  <?xpacket end=\"w\"?>";
    EXPECT_EQ(RewriteXmpDimensions(none, 1, 1), XmpEdit::kNothingToDo);
}

TEST_F(MetadataTest, XmpInALosslessCropGetsTheWrittenSize) {
    JpegSpec spec;
    spec.width = 64;
    spec.height = 48;
    const QByteArray head = QByteArray(kXmpSignature) + QByteArray(1, '\0');
    spec.markers = {{0xE1, head + "<r exif:PixelXDimension=\"64\" exif:PixelYDimension=\"48\"/>"
                                  "    <?xpacket end=\"w\"?>"},
                    {0xE1, head + "<r tiff:ImageWidth=\"6\"/><?xpacket end=\"w\"?>"}};
    WriteBytes(Out("x.jpg"), EncodeJpeg(spec));
    const CropOutcome result = LosslessCrop(Out("x.jpg"), Out("y.jpg"), 0, 0, 8, 8);
    ASSERT_TRUE(result.status.ok());
    const auto markers = ReadMarkers(ReadBytes(Out("y.jpg")));
    EXPECT_TRUE(markers[1].data.contains("exif:PixelXDimension=\"8\" exif:PixelYDimension=\"8\""));
    EXPECT_TRUE(result.notes.isEmpty());
}

TEST_F(MetadataTest, RecompressKeepsTheProfileAndOnlyOptionallyExif) {
    JpegSpec spec;
    spec.width = 200;
    spec.height = 150;
    const QByteArray chunk1 = QByteArray("ICC_PROFILE\0\1\2", 14) + QByteArray(3000, 'a');
    const QByteArray chunk2 = QByteArray("ICC_PROFILE\0\2\2", 14) + QByteArray(500, 'b');
    spec.markers = {
        {0xE1, QByteArray("Exif\0\0", 6) + MakeExifWithThumbnail(false, 200, 150, oldThumbnail_)},
        {0xE2, chunk1},
        {0xE2, chunk2}};
    WriteBytes(Out("icc.jpg"), EncodeJpeg(spec));
    ASSERT_TRUE(
        RecompressCrop(Out("icc.jpg"), Out("plain.jpg"), {10, 10, 110, 60}, 90).status.ok());
    auto markers = ReadMarkers(ReadBytes(Out("plain.jpg")));
    std::vector<QByteArray> profiles;
    for (const auto& m : markers) {
        EXPECT_NE(m.code, 0xE1);
        if (m.code == 0xE2)
            profiles.push_back(m.data);
    }
    EXPECT_EQ(profiles, (std::vector<QByteArray>{chunk1, chunk2}));

    CropMetadataOptions keepExif;
    keepExif.keepExifOnRecompress = true;
    ASSERT_TRUE(RecompressCrop(Out("icc.jpg"), Out("exif.jpg"), {10, 10, 110, 60}, 90,
                               ExistingOutput::kReplace, keepExif)
                    .status.ok());
    const QByteArray tiff = ExifTiffOf(ReadBytes(Out("exif.jpg")));
    ASSERT_FALSE(tiff.isEmpty());
    EXPECT_EQ(tiff.mid(10 + 8, 2), QByteArray::fromHex("6400"));  // IFD0 width 100
    EXPECT_EQ(DecodeJpegImage(ThumbnailOf(tiff)).size(), QSize(160, 80));
}

// A source whose coefficient arrays fail when the Exif thumbnail is drawn
// from them, as a damaged backing store would. Everything with a destructor
// lives here, outside the frame that calls setjmp.
struct FailingEditProbe {
    enum class Outcome { kNotRun, kApplied, kEscaped, kRefusedThenRaised };
    const QByteArray* jpeg = nullptr;
    jpeg_decompress_struct info{};
    CropErrorManager errors{};
    bool created = false;
    TransformOptions options;
    LosslessMarkerEdit edit;
    CropMetadataOptions metadata;
    bool refused = false;
    Outcome outcome = Outcome::kNotRun;
};

JBLOCKARRAY FailingAccess(j_common_ptr info, jvirt_barray_ptr, JDIMENSION, JDIMENSION, boolean) {
    ERREXIT(info, JERR_BAD_VIRTUAL_ACCESS);
    return nullptr;
}

void EditWithFailingBlocks(FailingEditProbe& probe) {
    if (setjmp(probe.errors.returnPoint) != 0) {
        // Reached only by a jump: the edit's own failure raised again here
        // (its frames had returned) or an error that escaped the edit.
        probe.outcome = probe.refused ? FailingEditProbe::Outcome::kRefusedThenRaised
                                      : FailingEditProbe::Outcome::kEscaped;
        return;
    }
    jpeg_create_decompress(&probe.info);
    probe.created = true;
    jpeg_mem_src(&probe.info, reinterpret_cast<const unsigned char*>(probe.jpeg->constData()),
                 static_cast<unsigned long>(probe.jpeg->size()));
    SetupMarkerCopy(&probe.info);
    jpeg_read_header(&probe.info, TRUE);
    jvirt_barray_ptr* arrays = jpeg_read_coefficients(&probe.info);
    ComputeCropGeometry(&probe.info, probe.options);
    probe.info.mem->access_virt_barray = FailingAccess;
    if (probe.edit.Apply(&probe.info, arrays, probe.options, probe.metadata)) {
        probe.outcome = FailingEditProbe::Outcome::kApplied;
        return;
    }
    probe.refused = true;
    RaiseKeptError(reinterpret_cast<j_common_ptr>(&probe.info));
}

// The thumbnail of a lossless crop is drawn from libjpeg's arrays in the
// middle of the marker edit's own objects. A libjpeg error there must come
// back as a failed edit (the caller raises it from its own frame), never as
// a long jump across them, and the caller's return point must still work.
TEST_F(MetadataTest, LibjpegErrorInsideTheMarkerEditComesBackAsAFailure) {
    for (const bool rebuild : {true, false}) {
        SCOPED_TRACE(rebuild);
        const QByteArray jpeg = ReadBytes(Source(true, true));
        FailingEditProbe probe;
        probe.jpeg = &jpeg;
        probe.options.cropX = 100;
        probe.options.cropY = 60;
        probe.options.cropWidth = 400;
        probe.options.cropHeight = 300;
        probe.metadata.rebuildExifThumbnail = rebuild;
        AttachErrorManager(reinterpret_cast<j_common_ptr>(&probe.info), probe.errors);
        EditWithFailingBlocks(probe);
        probe.edit.Restore();
        if (probe.created)
            jpeg_destroy_decompress(&probe.info);
        if (rebuild) {
            EXPECT_EQ(probe.outcome, FailingEditProbe::Outcome::kRefusedThenRaised);
            EXPECT_EQ(FatalMessage(probe.errors, probe.errors), "Bogus virtual array access");
        } else {  // no thumbnail to draw: the arrays are never read
            EXPECT_EQ(probe.outcome, FailingEditProbe::Outcome::kApplied);
        }
    }
}

}  // namespace
