#pragma once

// libjpeg's headers with the C linkage they lack, in the order they need.
#include <cstddef>
#include <cstdio>

extern "C" {
#include <jpeglib.h>
#include <jerror.h>
#include <jpegint.h>
}
