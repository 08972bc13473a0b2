#include "engine/CoefficientPicture.h"

#include "engine/JpegErrors.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One component's samples at `scale` pixels per block edge.
struct Plane {
    int width = 0;
    int height = 0;
    std::vector<float> samples;
};

// Orthonormal inverse DCT basis for `scale` points from the lowest `scale`
// frequencies: basis[x * scale + u].
std::vector<float> Basis(int scale) {
    std::vector<float> basis(static_cast<std::size_t>(scale * scale));
    for (int x = 0; x < scale; ++x) {
        for (int u = 0; u < scale; ++u) {
            const double alpha = u == 0 ? std::sqrt(1.0 / scale) : std::sqrt(2.0 / scale);
            basis[static_cast<std::size_t>(x * scale + u)] =
                static_cast<float>(alpha * std::cos((2 * x + 1) * u * M_PI / (2.0 * scale)));
        }
    }
    return basis;
}

// Reduces one dequantized 8 x 8 block to kScale x kScale samples (a fixed
// size, so the compiler unrolls the little products).
template <int kScale>
void ReduceBlockTo(const JCOEF* block, const UINT16* quant, const float* basis, float* out,
                   int outStride) {
    constexpr float kGain = static_cast<float>(kScale) / DCTSIZE;
    float coefficients[kScale][kScale];
    for (int v = 0; v < kScale; ++v) {
        for (int u = 0; u < kScale; ++u) {
            coefficients[v][u] = kGain * block[v * DCTSIZE + u] * quant[v * DCTSIZE + u];
        }
    }
    // Rows first, then columns: the separable inverse transform.
    float rows[kScale][kScale];
    for (int v = 0; v < kScale; ++v) {
        for (int x = 0; x < kScale; ++x) {
            float sum = 0.0F;
            for (int u = 0; u < kScale; ++u)
                sum += basis[x * kScale + u] * coefficients[v][u];
            rows[v][x] = sum;
        }
    }
    for (int y = 0; y < kScale; ++y) {
        for (int x = 0; x < kScale; ++x) {
            float sum = 0.0F;
            for (int v = 0; v < kScale; ++v)
                sum += basis[y * kScale + v] * rows[v][x];
            out[y * outStride + x] = sum + 128.0F;
        }
    }
}

void ReduceBlock(const JCOEF* block, const UINT16* quant, int scale,
                 const std::vector<float>& basis, float* out, int outStride) {
    switch (scale) {
        case 1:  // the block's mean: its DC term
            out[0] = static_cast<float>(block[0] * quant[0]) / DCTSIZE + 128.0F;
            return;
        case 2:
            ReduceBlockTo<2>(block, quant, basis.data(), out, outStride);
            return;
        case 4:
            ReduceBlockTo<4>(block, quant, basis.data(), out, outStride);
            return;
        default:
            ReduceBlockTo<8>(block, quant, basis.data(), out, outStride);
            return;
    }
}

// One row of a component's blocks, fetched under CallGuarded: the caller
// holds vectors, so a failing access must not long-jump across it.
struct RowAccess {
    j_decompress_ptr source;
    jvirt_barray_ptr array;
    JDIMENSION row;
    JBLOCKARRAY line;
};

void AccessRow(void* context) {
    auto* access = static_cast<RowAccess*>(context);
    access->line = (*access->source->mem->access_virt_barray)(
        reinterpret_cast<j_common_ptr>(access->source), access->array, access->row, 1, FALSE);
}

// Fills `plane`; false when libjpeg failed to give a row of blocks.
bool ComponentPlane(j_decompress_ptr source, jvirt_barray_ptr array, int ci,
                    const TransformOptions& options, int scale, const std::vector<float>& basis,
                    Plane& plane) {
    const jpeg_component_info& component = source->comp_info[ci];
    const bool single = options.componentCount == 1;
    const int hSamp = single ? 1 : component.h_samp_factor;
    const int vSamp = single ? 1 : component.v_samp_factor;
    const auto blocksWide = static_cast<int>(
        jdiv_round_up(static_cast<long>(options.outputWidth) * hSamp, options.ImcuWidth()));
    const auto blocksHigh = static_cast<int>(
        jdiv_round_up(static_cast<long>(options.outputHeight) * vSamp, options.ImcuHeight()));
    const JDIMENSION firstColumn = options.xCropOffset * static_cast<JDIMENSION>(hSamp);
    const JDIMENSION firstRow = options.yCropOffset * static_cast<JDIMENSION>(vSamp);
    plane.width = blocksWide * scale;
    plane.height = blocksHigh * scale;
    plane.samples.assign(static_cast<std::size_t>(plane.width) * plane.height, 128.0F);
    const JQUANT_TBL* table = component.quant_table;
    if (table == nullptr)
        return true;
    auto* common = reinterpret_cast<j_common_ptr>(source);
    for (int row = 0; row < blocksHigh; ++row) {
        RowAccess access{source, array, firstRow + static_cast<JDIMENSION>(row), nullptr};
        if (!CallGuarded(common, AccessRow, &access))
            return false;
        for (int column = 0; column < blocksWide; ++column) {
            float* out = plane.samples.data() +
                         static_cast<std::size_t>(row * scale) * plane.width + column * scale;
            ReduceBlock(access.line[0][firstColumn + static_cast<JDIMENSION>(column)],
                        table->quantval, scale, basis, out, plane.width);
        }
    }
    return true;
}

