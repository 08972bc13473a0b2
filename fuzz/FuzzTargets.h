#pragma once

// The fuzz targets' bodies. libFuzzer drivers (one small file per target)
// call them with each generated input; the regression suite in tests/ calls
// them with every file of fuzz/regressions/<target>/, so an input that once
// broke something is replayed by every ordinary test run.
//
// A broken promise (a half-written output, an output whose size differs from
// the one reported, a record that does not survive a round trip) aborts with
// a message, which libFuzzer records as a crash like any sanitizer report.

#include <cstddef>
#include <cstdint>
#include <vector>

using FuzzEntry = int (*)(const std::uint8_t* data, std::size_t size);

struct FuzzTarget {
    const char* name;  // also the folder name of its seeds and regressions
    FuzzEntry run;
};

// Lossless crop of a fuzzed file by a fuzzed rectangle: marker copy and the
// Exif dimension rewrite included, one target and several from one source.
int FuzzLosslessCrop(const std::uint8_t* data, std::size_t size);
// Re-compressing crop of a fuzzed file by a fuzzed rectangle.
int FuzzRecompressCrop(const std::uint8_t* data, std::size_t size);
// The thumbnail step of adding an image (DCT-scaled decode, resampling).
int FuzzThumbnail(const std::uint8_t* data, std::size_t size);
// The --rect parser and the rectangle's resolution against image sizes.
int FuzzRectSpec(const std::uint8_t* data, std::size_t size);
// The RECT.DAT reader and writer.
int FuzzRectFile(const std::uint8_t* data, std::size_t size);
// The IMG.DAT reader and writer.
int FuzzImageList(const std::uint8_t* data, std::size_t size);

const std::vector<FuzzTarget>& AllFuzzTargets();

// Crop targets read their rectangle and options from the first bytes of the
// input; the file follows. Seeds are made with this.
struct CropInputHeader {
    std::uint8_t flags = 0;
    std::uint16_t x = 0;
    std::uint16_t y = 0;
    std::uint16_t width = 0;
    std::uint16_t height = 0;
};
constexpr std::size_t kCropInputHeaderSize = 9;
std::vector<std::uint8_t> MakeCropInput(const CropInputHeader& header,
                                        const std::vector<std::uint8_t>& file);
