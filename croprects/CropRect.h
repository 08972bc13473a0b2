#pragma once

#include "platform/ColorRef.h"
#include "platform/PixelRect.h"

#include <QString>

#include <cstdint>
#include <functional>

// A value within a millionth of a whole number is that number. Unit
// conversions leave such dust (4000 x 59.599999999999994 / 100 is
// 2383.9999999999995, not 2384), and an edge must be cut where its text
// says it lies.
inline constexpr double kWholeTolerance = 1e-6;
double WholeIfNear(double value);

// One crop rectangle, in image pixels or in percent of the image's width
// (left, right) and height (top, bottom).
class CCropRect {
  public:
    // Pixel rectangle (0, 0)-(0, 0) with a random, strongly saturated colour.
    CCropRect();

    int isPixel = 1;
    double left = 0.0;
    double top = 0.0;
    double right = 0.0;
    double bottom = 0.0;
    ColorRef color = 0;

    // True when empty at a resolution of 1/100 of a unit.
    bool IsInvalid() const;
    // Pixel bounds on a width x height image, clipped; (0, 0, 0, 0) when
    // nothing of the rectangle lies on the image. Pixel edges are truncated
    // and percent edges rounded, each after WholeIfNear.
    PixelRect Resolve(int width, int height) const;
    // "(l pixel, t pixel)-(r pixel, b pixel)" or "(l %, t %)-(r %, b %)".
    QString Format() const;

    // The frame colour for one draw in 0..32767, or -1 when the draw falls in
    // the dull middle band and has to be drawn again.
    static std::int64_t ColorFromDraw(int draw);
    // The source of draws (0..32767); the default is seeded once from the clock.
    using DrawSource = std::function<int()>;
    static void SetDrawSource(DrawSource source);
};
