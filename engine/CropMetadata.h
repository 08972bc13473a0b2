#pragma once

// What a crop does to the metadata it carries: dimension tags rewritten to
// the size actually written, an embedded Exif thumbnail rebuilt from the crop
// (so no picture of the cut-away parts leaks), the colour profile kept.

#include "engine/JpegCodec.h"
#include "engine/TransformSupport.h"

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <vector>

struct CropMetadataOptions {
    bool rebuildExifThumbnail = true;   // false: the Exif block's thumbnail is copied as it is
    bool keepExifOnRecompress = false;  // re-compressed crops carry no Exif unless asked
};

// The longest side of a rebuilt thumbnail when the old one's is unknown.
constexpr int kDefaultExifThumbnailSide = 160;
// Largest TIFF structure an APP1 marker can hold after "Exif\0\0".
constexpr qsizetype kMaxExifTiffSize = 0xFFFF - 2 - 6;

bool IsXmpMarker(const jpeg_marker_struct* marker);

// Rewrites the dimension tags of an Exif TIFF structure and, when asked and
// a thumbnail is there, replaces it by `thumbnailOf` fitted to the old
// thumbnail's longest side. `thumbnailOf` is called only when needed and
// gets the minimum longest side the picture should have.
QByteArray EditExifTiff(QByteArray tiff, quint32 width, quint32 height, bool rebuildThumbnail,
                        const std::function<RgbPicture(int)>& thumbnailOf);

// Edited copies of a source's Exif and XMP markers for one lossless crop.
// Apply points the source's marker list at the copies (after
// AdjustParameters, before ExecuteMarkerCopy); Restore puts the originals
// back so the next crop from the same source starts clean.
//
// Apply never long-jumps: a libjpeg error while it reads the coefficients for
// the thumbnail makes it return false with the message kept in the source's
// CropErrorManager, and the caller raises it again (RaiseKeptError) from its
// own setjmp frame once Apply's objects are gone.
class LosslessMarkerEdit {
  public:
    [[nodiscard]] bool Apply(j_decompress_ptr source, jvirt_barray_ptr* arrays,
                             const TransformOptions& options, const CropMetadataOptions& metadata);
    void Restore();
    const QStringList& Notes() const { return notes_; }

  private:
    struct Swap {
        jpeg_marker_struct* marker;
        JOCTET* data;
        unsigned int length;
        QByteArray buffer;
    };
    void Replace(jpeg_marker_struct* marker, QByteArray data);

    std::vector<Swap> swaps_;
    QStringList notes_;
};

// The markers a re-compressed crop of `width` x `height` carries from its
// source's APP1/APP2 markers: every ICC profile chunk in order and, when
// asked, the Exif block with true dimensions and a thumbnail of `cut`.
std::vector<JpegMarker> RecompressMarkers(const std::vector<JpegMarker>& source,
                                          const RgbPicture& cut,
                                          const CropMetadataOptions& metadata);
