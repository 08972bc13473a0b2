#include "fuzz/FuzzSeeds.h"

#include "croprects/RectFile.h"
#include "engine/JpegLib.h"
#include "fuzz/FuzzTargets.h"
#include "images/ImageListFile.h"
#include "tests/TestSupport.h"

#include <QStringList>

namespace {

using testing_support::EncodeJpeg;
using testing_support::JpegSpec;
using testing_support::MakeExifTiff;

QByteArray ExifMarker(bool bigEndian, int width, int height) {
    return QByteArray("Exif\0\0", 6) + MakeExifTiff(bigEndian, width, height);
}

// A three-component picture whose first component is sampled h0 x v0.
JpegSpec Picture(int width, int height, int h0, int v0) {
    return testing_support::Spec(width, height, 3, h0, v0);
}

// The same file without its Adobe APP14 segment: CMYK then reads as plain,
// not inverted, inks.
QByteArray WithoutAdobeMarker(QByteArray jpeg) {
    qsizetype at = 2;
    while (at + 4 <= jpeg.size() && static_cast<uchar>(jpeg[at]) == 0xFF) {
        const int code = static_cast<uchar>(jpeg[at + 1]);
        const int length =
            (static_cast<uchar>(jpeg[at + 2]) << 8) | static_cast<uchar>(jpeg[at + 3]);
        if (code == JPEG_APP0 + 14)
            return jpeg.remove(at, 2 + length);
        if (code == 0xDA)
            break;
        at += 2 + length;
    }
    return jpeg;
}

// An Exif block whose IFD1 holds a small JPEG thumbnail, as cameras write.
QByteArray ExifWithThumbnail(int width, int height) {
    JpegSpec thumbnail = Picture(16, 12, 2, 2);
    thumbnail.writeJfif = false;
    return QByteArray("Exif\0\0", 6) + testing_support::MakeExifWithThumbnail(
                                           false, width, height, EncodeJpeg(thumbnail), true, {});
}

// Small pictures of every kind users have (every sampling, progressive,
// arithmetic-coded, restart intervals, grayscale, CMYK with and without
// Adobe's inversion, Exif with a thumbnail): a fuzzer mutates quickly what
// it can read quickly, and reaches from each kind the code only it takes.
std::vector<NamedSeed> Pictures() {
    JpegSpec exifLittle = Picture(48, 32, 2, 2);
    exifLittle.writeJfif = false;
    exifLittle.markers = {{JPEG_APP0 + 1, ExifMarker(false, 48, 32)}};

    JpegSpec progressive = Picture(40, 24, 2, 1);
    progressive.progressive = true;
    progressive.writeJfif = false;
    progressive.markers = {{JPEG_APP0 + 1, ExifMarker(true, 40, 24)},
                           {JPEG_COM, QByteArray("a comment")}};

    JpegSpec restarts = Picture(32, 32, 1, 1);
    restarts.restartRows = 1;

    // Wide luma blocks with restarts inside a progression.
    JpegSpec wide = Picture(70, 20, 4, 1);
    wide.progressive = true;
    wide.restartRows = 1;

    JpegSpec thumbnail = Picture(64, 48, 2, 2);
    thumbnail.markers = {{JPEG_APP0 + 1, ExifWithThumbnail(64, 48)}};

    JpegSpec arithmetic = Picture(40, 24, 2, 2);
    arithmetic.arithmetic = true;
    arithmetic.restartRows = 1;

    JpegSpec arithmeticProgressive = Picture(40, 24, 1, 2);
    arithmeticProgressive.arithmetic = true;
    arithmeticProgressive.progressive = true;

    JpegSpec ycck = testing_support::Spec(24, 16, 4, 2, 2);
    ycck.ycck = true;

    const QByteArray cmyk = EncodeJpeg(testing_support::Spec(24, 16, 4, 1, 1));
    return {{QStringLiteral("gray"), EncodeJpeg(testing_support::Spec(40, 24, 1, 2, 2))},
            {QStringLiteral("420-exif-ii"), EncodeJpeg(exifLittle)},
            {QStringLiteral("422-progressive-exif-mm"), EncodeJpeg(progressive)},
            {QStringLiteral("444-restarts"), EncodeJpeg(restarts)},
            {QStringLiteral("440-odd"), EncodeJpeg(Picture(27, 37, 1, 2))},
            {QStringLiteral("411-progressive-restarts"), EncodeJpeg(wide)},
            {QStringLiteral("cmyk"), cmyk},
            {QStringLiteral("420-exif-thumbnail"), EncodeJpeg(thumbnail)},
            {QStringLiteral("422"), EncodeJpeg(Picture(33, 17, 2, 1))},
            {QStringLiteral("411"), EncodeJpeg(Picture(70, 20, 4, 1))},
            {QStringLiteral("420-arithmetic-restarts"), EncodeJpeg(arithmetic)},
            {QStringLiteral("440-arithmetic-progressive"), EncodeJpeg(arithmeticProgressive)},
            {QStringLiteral("cmyk-not-inverted"), WithoutAdobeMarker(cmyk)},
            {QStringLiteral("ycck"), EncodeJpeg(ycck)}};
}

std::vector<std::uint8_t> Bytes(const QByteArray& data) {
    return {data.begin(), data.end()};
}

QByteArray FromBytes(const std::vector<std::uint8_t>& bytes) {
    return {reinterpret_cast<const char*>(bytes.data()), static_cast<qsizetype>(bytes.size())};
}

std::vector<NamedSeed> CropSeeds() {
    // One rectangle on the block grid, one off it, and the several-target
    // form (flag bit 0) with a quality in the upper bits.
    const CropInputHeader headers[] = {{0, 8, 8, 16, 8}, {0x50, 3, 5, 13, 9}, {0x91, 1, 2, 20, 11}};
    std::vector<NamedSeed> seeds;
    for (const auto& [name, picture] : Pictures()) {
        int n = 0;
        for (const CropInputHeader& header : headers) {
            seeds.emplace_back(QStringLiteral("%1-%2").arg(name).arg(n++),
                               FromBytes(MakeCropInput(header, Bytes(picture))));
        }
    }
    return seeds;
}

std::vector<NamedSeed> RectSpecSeeds() {
    const char* specs[] = {"0,0,10,10",     "10%,20%,90%,80%", "100x50+20+37", " 3.5, 4 ,7.25,9 ",
                           "-5,-5,1e3,1e3", "0x0+0+0",         "1%,2,3,4"};
    std::vector<NamedSeed> seeds;
    int n = 0;
    for (const char* spec : specs)
        seeds.emplace_back(QStringLiteral("spec-%1").arg(n++), QByteArray(spec));
    return seeds;
}

std::vector<NamedSeed> RectFileSeeds() {
    CCropRect pixels;
    pixels.color = MakeColorRef(200, 30, 30);
    pixels.left = 10;
    pixels.top = 20;
    pixels.right = 110.5;
    pixels.bottom = 80;
    CCropRect percent;
    percent.isPixel = 0;
    percent.color = MakeColorRef(30, 30, 200);
    percent.left = 12.5;
    percent.top = 0;
    percent.right = 87.5;
    percent.bottom = 100;
    return {{QStringLiteral("one"), SerializeRectRecords({pixels})},
            {QStringLiteral("two"), SerializeRectRecords({pixels, percent})}};
}

std::vector<NamedSeed> ImageListSeeds() {
    return {{QStringLiteral("one"), SerializeImageRecords({QStringLiteral("/photos/a.jpg")})},
            {QStringLiteral("two"),
             SerializeImageRecords({QStringLiteral("/photos/b.JPG"),
                                    QStringLiteral("/fotos/\u00e4rger \u6771\u4eac.jpeg")})}};
}

}  // namespace

std::vector<NamedSeed> MakeFuzzSeeds(const QString& target) {
    if (target == u"lossless_crop" || target == u"recompress_crop")
        return CropSeeds();
    if (target == u"thumbnail")
        return Pictures();
    if (target == u"rect_spec")
        return RectSpecSeeds();
    if (target == u"rect_file")
        return RectFileSeeds();
    if (target == u"image_list")
        return ImageListSeeds();
    return {};
}
