#pragma once

// A GDI-style rectangle: right and bottom exclusive.
struct PixelRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool IsEmpty() const { return right <= left || bottom <= top; }
    // left <= x < right and top <= y < bottom.
    bool Contains(int x, int y) const { return left <= x && x < right && top <= y && y < bottom; }
    friend bool operator==(const PixelRect&, const PixelRect&) = default;
};
