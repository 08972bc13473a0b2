#include "croprects/CropRect.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <random>

namespace {

constexpr int kDrawMax = 32767;

int DefaultDraw() {
    static std::minstd_rand generator(
        static_cast<unsigned>(std::chrono::steady_clock::now().time_since_epoch().count()));
    return static_cast<int>(generator() % (kDrawMax + 1));
}

CCropRect::DrawSource& CurrentDrawSource() {
    static CCropRect::DrawSource source = DefaultDraw;
    return source;
}

// Truncation that saturates instead of overflowing on absurd coordinates.
int TruncToInt(double value) {
    if (std::isnan(value))
        return 0;
    const double clamped = std::clamp(std::trunc(value), -2147483648.0, 2147483647.0);
    return static_cast<int>(clamped);
}

// Rounding of this program: add 0.5 and truncate toward zero.
int RoundHalfUp(double value) {
    return TruncToInt(value + 0.5);
}

std::int64_t Hundredths(double value) {
    if (std::isnan(value))
        return 0;
    const double scaled = std::clamp(std::trunc(100.0 * value + 0.5), -9.0e18, 9.0e18);
    return static_cast<std::int64_t>(scaled);
}

}  // namespace

double WholeIfNear(double value) {
    const double whole = std::round(value);
    return std::abs(value - whole) <= kWholeTolerance ? whole : value;
}

std::int64_t CCropRect::ColorFromDraw(int draw) {
    const int a = draw * 255 / kDrawMax;
    if (std::abs(a - 128) < 64)
        return -1;
    const int b = 255 - a;
    switch (a % 3) {
        case 0:
            return MakeColorRef(a, b, b);
        case 1:
            return MakeColorRef(b, a, b);
        default:
            return MakeColorRef(b, b, a);
    }
}

void CCropRect::SetDrawSource(DrawSource source) {
    CurrentDrawSource() = source ? std::move(source) : DrawSource(DefaultDraw);
}

CCropRect::CCropRect() {
    std::int64_t picked = -1;
    while (picked < 0)
        picked = ColorFromDraw(CurrentDrawSource()() & kDrawMax);
    color = static_cast<ColorRef>(picked);
}

bool CCropRect::IsInvalid() const {
    return Hundredths(right) <= Hundredths(left) || Hundredths(bottom) <= Hundredths(top);
}

PixelRect CCropRect::Resolve(int width, int height) const {
    PixelRect r;
    if (isPixel != 0) {
        r = {TruncToInt(WholeIfNear(left)), TruncToInt(WholeIfNear(top)),
             TruncToInt(WholeIfNear(right)), TruncToInt(WholeIfNear(bottom))};
    } else {
        const auto scale = [](int size, double percent) {
            return TruncToInt(WholeIfNear(static_cast<double>(size) * percent / 100.0 + 0.5));
        };
        r = {scale(width, left), scale(height, top), scale(width, right), scale(height, bottom)};
    }
    const PixelRect clipped{std::max(r.left, 0), std::max(r.top, 0), std::min(r.right, width),
                            std::min(r.bottom, height)};
    return clipped.IsEmpty() ? PixelRect{} : clipped;
}

QString CCropRect::Format() const {
    QString text;
    if (isPixel != 0) {
        text = QString::asprintf("(%d pixel, %d pixel)-(%d pixel, %d pixel)",
                                 RoundHalfUp(WholeIfNear(left)), RoundHalfUp(WholeIfNear(top)),
                                 RoundHalfUp(WholeIfNear(right)), RoundHalfUp(WholeIfNear(bottom)));
    } else {
        text = QString::asprintf("(%.2f %%, %.2f %%)-(%.2f %%, %.2f %%)", left, top, right, bottom);
    }
    return text.left(127);
}
