#pragma once

// libjpeg's headers with the C linkage they lack, in the order they need.
#include <cstddef>
#include <cstdio>

// jpeglib.h first: the other two use its types.
extern "C" {
#include <jpeglib.h>

#include <jerror.h>
#include <jpegint.h>
}