uchar Clamp(float value) {
    return static_cast<uchar>(std::clamp(value + 0.5F, 0.0F, 255.0F));
}

}  // namespace

std::optional<RgbPicture> PictureFromCoefficients(j_decompress_ptr source, jvirt_barray_ptr* arrays,
                                                  const TransformOptions& options,
                                                  int minLongestSide) {
    const J_COLOR_SPACE space = source->jpeg_color_space;
    const int components = source->num_components;
    const bool supported = (space == JCS_GRAYSCALE && components == 1) ||
                           ((space == JCS_YCbCr || space == JCS_RGB) && components == 3);
    if (!supported)
        return RgbPicture();
    const int longest = static_cast<int>(std::max(options.outputWidth, options.outputHeight));
    int scale = 1;
    while (scale < DCTSIZE && longest * scale / DCTSIZE < minLongestSide)
        scale *= 2;
    const std::vector<float> basis = Basis(scale);
    std::vector<Plane> planes(static_cast<std::size_t>(components));
    for (int ci = 0; ci < components; ++ci) {
        if (!ComponentPlane(source, arrays[ci], ci, options, scale, basis,
                            planes[static_cast<std::size_t>(ci)])) {
            return std::nullopt;
        }
    }
    const int width = static_cast<int>((options.outputWidth * scale + DCTSIZE - 1) / DCTSIZE);
    const int height = static_cast<int>((options.outputHeight * scale + DCTSIZE - 1) / DCTSIZE);
    RgbPicture picture(width, height);
    if (picture.IsNull())
        return RgbPicture();
    // Where each output pixel reads each component's plane.
    std::vector<std::vector<int>> columns(static_cast<std::size_t>(components));
    std::vector<std::vector<int>> rows(static_cast<std::size_t>(components));
    for (int ci = 0; ci < components; ++ci) {
        const jpeg_component_info& c = source->comp_info[ci];
        const int h = components == 1 ? 1 : c.h_samp_factor;
        const int v = components == 1 ? 1 : c.v_samp_factor;
        const Plane& plane = planes[static_cast<std::size_t>(ci)];
        for (int x = 0; x < width; ++x) {
            columns[static_cast<std::size_t>(ci)].push_back(
                std::min(x * h / options.maxHSamp, plane.width - 1));
        }
        for (int y = 0; y < height; ++y) {
            rows[static_cast<std::size_t>(ci)].push_back(
                std::min(y * v / options.maxVSamp, plane.height - 1));
        }
    }
    for (int y = 0; y < height; ++y) {
        uchar* out = picture.Row(y);
        const float* line[3] = {};
        const int* column[3] = {};
        for (int ci = 0; ci < components; ++ci) {
            const auto c = static_cast<std::size_t>(ci);
            line[ci] = planes[c].samples.data() +
                       static_cast<std::size_t>(rows[c][static_cast<std::size_t>(y)]) *
                           static_cast<std::size_t>(planes[c].width);
            column[ci] = columns[c].data();
        }
        if (components == 1) {
            for (int x = 0; x < width; ++x, out += 3)
                out[0] = out[1] = out[2] = Clamp(line[0][column[0][x]]);
        } else if (space == JCS_RGB) {
            for (int x = 0; x < width; ++x, out += 3) {
                for (int c = 0; c < 3; ++c)
                    out[c] = Clamp(line[c][column[c][x]]);
            }
        } else {
            for (int x = 0; x < width; ++x, out += 3) {
                const float luma = line[0][column[0][x]];
                const float cb = line[1][column[1][x]] - 128.0F;
                const float cr = line[2][column[2][x]] - 128.0F;
                out[0] = Clamp(luma + 1.402F * cr);
                out[1] = Clamp(luma - 0.344136F * cb - 0.714136F * cr);
                out[2] = Clamp(luma + 1.772F * cb);
            }
        }
    }
    return picture;
}
