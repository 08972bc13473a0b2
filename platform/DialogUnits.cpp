#include "platform/DialogUnits.h"

#include <cstdlib>

namespace {

// units * numerator / denominator, rounded half away from zero.
int Scale(int units, int numerator, int denominator) {
    const long long product = static_cast<long long>(units) * numerator;
    const long long rounded = (std::llabs(product) * 2 + denominator) / (2LL * denominator);
    return static_cast<int>(product < 0 ? -rounded : rounded);
}

}  // namespace

int DialogUnitsToPixelsX(int units) {
    return Scale(units, 6, 4);
}

int DialogUnitsToPixelsY(int units) {
    return Scale(units, 13, 8);
}

PixelRect MapDialogRect(const PixelRect& units) {
    return {DialogUnitsToPixelsX(units.left), DialogUnitsToPixelsY(units.top),
            DialogUnitsToPixelsX(units.right), DialogUnitsToPixelsY(units.bottom)};
}

QRect DialogGeometry(int x, int y, int width, int height) {
    const PixelRect pixels = MapDialogRect({x, y, x + width, y + height});
    return {pixels.left, pixels.top, pixels.Width(), pixels.Height()};
}
