#include "engine/TransformSupport.h"

#include <algorithm>
#include <cstring>

namespace {

constexpr unsigned int kMarkerLengthLimit = 0xFFFF;

bool HasPrefix(const jpeg_marker_struct* marker, int code, const char* prefix,
               unsigned int prefixLength) {
    return marker->marker == code && marker->data_length >= prefixLength &&
           std::memcmp(marker->data, prefix, prefixLength) == 0;
}

bool IsJfifMarker(const jpeg_marker_struct* marker) {
    return HasPrefix(marker, JPEG_APP0, "JFIF\0", 5);
}

bool IsAdobeMarker(const jpeg_marker_struct* marker) {
    return HasPrefix(marker, JPEG_APP0 + 14, "Adobe", 5);
}

// Reads and writes TIFF integers in the byte order its header names.
class TiffData {
  public:
    TiffData(JOCTET* data, bool bigEndian) : data_(data), bigEndian_(bigEndian) {}

    unsigned int Get16(long offset) const {
        const unsigned int a = data_[offset];
        const unsigned int b = data_[offset + 1];
        return bigEndian_ ? (a << 8) | b : (b << 8) | a;
    }
    unsigned long Get32(long offset) const {
        const unsigned long high = Get16(offset + (bigEndian_ ? 0 : 2));
        const unsigned long low = Get16(offset + (bigEndian_ ? 2 : 0));
        return (high << 16) | low;
    }
    void Put16(long offset, unsigned int value) {
        const auto high = static_cast<JOCTET>((value >> 8) & 0xFF);
        const auto low = static_cast<JOCTET>(value & 0xFF);
        data_[offset] = bigEndian_ ? high : low;
        data_[offset + 1] = bigEndian_ ? low : high;
    }
    void Put32(long offset, unsigned long value) {
        Put16(offset + (bigEndian_ ? 0 : 2), static_cast<unsigned int>(value >> 16));
        Put16(offset + (bigEndian_ ? 2 : 0), static_cast<unsigned int>(value & 0xFFFF));
    }

  private:
    JOCTET* data_;
    bool bigEndian_;
};

constexpr unsigned int kTagExifIfd = 0x8769;
constexpr unsigned int kTagPixelXDimension = 0xA002;
constexpr unsigned int kTagPixelYDimension = 0xA003;
constexpr unsigned int kTypeLong = 4;

// Offset of the Exif IFD, or -1.
long FindExifIfd(const TiffData& tiff, long length) {
    const unsigned long ifd0 = tiff.Get32(4);
    if ((ifd0 & 0xFFFF0000UL) != 0)
        return -1;
    long p = static_cast<long>(ifd0);
    if (p > length - 2)
        return -1;
    unsigned int entries = tiff.Get16(p);
    if (entries == 0)
        return -1;
    for (p += 2; p <= length - 12; p += 12) {
        if (tiff.Get16(p) == kTagExifIfd) {
            const unsigned long exifIfd = tiff.Get32(p + 8);
            if ((exifIfd & 0xFFFF0000UL) != 0)
                return -1;
            return static_cast<long>(exifIfd);
        }
        if (--entries == 0)
            return -1;
    }
    return -1;
}

}  // namespace

bool IsExifMarker(const jpeg_marker_struct* marker) {
    return HasPrefix(marker, JPEG_APP0 + 1, "Exif\0\0", 6);
}

void SetupMarkerCopy(j_decompress_ptr source) {
    jpeg_save_markers(source, JPEG_COM, kMarkerLengthLimit);
    for (int n = 0; n < 16; ++n)
        jpeg_save_markers(source, JPEG_APP0 + n, kMarkerLengthLimit);
}

bool IsValidCropRequest(JDIMENSION imageWidth, JDIMENSION imageHeight, JDIMENSION x, JDIMENSION y,
                        JDIMENSION width, JDIMENSION height) {
    return !(x >= imageWidth || y >= imageHeight || width == 0 || width > imageWidth ||
             height == 0 || height > imageHeight || x > imageWidth - width ||
             y > imageHeight - height);
}

void ComputeCropGeometry(j_decompress_ptr source, TransformOptions& options) {
    options.componentCount = source->num_components;
    options.maxHSamp = 1;
    options.maxVSamp = 1;
    if (options.componentCount > 1) {
        for (int ci = 0; ci < source->num_components; ++ci) {
            options.maxHSamp = std::max(options.maxHSamp, source->comp_info[ci].h_samp_factor);
            options.maxVSamp = std::max(options.maxVSamp, source->comp_info[ci].v_samp_factor);
        }
    }
    options.workspace = nullptr;
    const auto imcuWidth = static_cast<JDIMENSION>(options.ImcuWidth());
    const auto imcuHeight = static_cast<JDIMENSION>(options.ImcuHeight());
    options.outputWidth = options.cropWidth + options.cropX % imcuWidth;
    options.outputHeight = options.cropHeight + options.cropY % imcuHeight;
    options.xCropOffset = options.cropX / imcuWidth;
    options.yCropOffset = options.cropY / imcuHeight;
}

