#include "engine/DrawingUtils.h"

#include <QPainter>

#include <algorithm>

QColor ToQColor(ColorRef color) {
    return QColor(static_cast<int>(color & 0xFF), static_cast<int>((color >> 8) & 0xFF),
                  static_cast<int>((color >> 16) & 0xFF));
}

void DrawFrame(QPainter& painter, const PixelRect& rect, int thickness, ColorRef color) {
    const int l = rect.left;
    const int t = rect.top;
    const int r = rect.right;
    const int b = rect.bottom;
    const int k = thickness;
    if (color != kNoColor) {
        const QColor fill = ToQColor(color);
        painter.fillRect(QRect(l, t, k, b - t), fill);
        painter.fillRect(QRect(r - k, t, k, b - t), fill);
        painter.fillRect(QRect(l, t, r - l, k), fill);
        painter.fillRect(QRect(l, b - k, r - l, k), fill);
        return;
    }
    // Four strips cut so that no pixel is inverted twice.
    const QPainter::CompositionMode previous = painter.compositionMode();
    painter.setCompositionMode(QPainter::RasterOp_NotDestination);
    const QRect strips[] = {QRect(l, t, r - l - k, k), QRect(l, t + k, k, b - t - 2 * k),
                            QRect(l, b - k, r - l, k), QRect(r - k, t, k, b - t - k)};
    for (const QRect& strip : strips) {
        if (strip.width() > 0 && strip.height() > 0)
            painter.fillRect(strip, Qt::black);
    }
    painter.setCompositionMode(previous);
}

int CreateMemoryCanvas(std::unique_ptr<QImage>& canvas, int width, int height,
                       ColorRef background) {
    canvas.reset();
    if (width <= 0 || height <= 0)
        return 0;
    auto image = std::make_unique<QImage>(width, height, QImage::Format_RGB32);
    if (image->isNull())
        return 0;
    if (background != kNoColor)
        image->fill(ToQColor(background));
    canvas = std::move(image);
    return 1;
}

void InvertDottedOutline(QImage& image) {
    const int w = image.width();
    const int h = image.height();
    const auto invert = [&image](int x, int y) {
        if ((x + y) % 2 != 0)
            return;
        QRgb* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        line[x] = qRgb(255 - qRed(line[x]), 255 - qGreen(line[x]), 255 - qBlue(line[x]));
    };
    for (int x = 0; x < w; ++x) {
        invert(x, 0);
        if (h > 1)
            invert(x, h - 1);
    }
    for (int y = 1; y + 1 < h; ++y) {
        invert(0, y);
        if (w > 1)
            invert(w - 1, y);
    }
}
