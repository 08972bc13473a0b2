#include "platform/WorkArea.h"

#include <QGuiApplication>
#include <QScreen>

PixelRect CenterRect(const PixelRect& workArea, int width, int height) {
    const int left = workArea.left + (workArea.Width() - width) / 2;
    const int top = workArea.top + (workArea.Height() - height) / 2;
    return {left, top, left + width, top + height};
}

PixelRect CenterInWorkArea(int width, int height) {
    PixelRect work;
    if (const QScreen* screen = QGuiApplication::primaryScreen()) {
        const QRect available = screen->availableGeometry();
        work = {available.left(), available.top(), available.left() + available.width(),
                available.top() + available.height()};
    }
    return CenterRect(work, width, height);
}
