#pragma once

// Edits of an Exif block's TIFF structure (the APP1 data after "Exif\0\0")
// that a crop needs: the image size in IFD0, and the embedded JPEG thumbnail
// of IFD1. Every function checks each offset it follows and leaves data it
// cannot follow untouched.

#include <QByteArray>
#include <QSize>

struct ExifThumbnailPlace {
    qsizetype offset = 0;  // of the thumbnail's bytes in the TIFF data
    qsizetype length = 0;
    qsizetype offsetEntry = 0;  // of the 0x0201 entry
    qsizetype lengthEntry = 0;  // of the 0x0202 entry
    qsizetype ifd1Link = 0;     // of IFD0's next-IFD field that points to IFD1
};

// Where IFD1's JPEG thumbnail lies; false when there is none or the
// structure cannot be followed safely.
bool FindExifThumbnail(const QByteArray& tiff, ExifThumbnailPlace& place);

// Rewrites IFD0's ImageWidth / ImageLength (0x0100 / 0x0101) when present, in
// the type they have (SHORT or LONG). False when the structure is malformed.
bool RewriteIfd0Dimensions(QByteArray& tiff, quint32 width, quint32 height);

// Puts `thumbnail` in place of the old one: the old bytes are cleared (or
// cut off when they end the block), the new ones appended and the offset and
// length entries updated. When the TIFF data would pass `maxSize`, the
// thumbnail is dropped instead and IFD1 unlinked. An empty `thumbnail` drops
// it too. Returns false (data untouched) when there is no thumbnail.
bool ReplaceExifThumbnail(QByteArray& tiff, const QByteArray& thumbnail, qsizetype maxSize);

// The pixel size a JPEG stream's frame header gives (invalid when none).
QSize JpegStreamSize(const QByteArray& jpeg);
