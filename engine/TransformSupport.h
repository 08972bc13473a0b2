#pragma once

// Lossless crop on libjpeg's coefficient arrays. The caller drives libjpeg and
// calls these at fixed points of its sequence (see LosslessCrop.cpp). Each
// crop has its own options record; nothing here is shared between calls.

#include "engine/JpegLib.h"

#include <cstdint>

struct TransformOptions {
    // Filled by the caller: the requested rectangle in source pixels.
    JDIMENSION cropX = 0;
    JDIMENSION cropY = 0;
    JDIMENSION cropWidth = 0;
    JDIMENSION cropHeight = 0;

    // Completed by ComputeCropGeometry, the workspace by RequestWorkspaceArrays.
    int componentCount = 0;
    jvirt_barray_ptr* workspace = nullptr;  // owned by the owner's image pool
    JDIMENSION outputWidth = 0;
    JDIMENSION outputHeight = 0;
    JDIMENSION xCropOffset = 0;  // in source iMCUs
    JDIMENSION yCropOffset = 0;
    int maxHSamp = 1;  // iMCU factors: 1 for a single-component image
    int maxVSamp = 1;

    int ImcuWidth() const { return maxHSamp * DCTSIZE; }
    int ImcuHeight() const { return maxVSamp * DCTSIZE; }
};

// Before jpeg_read_header: keep every COM and APPn marker whole.
void SetupMarkerCopy(j_decompress_ptr source);

// True when (x, y, width, height) lies within a width x height image and is
// not empty (unsigned comparisons, no overflow).
bool IsValidCropRequest(JDIMENSION imageWidth, JDIMENSION imageHeight, JDIMENSION x, JDIMENSION y,
                        JDIMENSION width, JDIMENSION height);

// Fills the computed fields of `options` (everything but the workspace) for
// a request already known to be valid.
void ComputeCropGeometry(j_decompress_ptr source, TransformOptions& options);

// Requests the workspace arrays from `owner`'s image pool when the crop does
// not start in the first iMCU row and column; leaves none otherwise. The
// arrays are realized with the owner's other virtual arrays.
void RequestWorkspaceArrays(j_common_ptr owner, j_decompress_ptr source, TransformOptions& options);

// After jpeg_copy_critical_parameters: sets the destination's size and
// sampling, handles a leading Exif marker, and returns the arrays to write.
jvirt_barray_ptr* AdjustParameters(j_decompress_ptr source, j_compress_ptr destination,
                                   jvirt_barray_ptr* sourceArrays, TransformOptions& options);

// After jpeg_write_coefficients: writes the kept source markers in order,
// except a JFIF or Adobe marker that the library has written itself.
void ExecuteMarkerCopy(j_decompress_ptr source, j_compress_ptr destination);

// After jpeg_write_coefficients: copies the cropped blocks into the workspace.
void ExecuteTransform(j_decompress_ptr source, j_compress_ptr destination,
                      jvirt_barray_ptr* sourceArrays, const TransformOptions& options);

// Rewrites PixelXDimension / PixelYDimension in a TIFF structure (the Exif
// marker's data after "Exif\0\0"). Leaves malformed data untouched.
void AdjustExifDimensions(JOCTET* data, unsigned int length, JDIMENSION newWidth,
                          JDIMENSION newHeight);

// True for an APP1 marker whose data starts with "Exif\0\0".
bool IsExifMarker(const jpeg_marker_struct* marker);
