#pragma once

// The program's top-level window: borderless, corners rounded, never smaller
// than 800 x 600, invisible while the start-up logo fades in and half out.
// It holds the main view over its whole area, sends it Esc, F1 and wheel
// turns meant for any of its children, and asks before the program closes.

#include "app/ChildView.h"

#include <QPointer>
#include <QWidget>

#include <chrono>

#include "images/LogoWnd.h"

// The logo's timing: fade-in steps, the hold, fade-out steps.
struct LogoTiming {
    std::chrono::milliseconds fadeInStep{50};
    std::chrono::milliseconds hold{1500};
    std::chrono::milliseconds fadeOutStep{25};
};

// The logo's opacity in percent at fade-out step i (0..20): 100 down to 50.
int LogoFadeOutPercent(int step);

class CMainFrame : public QWidget {
    Q_OBJECT
  public:
    CMainFrame(ViewEnvironment environment, LogoTiming timing = {});
    ~CMainFrame() override;

    CChildView* View() const { return view_; }
    CLogoWnd* Logo() const { return logo_; }
    bool LogoSequenceDone() const { return logoDone_; }

    static constexpr int kWidth = 984;
    static constexpr int kHeight = 728;

  Q_SIGNALS:
    void LogoSequenceEnded();

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void moveEvent(QMoveEvent* event) override;
    void focusInEvent(QFocusEvent* event) override;

  private:
    void CreateLogo();
    void RunLogoSequence();
    bool IsOwnChild(QObject* object) const;

    ViewEnvironment env_;
    LogoTiming timing_;
    QPointer<CLogoWnd> logo_;
    CChildView* view_ = nullptr;
    bool logoDone_ = false;
    bool* appActive_ = nullptr;
};
