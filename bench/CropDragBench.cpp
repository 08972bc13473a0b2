// Times drag steps in the crop settings dialog on a 24-megapixel photo:
//   pelmora-cropdrag-bench [--steps N] [--width W --height H]
// For the fitted and the actual-size preview it opens the dialog (offscreen
// works), lets the first paint prepare the picture, presses the mouse inside
// the rectangle and moves it N times. One step is the mouse-move handler
// plus a synchronous repaint of the preview and, in actual size, the
// overview: what the user waits for between two pointer positions.

#include "croprects/CropRectDlg.h"
#include "engine/Img.h"
#include "images/ImgThumb.h"
#include "platform/PlatformUi.h"
#include "platform/ResourceIds.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QLinearGradient>
#include <QMouseEvent>
#include <QPainter>
#include <QTemporaryDir>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

QImage MakePhoto(int width, int height) {
    QImage photo(width, height, QImage::Format_RGB888);
    QPainter painter(&photo);
    QLinearGradient shade(0, 0, width, height);
    shade.setColorAt(0, QColor(70, 120, 200));
    shade.setColorAt(0.5, QColor(200, 220, 160));
    shade.setColorAt(1, QColor(60, 110, 60));
    painter.fillRect(photo.rect(), shade);
    painter.setPen(QPen(QColor(40, 40, 40), 3));
    for (int x = 0; x < width; x += 97)
        painter.drawLine(x, 0, width - x, height);
    return photo;
}

void SendMouse(QWidget* widget, QEvent::Type type, QPoint at, Qt::MouseButtons held) {
    const Qt::MouseButton button = type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton;
    QMouseEvent event(type, at, widget->mapToGlobal(at), button, held, Qt::NoModifier);
    QApplication::sendEvent(widget, &event);
}

double Percentile(std::vector<double> values, double p) {
    std::sort(values.begin(), values.end());
    return values[static_cast<std::size_t>(p * static_cast<double>(values.size() - 1) + 0.5)];
}

void Run(const CImgThumb& image, bool actualSize, int steps) {
    CCropRectDlg dialog(
        dialog::kCropSettings.english, [&image] { return image.path; }, CropModeChoice{});
    dialog.Rect().left = 0;
    dialog.Rect().top = 0;
    dialog.Rect().right = 2000;
    dialog.Rect().bottom = 1500;
    dialog.show();
    if (actualSize)
        dialog.findChild<QAbstractButton*>(ControlName(control::kActualSize))->click();
    QWidget* preview = dialog.findChild<QWidget*>(ControlName(control::kPreviewFrame));
    QWidget* navigator = dialog.findChild<QWidget*>(ControlName(control::kNavigatorFrame));
    QElapsedTimer wait;
    wait.start();
    while (!dialog.windowHandle()->isExposed() && wait.elapsed() < 5000) {
        QApplication::processEvents(QEventLoop::AllEvents, 20);
    }
    QApplication::processEvents();
    dialog.ResetPreview();
    QElapsedTimer prepare;
    prepare.start();
    preview->repaint();
    if (actualSize)
        navigator->repaint();
    const double prepareMs = static_cast<double>(prepare.nsecsElapsed()) / 1e6;

    const PixelRect at = dialog.Canvas().ImagePlacement();
    const QPoint start = preview->pos() + QPoint(at.left + 20, at.top + 20);
    SendMouse(&dialog, QEvent::MouseMove, start, Qt::NoButton);
    SendMouse(&dialog, QEvent::MouseButtonPress, start, Qt::LeftButton);
    std::vector<double> times;
    times.reserve(static_cast<std::size_t>(steps));
    for (int i = 0; i < steps; ++i) {
        const QPoint to = start + QPoint(i % 60, (i / 2) % 40);
        QElapsedTimer step;
        step.start();
        SendMouse(&dialog, QEvent::MouseMove, to, Qt::LeftButton);
        preview->repaint();
        if (actualSize)
            navigator->repaint();
        times.push_back(static_cast<double>(step.nsecsElapsed()) / 1e6);
    }
    SendMouse(&dialog, QEvent::MouseButtonRelease, start, Qt::NoButton);
    std::printf(
        "%-7s prepare %8.1f ms   step median %6.2f ms  p95 %6.2f ms  max %6.2f ms  (%d steps)\n",
        actualSize ? "actual" : "fitted", prepareMs, Percentile(times, 0.5),
        Percentile(times, 0.95), Percentile(times, 1.0), steps);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetUpPlatformUi();
    QCommandLineParser parser;
    parser.addOption({"steps", "Drag steps per scale.", "N", "300"});
    parser.addOption({"width", "Photo width.", "W", "6000"});
    parser.addOption({"height", "Photo height.", "H", "4000"});
    parser.process(app);
    const int width = parser.value("width").toInt();
    const int height = parser.value("height").toInt();

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("photo.jpg"));
    if (!CImg(MakePhoto(width, height)).SaveJpeg(path, 90)) {
        std::fprintf(stderr, "cannot write the photo\n");
        return 1;
    }
    const CImgThumb image(path, nullptr, width, height);
    std::printf("%d x %d photo (%.1f MP)\n", width, height, width * height / 1e6);
    for (const bool actualSize : {false, true})
        Run(image, actualSize, parser.value("steps").toInt());
    return 0;
}
