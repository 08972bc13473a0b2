#pragma once

// The progress window of every long operation: a small borderless strip with
// one bar, topmost. The operation creates it with the number of steps,
// reports the steps done, and destroys it. An operation that can be stopped
// hears of Esc and close requests through SetStopRequest; for the others
// they do nothing.

#include "platform/PixelRect.h"

#include <QDialog>
#include <QTimer>

#include <functional>

class QProgressBar;

// The bar's arithmetic: positions 0..100 for steps 0..total, each rounded by
// adding 0.5 and truncating, clamped into the range. A total of 0 gives an
// empty range (0..0) and every position 0.
struct ProgressScale {
    explicit ProgressScale(int total);
    int PositionFor(int done) const;

    double scale = 0.0;  // 100 / total, 0 for a total of 0
    int low = 0;
    int high = 0;
};

// Where the window goes: across, centred on the work area; down, centred
// over the parent (offsets halved with truncation toward zero).
PixelRect PlaceProgressWindow(const PixelRect& workArea, const PixelRect& parent, int width,
                              int height);

class CProgressDlg : public QDialog {
    Q_OBJECT
  public:
    // Without a parent, the window of the widget with the keyboard focus is
    // the parent. The window shows and activates itself only when no other
    // progress window is open; one created inside another operation's stays
    // hidden for its whole life.
    CProgressDlg(QWidget* parent, int total);
    ~CProgressDlg() override;
    CProgressDlg(const CProgressDlg&) = delete;
    CProgressDlg& operator=(const CProgressDlg&) = delete;

    // Moves the bar to `done` of the total steps, brings the window to the
    // top and lets pending paints through, so that the window draws while
    // its operation keeps this thread busy. Always 1 (go on). Call it on the
    // thread that owns the window.
    int Step(int done);

    int Position() const { return position_; }
    int RangeLow() const { return scale_.low; }
    int RangeHigh() const { return scale_.high; }

    // Progress windows open in this process.
    static int OpenCount() { return openCount_; }

    static constexpr int kWidthUnits = 166;
    static constexpr int kHeightUnits = 18;
    static constexpr int kRaisePeriodMs = 1000;

    // Esc and close requests call `onStopRequest` (one call at a time: a
    // request while it runs is dropped); the window stays until its
    // operation ends it. Without one they do nothing.
    void SetStopRequest(std::function<void()> onStopRequest) {
        onStopRequest_ = std::move(onStopRequest);
    }

    void reject() override { RequestStop(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void BringToTop();
    void RequestStop();

    ProgressScale scale_;
    int position_ = 0;
    QProgressBar* bar_ = nullptr;
    QTimer raiseTimer_;
    std::function<void()> onStopRequest_;
    bool requestingStop_ = false;

    inline static int openCount_ = 0;
};
