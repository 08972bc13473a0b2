#include "images/HelpWnd.h"

#include "engine/DrawingUtils.h"
#include "platform/StringTable.h"
#include "platform/TextLayout.h"

#include <QApplication>
#include <QDropEvent>
#include <QEvent>
#include <QMimeData>
#include <QPainter>

#include <algorithm>
#include <cmath>

std::unique_ptr<QImage> DrawHintCard(const QString& text, QSize size) {
    std::unique_ptr<QImage> canvas;
    if (CreateMemoryCanvas(canvas, size.width(), size.height(), kHintCardColor) == 0) {
        return nullptr;
    }
    const TextBlock block =
        LayoutText(text, ProgramFont(kHintFontHeight), size.width() - 2 * kHintTextMargin);
    QPainter painter(canvas.get());
    DrawTextBlock(painter, block,
                  QPoint((size.width() - block.width) / 2, (size.height() - block.Height()) / 2),
                  ToQColor(kHintTextColor));
    return canvas;
}

QRegion RoundedRectRegion(int width, int height, int ellipseWidth, int ellipseHeight) {
    if (width <= 0 || height <= 0)
        return {};
    const double rx = std::clamp(ellipseWidth, 0, width) / 2.0;
    const double ry = std::clamp(ellipseHeight, 0, height) / 2.0;
    if (rx <= 0 || ry <= 0)
        return QRegion(0, 0, width, height);
    // How many pixels a row loses at each end: those whose centres lie
    // outside the corner's quarter ellipse.
    const auto inset = [&](int y) {
        const double centreY = y + 0.5;
        double dy = 0;
        if (centreY < ry) {
            dy = (ry - centreY) / ry;
        } else if (centreY > height - ry) {
            dy = (centreY - (height - ry)) / ry;
        } else {
            return 0;
        }
        const double reach = rx * std::sqrt(std::max(0.0, 1.0 - dy * dy));
        return static_cast<int>(std::ceil(rx - reach - 0.5 - 1e-9));
    };
    QRegion region;
    int runStart = 0;
    int runInset = inset(0);
    for (int y = 1; y <= height; ++y) {
        const int current = y < height ? inset(y) : -1;
        if (current == runInset)
            continue;
        if (width - 2 * runInset > 0) {
            region += QRect(runInset, runStart, width - 2 * runInset, y - runStart);
        }
        runStart = y;
        runInset = current;
    }
    return region;
}

CHelpWnd::CHelpWnd(int stringId, QWidget* parent)
    : QWidget(parent, Qt::Tool | Qt::FramelessWindowHint | Qt::WindowDoesNotAcceptFocus |
                          Qt::NoDropShadowWindowHint),
      text_(ResourceString(stringId)),
      lastFocus_(QApplication::focusWidget()) {
    setAttribute(Qt::WA_ShowWithoutActivating);
    // The card paints every pixel itself; nothing erases it first.
    setAttribute(Qt::WA_NoSystemBackground);
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFocusPolicy(Qt::NoFocus);
    connect(qApp, &QApplication::focusChanged, this, &CHelpWnd::GiveFocusBack);
}

void CHelpWnd::GiveFocusBack(QWidget* previous, QWidget* now) {
    if (now != nullptr && (now == this || isAncestorOf(now))) {
        if (previous != nullptr && previous != this && !isAncestorOf(previous)) {
            previous->activateWindow();
            previous->setFocus(Qt::OtherFocusReason);
        } else {
            now->clearFocus();
        }
        return;
    }
    if (now != nullptr)
        lastFocus_ = now;
}

void CHelpWnd::changeEvent(QEvent* event) {
    QWidget::changeEvent(event);
    // Activated after all (a window manager that ignores the hint): the
    // window that had the focus gets it back.
    if (event->type() == QEvent::ActivationChange && isActiveWindow() && lastFocus_ != nullptr &&
        lastFocus_->window() != this) {
        lastFocus_->activateWindow();
        lastFocus_->setFocus(Qt::OtherFocusReason);
    }
}

void CHelpWnd::paintEvent(QPaintEvent*) {
    const std::unique_ptr<QImage> card = DrawHintCard(text_, size());
    if (!card)
        return;
    QPainter painter(this);
    painter.drawImage(0, 0, *card);
}

void CHelpWnd::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    setMask(RoundedRectRegion(width(), height(), kHintCornerEllipse, kHintCornerEllipse));
}

void CHelpWnd::SetTakesDrops(bool takes) {
    setAcceptDrops(takes);
}

// Files are what the window takes anywhere; the card takes the same.
void CHelpWnd::dragEnterEvent(QDragEnterEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CHelpWnd::dragMoveEvent(QDragMoveEvent* event) {
    if (event->mimeData()->hasUrls())
        event->acceptProposedAction();
}

void CHelpWnd::dropEvent(QDropEvent* event) {
    if (!event->mimeData()->hasUrls())
        return;
    event->acceptProposedAction();
    Q_EMIT UrlsDropped(event->mimeData()->urls());
}
