#include "engine/ProgressDlg.h"
#include "platform/ResourceIds.h"

#include "platform/DialogUnits.h"
#include "platform/WindowUtils.h"
#include "platform/WorkArea.h"

#include <QApplication>
#include <QCloseEvent>
#include <QPainter>
#include <QProgressBar>
#include <QScreen>

#include <algorithm>
#include <cmath>

namespace {

// Add 0.5 and truncate toward zero, clamped in floating point first so
// that no step number can overflow the conversion.
int RoundIntoRange(double value, int low, int high) {
    return static_cast<int>(
        std::clamp(std::trunc(value + 0.5), static_cast<double>(low), static_cast<double>(high)));
}

PixelRect ToPixelRect(const QRect& rect) {
    return {rect.left(), rect.top(), rect.left() + rect.width(), rect.top() + rect.height()};
}

QWidget* ParentOrFocusWindow(QWidget* parent) {
    if (parent != nullptr)
        return parent;
    QWidget* focus = QApplication::focusWidget();
    return focus != nullptr ? focus->window() : nullptr;
}

// A step's pump can run queued calls that step the same window again; one
// pump at a time keeps that from nesting.
bool g_pumping = false;

}  // namespace

ProgressScale::ProgressScale(int total) {
    // A total of 0 (a batch without rectangles) leaves the bar empty.
    scale = total != 0 ? 100.0 / total : 0.0;
    low = 0;
    high = RoundIntoRange(static_cast<double>(total) * scale, 0, 100);
}

int ProgressScale::PositionFor(int done) const {
    return RoundIntoRange(static_cast<double>(done) * scale, low, high);
}

PixelRect PlaceProgressWindow(const PixelRect& workArea, const PixelRect& parent, int width,
                              int height) {
    const int left = CenterRect(workArea, width, height).left;
    const int top = parent.top + (parent.Height() - height) / 2;
    return {left, top, left + width, top + height};
}

CProgressDlg::CProgressDlg(QWidget* parent, int total)
    : QDialog(ParentOrFocusWindow(parent),
              Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      scale_(total) {
    // The window it stands over takes no input while it shows; the window
    // keeps painting.
    setWindowModality(Qt::WindowModal);
    const QRect client = DialogGeometry(0, 0, kWidthUnits, kHeightUnits);
    setFixedSize(client.size());

    bar_ = new QProgressBar(this);
    bar_->setObjectName(ControlName(control::kProgressBar));
    bar_->setGeometry(DialogGeometry(5, 3, 156, 12));
    bar_->setTextVisible(false);
    // An empty range would make the bar a busy indicator; an empty bar is
    // what a total of 0 shows.
    bar_->setRange(scale_.low, std::max(scale_.high, scale_.low + 1));
    bar_->setValue(scale_.low);

    QWidget* over = parentWidget();
    const QScreen* screen = over != nullptr ? over->screen() : QGuiApplication::primaryScreen();
    if (screen != nullptr) {
        const PixelRect parentRect =
            over != nullptr ? ToPixelRect(QRect(over->mapToGlobal(QPoint(0, 0)), over->size()))
                            : ToPixelRect(screen->geometry());
        const PixelRect place = PlaceProgressWindow(ToPixelRect(screen->availableGeometry()),
                                                    parentRect, width(), height());
        move(place.left, place.top);
    }

    if (openCount_ == 0) {
        show();
        repaint();
        activateWindow();
    }
    ++openCount_;

    connect(&raiseTimer_, &QTimer::timeout, this, [this] { BringToTop(); });
    raiseTimer_.start(kRaisePeriodMs);
}

CProgressDlg::~CProgressDlg() {
    --openCount_;
    raiseTimer_.stop();
}

int CProgressDlg::Step(int done) {
    position_ = scale_.PositionFor(done);
    bar_->setValue(position_);
    BringToTop();
    if (!g_pumping) {
        g_pumping = true;
        PumpPaintMessages();
        g_pumping = false;
    }
    return 1;
}

void CProgressDlg::BringToTop() {
    // The stop question stands over this window; raising it would hide it.
    if (!requestingStop_)
        raise();
    update();
}

void CProgressDlg::paintEvent(QPaintEvent* event) {
    QDialog::paintEvent(event);
    // The thin border of a window without a frame.
    QPainter painter(this);
    painter.setPen(palette().color(QPalette::Shadow));
    painter.drawRect(rect().adjusted(0, 0, -1, -1));
}

void CProgressDlg::closeEvent(QCloseEvent* event) {
    event->ignore();
    RequestStop();
}

void CProgressDlg::RequestStop() {
    if (!onStopRequest_ || requestingStop_)
        return;
    requestingStop_ = true;
    onStopRequest_();
    requestingStop_ = false;
}