void RequestWorkspaceArrays(j_common_ptr owner, j_decompress_ptr source,
                            TransformOptions& options) {
    options.workspace = nullptr;
    if (options.xCropOffset == 0 && options.yCropOffset == 0)
        return;
    auto* arrays = static_cast<jvirt_barray_ptr*>((*owner->mem->alloc_small)(
        owner, JPOOL_IMAGE,
        sizeof(jvirt_barray_ptr) * static_cast<std::size_t>(options.componentCount)));
    const auto widthInImcus =
        static_cast<JDIMENSION>(jdiv_round_up(options.outputWidth, options.ImcuWidth()));
    const auto heightInImcus =
        static_cast<JDIMENSION>(jdiv_round_up(options.outputHeight, options.ImcuHeight()));
    const bool single = options.componentCount == 1;
    for (int ci = 0; ci < options.componentCount; ++ci) {
        const int hSamp = single ? 1 : source->comp_info[ci].h_samp_factor;
        const int vSamp = single ? 1 : source->comp_info[ci].v_samp_factor;
        arrays[ci] = (*owner->mem->request_virt_barray)(
            owner, JPOOL_IMAGE, FALSE, widthInImcus * static_cast<JDIMENSION>(hSamp),
            heightInImcus * static_cast<JDIMENSION>(vSamp), static_cast<JDIMENSION>(vSamp));
    }
    options.workspace = arrays;
}

jvirt_barray_ptr* AdjustParameters(j_decompress_ptr source, j_compress_ptr destination,
                                   jvirt_barray_ptr* sourceArrays, TransformOptions& options) {
    if (options.componentCount == 1) {
        destination->comp_info[0].h_samp_factor = 1;
        destination->comp_info[0].v_samp_factor = 1;
    }
    destination->image_width = options.outputWidth;
    destination->image_height = options.outputHeight;

    jpeg_marker_struct* first = source->marker_list;
    if (first != nullptr && IsExifMarker(first)) {
        destination->write_JFIF_header = FALSE;
        if (destination->image_width != source->image_width ||
            destination->image_height != source->image_height) {
            AdjustExifDimensions(first->data + 6, first->data_length - 6, options.outputWidth,
                                 options.outputHeight);
        }
    }
    return options.workspace != nullptr ? options.workspace : sourceArrays;
}

void ExecuteMarkerCopy(j_decompress_ptr source, j_compress_ptr destination) {
    for (jpeg_marker_struct* marker = source->marker_list; marker != nullptr;
         marker = marker->next) {
        if (destination->write_JFIF_header && IsJfifMarker(marker))
            continue;
        if (destination->write_Adobe_marker && IsAdobeMarker(marker))
            continue;
        jpeg_write_marker(destination, marker->marker, marker->data, marker->data_length);
    }
}

void ExecuteTransform(j_decompress_ptr source, j_compress_ptr destination,
                      jvirt_barray_ptr* sourceArrays, const TransformOptions& options) {
    if (options.workspace == nullptr)
        return;
    auto* common = reinterpret_cast<j_common_ptr>(source);
    for (int ci = 0; ci < destination->num_components; ++ci) {
        const jpeg_component_info& component = destination->comp_info[ci];
        const auto hSamp = static_cast<JDIMENSION>(component.h_samp_factor);
        const auto vSamp = static_cast<JDIMENSION>(component.v_samp_factor);
        const JDIMENSION xCropBlocks = options.xCropOffset * hSamp;
        const JDIMENSION yCropBlocks = options.yCropOffset * vSamp;
        for (JDIMENSION row = 0; row < component.height_in_blocks; row += vSamp) {
            JBLOCKARRAY target =
                (*source->mem->access_virt_barray)(common, options.workspace[ci], row, vSamp, TRUE);
            JBLOCKARRAY origin = (*source->mem->access_virt_barray)(
                common, sourceArrays[ci], row + yCropBlocks, vSamp, FALSE);
            for (JDIMENSION offset = 0; offset < vSamp; ++offset) {
                jcopy_block_row(origin[offset] + xCropBlocks, target[offset],
                                component.width_in_blocks);
            }
        }
    }
}

void AdjustExifDimensions(JOCTET* data, unsigned int length, JDIMENSION newWidth,
                          JDIMENSION newHeight) {
    if (length < 12)
        return;
    bool bigEndian = false;
    if (data[0] == 0x49 && data[1] == 0x49) {
        bigEndian = false;
    } else if (data[0] == 0x4D && data[1] == 0x4D) {
        bigEndian = true;
    } else {
        return;
    }
    TiffData tiff(data, bigEndian);
    if (tiff.Get16(2) != 0x002A)
        return;

    const long size = length;
    long q = FindExifIfd(tiff, size);
    if (q < 0 || q > size - 2)
        return;
    const unsigned int entries = tiff.Get16(q);
    if (entries < 2)
        return;
    q += 2;
    for (unsigned int n = 0; n < entries; ++n, q += 12) {
        if (q > size - 12)
            return;
        const unsigned int tag = tiff.Get16(q);
        if (tag != kTagPixelXDimension && tag != kTagPixelYDimension)
            continue;
        const JDIMENSION value = tag == kTagPixelXDimension ? newWidth : newHeight;
        tiff.Put16(q + 2, kTypeLong);
        tiff.Put32(q + 4, 1);
        tiff.Put32(q + 8, value & 0xFFFFU);
    }
}
