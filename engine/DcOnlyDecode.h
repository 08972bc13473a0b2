#pragma once

// A progressive JPEG decoded at 1/8 scale needs only each block's DC term,
// and the DC scans come first in a progressive file. This reads the file in
// libjpeg's buffered-image mode up to its first AC scan and keeps the
// coefficients in a store of DC terms (2 bytes a block instead of 128), so
// both the time and the memory of a thumbnail stay far below a full decode.

#include "engine/JpegLib.h"

#include <vector>

struct DcOnlyArray;

struct DcOnlyStore {
    std::vector<DcOnlyArray*> arrays;  // one per component, in component order
};

// After jpeg_read_header, before jpeg_start_decompress: switches `info` to
// buffered-image mode without block smoothing and routes its coefficient
// buffers to `store`, which must outlive the decode.
void UseDcOnlyStore(j_decompress_ptr info, DcOnlyStore& store);

// After jpeg_start_decompress: reads scans until the first AC scan (or the
// end of the data) and starts the output pass over the DC terms read. False,
// with nothing started, when an AC scan comes before some component's first
// DC scan; the caller then decodes the whole file another way.
bool StartDcOnlyOutput(j_decompress_ptr info, DcOnlyStore& store);
