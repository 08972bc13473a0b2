#include "app/MainFrame.h"

#include "images/HelpWnd.h"
#include "images/LogoWnd.h"
#include "platform/Language.h"
#include "platform/MessageBoxes.h"
#include "platform/StringTable.h"
#include "platform/WindowUtils.h"
#include "platform/WorkArea.h"

#include <QApplication>
#include <QCloseEvent>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QThread>

#include <cmath>

namespace {

// Waits while letting paints through, as the start-up sequence does.
void WaitPainting(std::chrono::milliseconds duration) {
    PumpPaintMessages();
    QThread::msleep(static_cast<unsigned long>(duration.count()));
}

}  // namespace

int LogoFadeOutPercent(int step) {
    return static_cast<int>(100.0 - 2.5 * step + 0.5);
}

CMainFrame::CMainFrame(ViewEnvironment environment, LogoTiming timing)
    : QWidget(nullptr, Qt::Window | Qt::FramelessWindowHint),
      env_(std::move(environment)),
      timing_(timing) {
    setWindowTitle(ApplicationName());
    setAttribute(Qt::WA_DeleteOnClose, false);
    setMinimumSize(kMinimumFrameSize);
    const PixelRect place = CenterInWorkArea(kWidth, kHeight);
    setGeometry(place.left, place.top, kWidth, kHeight);
    setWindowOpacity(0.0);
    QMetaObject::invokeMethod(this, &CMainFrame::RunLogoSequence, Qt::QueuedConnection);
    CreateLogo();
    view_ = new CChildView(env_, this);
    view_->setGeometry(rect());
    qApp->installEventFilter(this);
    connect(qApp, &QGuiApplication::applicationStateChanged, this, [this](Qt::ApplicationState s) {
        if (env_.appActive != nullptr)
            *env_.appActive = s == Qt::ApplicationActive;
        view_->update();
    });
}

CMainFrame::~CMainFrame() {
    qApp->removeEventFilter(this);
    delete logo_.data();
}

void CMainFrame::CreateLogo() {
    logo_ = new CLogoWnd(this);
    logo_->SetPicture(LoadLogoPicture());
    const PixelRect place = CenterInWorkArea(kLogoWidth, kLogoHeight);
    logo_->setGeometry(place.left, place.top, kLogoWidth, kLogoHeight);
    logo_->setWindowOpacity(0.0);
    logo_->show();
    logo_->repaint();
}

void CMainFrame::RunLogoSequence() {
    if (logo_ != nullptr) {
        logo_->repaint();
        for (int percent = 0; percent <= 100; percent += 5) {
            logo_->setWindowOpacity(percent / 100.0);
            WaitPainting(timing_.fadeInStep);
        }
        WaitPainting(timing_.hold);
        PumpPaintMessages();
        for (int i = 0; i <= 20; ++i) {
            logo_->setWindowOpacity(LogoFadeOutPercent(i) / 100.0);
            WaitPainting(timing_.fadeOutStep);
        }
    }
    setWindowOpacity(1.0);
    delete logo_.data();
    logoDone_ = true;
    view_->PlaceHints();
    Q_EMIT LogoSequenceEnded();
    // Started here rather than queued beside the sequence: its paint pumps
    // would run a queued step in the middle of the logo.
    view_->AfterCreate();
}

bool CMainFrame::IsOwnChild(QObject* object) const {
    auto* widget = qobject_cast<QWidget*>(object);
    if (widget == nullptr || widget == view_ || widget == this)
        return false;
    // Dialogs and message boxes are windows of their own and keep their keys.
    return widget->window() == this;
}

bool CMainFrame::eventFilter(QObject* watched, QEvent* event) {
    const QEvent::Type type = event->type();
    if (type != QEvent::KeyPress && type != QEvent::Wheel)
        return false;
    if (!IsOwnChild(watched))
        return false;
    if (type == QEvent::KeyPress) {
        const int key = static_cast<QKeyEvent*>(event)->key();
        if (key != Qt::Key_Escape && key != Qt::Key_F1)
            return false;
        QKeyEvent copy(QEvent::KeyPress, key, static_cast<QKeyEvent*>(event)->modifiers());
        QCoreApplication::sendEvent(view_, &copy);
        return true;
    }
    auto* wheel = static_cast<QWheelEvent*>(event);
    auto* source = static_cast<QWidget*>(watched);
    const QPointF at = view_->mapFromGlobal(source->mapToGlobal(wheel->position()));
    QWheelEvent copy(at, wheel->globalPosition(), wheel->pixelDelta(), wheel->angleDelta(),
                     wheel->buttons(), wheel->modifiers(), wheel->phase(), wheel->inverted());
    QCoreApplication::sendEvent(view_, &copy);
    return true;
}

void CMainFrame::closeEvent(QCloseEvent* event) {
    if (!AskQuestion(this, LangString(text::kConfirmExit))) {
        event->ignore();
        return;
    }
    view_->SaveDataFiles();
    event->accept();
}

void CMainFrame::resizeEvent(QResizeEvent*) {
    setMask(RoundedRectRegion(width(), height(), 4, 4));
    view_->setGeometry(0, 0, width(), height());
}

void CMainFrame::moveEvent(QMoveEvent*) {
    if (view_ != nullptr)
        view_->PlaceHints();
}

void CMainFrame::focusInEvent(QFocusEvent*) {
    view_->setFocus();
}
