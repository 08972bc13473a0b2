#pragma once

#include "engine/RgbPicture.h"
#include "engine/TransformSupport.h"

#include <optional>

// A small RGB picture of a lossless crop's written region, computed straight
// from the source's coefficients: each block gives 1, 2, 4 or 8 pixels each
// way (the smallest that reaches `minLongestSide`) through a reduced inverse
// DCT of its lowest frequencies. Nothing is entropy-decoded again. A null
// picture for colour spaces other than grayscale, YCbCr and RGB.
//
// `source` must report to a CropErrorManager (JpegErrors.h). A libjpeg error
// while reading the blocks does not long-jump out of here: the result is
// empty (no picture at all) and the message stays in that manager, for the
// caller to raise again once its own objects are gone.
std::optional<RgbPicture> PictureFromCoefficients(j_decompress_ptr source, jvirt_barray_ptr* arrays,
                                                  const TransformOptions& options,
                                                  int minLongestSide);
