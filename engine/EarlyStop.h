#pragma once

// Lets a lossless crop stop reading a sequential file once every iMCU row
// its rectangles use has been decoded: the source then reports the end of
// the data, and libjpeg fills the unused rows below with empty blocks instead
// of decoding them. Only a single interleaved scan allows this; for other
// files Install does nothing.

#include "engine/JpegErrors.h"

struct EarlyStop {
    boolean (*innerFill)(j_decompress_ptr) = nullptr;
    JDIMENSION stopAtRow = 0;
    bool ended = false;
    long warningsBefore = 0;
    bool firstWarningBefore = false;
};

// After jpeg_read_header: stop once the rows above pixel row `bottom` are in.
// `state` must live as long as the decompression object.
void InstallEarlyStop(j_decompress_ptr info, EarlyStop& state, JDIMENSION bottom);

// After jpeg_read_coefficients: forgets the warnings the early end caused.
void SettleEarlyStop(const EarlyStop& state, CropErrorManager& errors);
