#include "engine/CoefficientPicture.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// One component's samples at `scale` pixels per block edge.
struct Plane {
    int width = 0;
    int height = 0;
    std::vector<float> samples;
    float At(int x, int y) const {
        return samples[static_cast<std::size_t>(std::min(y, height - 1)) * width +
                       std::min(x, width - 1)];
    }
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

// Reduces one dequantized 8 x 8 block to scale x scale samples.
void ReduceBlock(const JCOEF* block, const UINT16* quant, int scale,
                 const std::vector<float>& basis, float* out, int outStride) {
    const float gain = static_cast<float>(scale) / DCTSIZE;
    float coefficients[DCTSIZE2];
    for (int v = 0; v < scale; ++v) {
        for (int u = 0; u < scale; ++u) {
            coefficients[v * scale + u] = gain * block[v * DCTSIZE + u] * quant[v * DCTSIZE + u];
        }
    }
    for (int y = 0; y < scale; ++y) {
        for (int x = 0; x < scale; ++x) {
            float sum = 0.0F;
            for (int v = 0; v < scale; ++v) {
                for (int u = 0; u < scale; ++u) {
                    sum += basis[static_cast<std::size_t>(y * scale + v)] *
                           basis[static_cast<std::size_t>(x * scale + u)] *
                           coefficients[v * scale + u];
                }
            }
            out[y * outStride + x] = sum + 128.0F;
        }
    }
}

Plane ComponentPlane(j_decompress_ptr source, jvirt_barray_ptr array, int ci,
                     const TransformOptions& options, int scale,
                     const std::vector<float>& basis) {
    const jpeg_component_info& component = source->comp_info[ci];
    const bool single = options.componentCount == 1;
    const int hSamp = single ? 1 : component.h_samp_factor;
    const int vSamp = single ? 1 : component.v_samp_factor;
    const auto blocksWide = static_cast<int>(jdiv_round_up(
        static_cast<long>(options.outputWidth) * hSamp, options.ImcuWidth()));
    const auto blocksHigh = static_cast<int>(jdiv_round_up(
        static_cast<long>(options.outputHeight) * vSamp, options.ImcuHeight()));
    const JDIMENSION firstColumn = options.xCropOffset * static_cast<JDIMENSION>(hSamp);
    const JDIMENSION firstRow = options.yCropOffset * static_cast<JDIMENSION>(vSamp);
    Plane plane;
    plane.width = blocksWide * scale;
    plane.height = blocksHigh * scale;
    plane.samples.assign(static_cast<std::size_t>(plane.width) * plane.height, 128.0F);
    const JQUANT_TBL* table = component.quant_table;
    if (table == nullptr) return plane;
    auto* common = reinterpret_cast<j_common_ptr>(source);
    for (int row = 0; row < blocksHigh; ++row) {
        JBLOCKARRAY line = (*source->mem->access_virt_barray)(
            common, array, firstRow + static_cast<JDIMENSION>(row), 1, FALSE);
        for (int column = 0; column < blocksWide; ++column) {
            float* out = plane.samples.data() +
                         static_cast<std::size_t>(row * scale) * plane.width + column * scale;
            ReduceBlock(line[0][firstColumn + static_cast<JDIMENSION>(column)], table->quantval,
                        scale, basis, out, plane.width);
        }
    }
    return plane;
}

uchar Clamp(float value) { return static_cast<uchar>(std::clamp(value + 0.5F, 0.0F, 255.0F)); }

}  // namespace

QImage PictureFromCoefficients(j_decompress_ptr source, jvirt_barray_ptr* arrays,
                               const TransformOptions& options, int minLongestSide) {
    const J_COLOR_SPACE space = source->jpeg_color_space;
    const int components = source->num_components;
    const bool supported = (space == JCS_GRAYSCALE && components == 1) ||
                           ((space == JCS_YCbCr || space == JCS_RGB) && components == 3);
    if (!supported) return {};
    const int longest = static_cast<int>(std::max(options.outputWidth, options.outputHeight));
    int scale = 1;
    while (scale < DCTSIZE && longest * scale / DCTSIZE < minLongestSide) scale *= 2;
    const std::vector<float> basis = Basis(scale);
    std::vector<Plane> planes;
    for (int ci = 0; ci < components; ++ci) {
        planes.push_back(ComponentPlane(source, arrays[ci], ci, options, scale, basis));
    }
    const int width = static_cast<int>((options.outputWidth * scale + DCTSIZE - 1) / DCTSIZE);
    const int height = static_cast<int>((options.outputHeight * scale + DCTSIZE - 1) / DCTSIZE);
    QImage picture(width, height, QImage::Format_RGB888);
    if (picture.isNull()) return {};
    const int hMax = options.maxHSamp;
    const int vMax = options.maxVSamp;
    for (int y = 0; y < height; ++y) {
        uchar* out = picture.scanLine(y);
        for (int x = 0; x < width; ++x, out += 3) {
            float sample[3];
            for (int ci = 0; ci < components; ++ci) {
                const jpeg_component_info& c = source->comp_info[ci];
                const int h = components == 1 ? 1 : c.h_samp_factor;
                const int v = components == 1 ? 1 : c.v_samp_factor;
                sample[ci] = planes[static_cast<std::size_t>(ci)].At(x * h / hMax, y * v / vMax);
            }
            if (components == 1) {
                out[0] = out[1] = out[2] = Clamp(sample[0]);
            } else if (space == JCS_RGB) {
                for (int c = 0; c < 3; ++c) out[c] = Clamp(sample[c]);
            } else {
                const float cb = sample[1] - 128.0F;
                const float cr = sample[2] - 128.0F;
                out[0] = Clamp(sample[0] + 1.402F * cr);
                out[1] = Clamp(sample[0] - 0.344136F * cb - 0.714136F * cr);
                out[2] = Clamp(sample[0] + 1.772F * cb);
            }
        }
    }
    return picture;
}
