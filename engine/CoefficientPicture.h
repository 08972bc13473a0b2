#pragma once

#include "engine/RgbPicture.h"
#include "engine/TransformSupport.h"

// A small RGB picture of a lossless crop's written region, computed straight
// from the source's coefficients: each block gives 1, 2, 4 or 8 pixels each
// way (the smallest that reaches `minLongestSide`) through a reduced inverse
// DCT of its lowest frequencies. Nothing is entropy-decoded again. Null for
// colour spaces other than grayscale, YCbCr and RGB.
RgbPicture PictureFromCoefficients(j_decompress_ptr source, jvirt_barray_ptr* arrays,
                                   const TransformOptions& options, int minLongestSide);
