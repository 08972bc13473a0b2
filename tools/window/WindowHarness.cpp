// The main window on its own, for looking at it and for timing it (run by
// hand, on an X server such as xvfb-run so the hint windows are in the
// picture):
//   pelmora-window-harness --data DIR [--select ROWS] [--inactive]
//                          [--grab FILE.png] [--time-resize N] [--time-step N]
//                          [--tour FOLDER]
//                          [--crop-all OUT [--mode lossless|recompress] [--quality Q]
//                           [--questions-by-hand]]
//                          [--until-cached]
// --tour saves every window of the program into FOLDER (main window, crop
// settings dialog fitted and at actual size, quality dialog, progress
// window, the question Esc asks during a run, completion messages, close
// question), named by language.
// DIR holds IMG.DAT and RECT.DAT (they are written back at the end); ROWS is
// a comma-separated list of rows to select. The logo is skipped. --grab saves
// the window's screen area once everything has been painted; --time-resize
// sizes the window N times by one pixel steps and prints the median time of
// one step, paints included; --time-step steps to the next image N times
// and prints the median time until the preview shows a picture (the
// thumbnail, enlarged) and until the fitted decode has replaced it.
// --crop-all runs Crop all (command 201) into OUT as the button does, with
// OUT given to the folder question and every message box answered with OK,
// prints the run's summary and ends (1 when a pair was not written). It
// prints its process id first and the steady clock's seconds when the run
// starts and ends, for bench/reliability.sh. With --questions-by-hand a Yes/No
// question (the one Esc on the progress window asks) is left for a person or
// xdotool to answer.
// --until-cached ends once the list is shown and every thumbnail it made is
// written to the desktop's thumbnail cache, for bench/restart.sh.

#include "app/MainFrame.h"
#include "engine/ProgressDlg.h"
#include "engine/QtPictureReaders.h"
#include "images/ImgList.h"
#include "platform/BrowseForFolder.h"
#include "platform/Language.h"
#include "platform/PlatformUi.h"
#include "platform/ResourceIds.h"
#include "platform/WindowUtils.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMessageBox>
#include <QPixmap>
#include <QPointer>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>

#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <vector>

