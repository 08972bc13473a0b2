#pragma once

// Helpers shared by the test suites: JPEG files made at test time with
// chosen sampling, colour space, progression, restarts and markers; raw
// decoding for pixel comparisons; external oracle commands.

#include "croprects/CropRect.h"

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <ostream>
#include <vector>

// Readable QString values in test failure messages.
inline void PrintTo(const QString& text, std::ostream* os) {
    *os << '"' << text.toStdString() << '"';
}

namespace testing_support {

struct JpegSpec {
    int width = 64;
    int height = 48;
    int components = 3;  // 1 gray, 3 YCbCr, 4 CMYK
    // Sampling factors per component (only the first `components` count).
    int hSamp[4] = {2, 1, 1, 1};
    int vSamp[4] = {2, 1, 1, 1};
    bool progressive = false;
    // With `progressive`, these scans instead of the library's own script:
    // {first component, component count, Ss, Se, Ah, Al}.
    std::vector<std::array<int, 6>> scans;
    bool arithmetic = false;  // arithmetic coding instead of Huffman
    bool ycck = false;        // with components == 4: stored as YCCK, not CMYK
    int restartRows = 0;
    int quality = 85;
    bool writeJfif = true;  // the library's own JFIF APP0 for gray and YCbCr
    int seed = 1;
    struct Marker {
        int code;
        QByteArray data;
    };
    std::vector<Marker> markers;  // written right after the library's own markers
};

// A layout of that size whose first component is sampled h0 x v0 (the
// others keep 1 x 1).
JpegSpec Spec(int width, int height, int components, int h0, int v0);

// Encodes a deterministic test picture with the given layout.
QByteArray EncodeJpeg(const JpegSpec& spec);

struct DecodedImage {
    bool ok = false;
    int width = 0;
    int height = 0;
    int components = 0;
    std::vector<std::uint8_t> pixels;  // in the file's own colour space
};
DecodedImage DecodeJpeg(const QByteArray& jpeg);
// Decoded to RGB by libjpeg itself, as a Format_RGB888 image.
QImage DecodeJpegImage(const QByteArray& jpeg);

// Every coefficient block of every component, row by row.
struct Coefficients {
    bool ok = false;
    std::vector<int> widthInBlocks;
    std::vector<int> heightInBlocks;
    std::vector<std::vector<short>> components;
};
Coefficients ReadCoefficients(const QByteArray& jpeg);

// The markers of a file in order: code and data (without the length bytes).
std::vector<JpegSpec::Marker> ReadMarkers(const QByteArray& jpeg);

// A pixel crop rectangle (right and bottom exclusive).
CCropRect PixelRectangle(double left, double top, double right, double bottom);

// A hand-built header for a picture of any size, precision and process
// (SOF marker 0xC0..0xCF) followed by a few bytes of scan data: what this
// libjpeg cannot encode (12-bit, lossless) or what no one should.
QByteArray MakeHeaderOnlyJpeg(int width, int height, int sofMarker = 0xC0, int precision = 8);

// A 1 x 1 GIF with one transparent pixel (Qt has no GIF writer).
QByteArray OnePixelGif();

// Byte offsets of every SOS marker of a file, in order.
std::vector<qsizetype> ScanOffsets(const QByteArray& jpeg);

// The file with every restart marker (FFD0..FFD7) taken out of its scans.
QByteArray WithoutRestartMarkers(const QByteArray& jpeg);

// Runs `body` in a forked child and returns the child's peak resident set in
// kilobytes (-1 when it died); the body's result goes to `result`.
long PeakRssOfChildKb(const std::function<int()>& body, int* result = nullptr);

QByteArray ReadBytes(const QString& path);
void WriteBytes(const QString& path, const QByteArray& bytes);
// A baseline test photo of the given size at `path`, its folders made; returns `path`.
QString WritePhoto(const QString& path, int width, int height);

struct CommandResult {
    int exitCode = -1;
    QByteArray out;
    QByteArray err;
};
CommandResult RunCommand(const QString& program, const QStringList& arguments);

// jpegtran -crop WxH+X+Y -copy all, or an empty array when it fails.
QByteArray JpegtranCrop(const QString& source, int width, int height, int x, int y);

// A minimal TIFF structure for an Exif marker with an Exif IFD holding
// PixelXDimension and PixelYDimension (as SHORT), plus `extraEntries` more.
QByteArray MakeExifTiff(bool bigEndian, int width, int height);

// A TIFF structure as cameras write it: IFD0 (ImageWidth SHORT, ImageLength
// LONG when `ifd0Size`, the Exif IFD pointer), an Exif IFD with
// PixelXDimension/PixelYDimension, and IFD1 pointing at `thumbnail`. With
// `trailer` some bytes follow the thumbnail.
QByteArray MakeExifWithThumbnail(bool bigEndian, int width, int height, const QByteArray& thumbnail,
                                 bool ifd0Size = true, const QByteArray& trailer = {});

// Runs `body` in a forked child whose files may grow to `bytes` at most
// (a write past it fails with EFBIG, as on a full disk) and returns its
// result, or -1 when it died.
int RunInChildWithFileSizeLimit(long bytes, const std::function<int()>& body);

// Runs `body` in a forked child as user nobody and returns its result (or -1
// when the child could not drop privileges or died).
int RunInChildAsNobody(const std::function<int()>& body);

// Runs `program` as user nobody (for permission tests while running as root).
CommandResult RunAsNobody(const QString& program, const QStringList& arguments);

}  // namespace testing_support