namespace {

double MedianResizeStepMs(CMainFrame& frame, int steps) {
    std::vector<double> times;
    const QRect start = frame.geometry();
    for (int i = 0; i < steps; ++i) {
        const int grow = i % 40 < 20 ? i % 20 : 20 - i % 20;
        QElapsedTimer timer;
        timer.start();
        frame.setGeometry(start.adjusted(0, 0, grow * 4, grow * 3));
        frame.repaint();
        PumpPaintMessages();
        times.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

// Saves the screen area of `window` as DIR/NAME-LANG.png.
void Shoot(QWidget* window, const QString& folder, const QString& name) {
    QApplication::processEvents();
    window->repaint();
    QApplication::processEvents();
    const QRect area = window->frameGeometry();
    const QPixmap shot =
        window->screen()->grabWindow(0, area.x(), area.y(), area.width(), area.height());
    const QString file =
        QStringLiteral("%1/%2-%3.png").arg(folder, name, IsJapaneseLanguage() ? "ja" : "en");
    if (!shot.save(file))
        std::fprintf(stderr, "cannot write %s\n", qPrintable(file));
}

// Acts on each modal window as it comes up, one action each, in order.
class ModalTour : public QObject {
  public:
    using Action = std::function<void(QWidget*)>;
    explicit ModalTour(std::vector<Action> actions) : actions_(std::move(actions)) {
        timer_.callOnTimeout([this] { Poll(); });
        timer_.start(300);
    }

  private:
    void Poll() {
        QWidget* modal = QApplication::activeModalWidget();
        if (modal == nullptr || next_ >= actions_.size() || modal->inherits("CProgressDlg"))
            return;
        // A window seen before is not new when it becomes active again.
        for (const QPointer<QWidget>& seen : seen_) {
            if (seen == modal)
                return;
        }
        seen_.emplace_back(modal);
        actions_[next_++](modal);
    }

    std::vector<Action> actions_;
    std::size_t next_ = 0;
    std::vector<QPointer<QWidget>> seen_;  // a box at a deleted one's address is new
    QTimer timer_;
};

// Every window of the program in turn, saved under `folder`: the main
// window, the crop settings dialog fitted and at actual size, the quality
// dialog, the folder chooser, the progress window during a run and the
// question Esc asks there (answered No), the completion message with and
// without failures, and the close question.
void Tour(CMainFrame& frame, const QString& folder) {
    CChildView& view = *frame.View();
    Shoot(&frame, folder, "main-window");
    const auto button = [](QWidget* window, int id) {
        return window->findChild<QAbstractButton*>(ControlName(id));
    };
    QTemporaryDir out;
    auto* tour = new ModalTour({
        [&](QWidget* dialog) {  // the crop settings dialog, fitted
            Shoot(dialog, folder, "crop-dialog-fitted");
            button(dialog, 1015)->click();  // actual size
            Shoot(dialog, folder, "crop-dialog-actual-size");
            QTimer::singleShot(0, [dialog, button] { button(dialog, 1025)->click(); });
        },
        [&](QWidget* quality) {
            Shoot(quality, folder, "quality-dialog");
            static_cast<QDialog*>(quality)->reject();
            QTimer::singleShot(300, [] {
                if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
                    dialog->reject();
            });
        },
        [&](QWidget* chooser) {  // the folder chooser, at the home folder
            Shoot(chooser, folder, "folder-chooser");
            chooser->findChild<QLineEdit*>(QString::fromLatin1(kBrowseFieldName))
                ->setText(out.path());
            static_cast<QDialog*>(chooser)->accept();
        },
        [&](QWidget* box) {
            Shoot(box, folder, "stop-question");
            static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
        },
        [&](QWidget* box) {
            Shoot(box, folder, "completion");
            static_cast<QMessageBox*>(box)->accept();
        },
        [&](QWidget* box) {
            Shoot(box, folder, "completion-with-failures");
            static_cast<QMessageBox*>(box)->accept();
        },
        [&](QWidget* box) {
            Shoot(box, folder, "close-question");
            static_cast<QMessageBox*>(box)->button(QMessageBox::No)->click();
        },
    });
    view.OnCommand(kCmdAddRect);
    bool shot = false;
    view.BatchRun().SetStepObserver([&](const CProgressDlg& progress, int done) {
        if (shot || done < 3)
            return;
        shot = true;
        auto* window = const_cast<CProgressDlg*>(&progress);
        Shoot(window, folder, "progress");
        // Esc from the event loop, as a key press arrives between steps.
        QTimer::singleShot(0, window, [window] {
            QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
            QApplication::sendEvent(window, &escape);
        });
    });
    view.BatchRun().SetJobs(1);
    view.OnCommand(kCmdCropAll);
    view.BatchRun().SetFolderChooser([&out](QWidget*, const QString&, QString& chosen) {
        chosen = out.path();
        return 1;
    });
    CCropRect off;
    off.left = off.top = 50000;
    off.right = off.bottom = 50100;
    view.AddCropRect(off);
    view.OnCommand(kCmdCropAll);
    view.RemoveCropRect(static_cast<int>(view.CropRects().size()) - 1);
    frame.close();
    delete tour;
}

struct StepTimes {
    double shown = 0;  // the command until the preview shows a picture
    double sharp = 0;  // until the fitted decode has replaced it
};

// Steps to the next image `steps` times, timing each step.
StepTimes MedianStepMs(CMainFrame& frame, int steps) {
    std::vector<double> shown;
    std::vector<double> sharp;
    CChildView& view = *frame.View();
    for (int i = 0; i < steps; ++i) {
        QElapsedTimer timer;
        timer.start();
        view.OnCommand(kCmdNext);
        view.Preview()->repaint();
        shown.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
        while (!view.PreviewImage().Settled())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        view.Preview()->repaint();
        sharp.push_back(static_cast<double>(timer.nsecsElapsed()) / 1e6);
    }
    std::sort(shown.begin(), shown.end());
    std::sort(sharp.begin(), sharp.end());
    return {shown[shown.size() / 2], sharp[sharp.size() / 2]};
}

double SteadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

// Answers every message box that shows with OK, printing its text; questions
// too unless `questionsByHand`.
void AnswerMessageBoxes(QObject* owner, bool questionsByHand) {
    auto* timer = new QTimer(owner);
    QObject::connect(timer, &QTimer::timeout, [questionsByHand] {
        for (QWidget* widget : QApplication::topLevelWidgets()) {
            auto* box = qobject_cast<QMessageBox*>(widget);
            if (box == nullptr || !box->isVisible())
                continue;
            if (questionsByHand && box->button(QMessageBox::Yes) != nullptr)
                continue;
            std::printf("message: %s\n", qPrintable(box->text().simplified()));
            std::fflush(stdout);
            box->button(QMessageBox::Ok) != nullptr ? box->button(QMessageBox::Ok)->click()
                                                    : box->reject();
        }
    });
    timer->start(50);
}

// Crop all into `folder`, as the button does; the exit code for the run.
int RunCropAll(CChildView& view, AppSettings& settings, const QString& folder, const QString& mode,
               int quality, bool questionsByHand) {
    settings.recompress = mode == QLatin1String("recompress");
    settings.jpegQuality = quality;
    view.BatchRun().SetFolderChooser([folder](QWidget*, const QString&, QString& chosen) {
        chosen = folder;
        return 1;
    });
    AnswerMessageBoxes(&view, questionsByHand);
    std::printf("crop-all: %d images, %d rectangles, %s, start %.3f\n", view.Images().Count(),
                static_cast<int>(view.CropRects().size()), qPrintable(mode), SteadySeconds());
    std::fflush(stdout);
    const double start = SteadySeconds();
    view.OnCommand(kCmdCropAll);
    const double end = SteadySeconds();
    const BatchRunSummary& summary = view.BatchRun().LastSummary();
    const QString notDone =
        summary.notDone > 0 ? QStringLiteral(", %1 not done").arg(summary.notDone) : QString();
    std::printf("crop-all: %d pairs, %d written, %d failed%s, %.1f s, end %.3f\n", summary.total,
                summary.written, summary.failed, qPrintable(notDone), end - start, end);
    std::fflush(stdout);
    return summary.started && summary.failed == 0 && summary.written == summary.total ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetUpPlatformUi();
    SetOtherPictureReader(QtPictureReaders());
    QCommandLineParser parser;
    parser.addOption({"data", "Folder of IMG.DAT and RECT.DAT.", "folder"});
    parser.addOption({"select", "Rows to select, comma-separated.", "rows"});
    parser.addOption({"inactive", "Draw the caption as for an inactive program."});
    parser.addOption({"grab", "Save a picture of the window and end.", "file"});
    parser.addOption({"time-resize", "Time this many resize steps and end.", "steps"});
    parser.addOption({"time-step", "Time this many steps to the next image and end.", "steps"});
    parser.addOption({"tour", "Save every window of the program into a folder and end.", "folder"});
    parser.addOption({"crop-all", "Crop every image into this folder and end.", "folder"});
    parser.addOption({"mode", "lossless (default) or recompress, for --crop-all.", "mode"});
    parser.addOption({"quality", "JPEG quality for --crop-all (default 90).", "quality"});
    parser.addOption({"questions-by-hand", "Leave Yes/No questions to the user, for --crop-all."});
    parser.addOption({"until-cached", "End once the thumbnail cache has the list's entries."});
    parser.process(app);
    if (parser.isSet("crop-all")) {
        const QString mode = parser.value("mode");
        if (!mode.isEmpty() && mode != QLatin1String("lossless") &&
            mode != QLatin1String("recompress")) {
            std::fprintf(stderr, "--mode: lossless or recompress, not %s\n", qPrintable(mode));
            return 2;
        }
        std::printf("pid %d\n", static_cast<int>(getpid()));
        std::fflush(stdout);
    }

    AppSettings settings;
    bool active = !parser.isSet("inactive");
    ViewEnvironment environment;
    environment.settings = &settings;
    environment.appActive = &active;
    environment.versionMS = PELMORA_VERSION_MAJOR << 16 | PELMORA_VERSION_MINOR;
    environment.versionLS = PELMORA_VERSION_PATCH << 16 | PELMORA_VERSION_TWEAK;
    environment.dataFolder = parser.value("data") + QLatin1Char('/');
    CMainFrame frame(environment, LogoTiming{{}, {}, {}});
    frame.move(0, 0);
    frame.show();
    QObject::connect(frame.View(), &CChildView::Loaded, [&] {
        if (parser.isSet("select"))
            frame.View()->ImageList()->clearSelection();
        for (const QString& row : parser.value("select").split(u',', Qt::SkipEmptyParts)) {
            frame.View()->ImageList()->SetSelected(row.toInt(), true);
        }
        active = !parser.isSet("inactive");
        frame.View()->update();
    });
    // The caption follows the activation the harness asked for.
    QObject::connect(qApp, &QGuiApplication::applicationStateChanged,
                     [&] { active = !parser.isSet("inactive"); });

    if (parser.isSet("time-resize")) {
        QTimer::singleShot(1500, [&] {
            std::printf("median resize step: %.2f ms\n",
                        MedianResizeStepMs(frame, parser.value("time-resize").toInt()));
            QApplication::exit(0);
        });
    }
    if (parser.isSet("time-step")) {
        QTimer::singleShot(1500, [&] {
            const StepTimes times = MedianStepMs(frame, parser.value("time-step").toInt());
            std::printf(
                "median step to the next image: %.2f ms to a picture, %.2f ms to the "
                "fitted decode\n",
                times.shown, times.sharp);
            QApplication::exit(0);
        });
    }
    if (parser.isSet("tour")) {
        QObject::connect(frame.View(), &CChildView::Loaded, [&] {
            QTimer::singleShot(1000, [&] {
                Tour(frame, parser.value("tour"));
                QApplication::exit(0);
            });
        });
    }
    if (parser.isSet("crop-all")) {
        QObject::connect(frame.View(), &CChildView::Loaded, &frame, [&] {
            // After the selection above; queued so that Loaded's senders have returned.
            QTimer::singleShot(0, &frame, [&] {
                const QString mode = parser.value("mode").isEmpty() ? QStringLiteral("lossless")
                                                                    : parser.value("mode");
                const int quality = parser.isSet("quality") ? parser.value("quality").toInt() : 90;
                QApplication::exit(RunCropAll(*frame.View(), settings, parser.value("crop-all"),
                                              mode, quality, parser.isSet("questions-by-hand")));
            });
        });
    }
    if (parser.isSet("until-cached")) {
        QObject::connect(frame.View(), &CChildView::Loaded, &frame, [&] {
            QTimer::singleShot(0, &frame, [&] {
                frame.View()->Images().StartThumbnailCacheWrites();
                frame.View()->Images().WaitForThumbnailCacheWrites();
                QApplication::exit(0);
            });
        });
    }
    const QString grab = parser.value("grab");
    if (!grab.isEmpty()) {
        QTimer::singleShot(1500, [&] {
            const QPixmap shot =
                frame.screen()->grabWindow(0, frame.x(), frame.y(), frame.width(), frame.height());
            const bool saved = shot.save(grab);
            if (!saved)
                std::fprintf(stderr, "cannot write %s\n", qPrintable(grab));
            QApplication::exit(saved ? 0 : 1);
        });
    }
    return QApplication::exec();
}
