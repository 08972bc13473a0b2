// Opens the crop settings dialog on a generated photo, for looking at it:
//   pelmora-cropdlg-harness [--actual] [--percent] [--grab FILE.png]
// The photo is 640 x 480, 4:2:0 (a 16-pixel block grid), lossless mode is
// chosen and the rectangle starts at (120, 88), off that grid, so the region
// a lossless crop really writes shows as a dashed outline. With --grab the
// dialog is saved once painted and the program ends. The language follows
// the environment (LANG=ja_JP.UTF-8 for the Japanese template).

#include "croprects/CropRectDlg.h"
#include "engine/Img.h"
#include "images/ImgThumb.h"
#include "platform/PlatformUi.h"
#include "platform/ResourceIds.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QLinearGradient>
#include <QPainter>
#include <QRadialGradient>
#include <QTemporaryDir>
#include <QTimer>

#include <cstdio>

namespace {

// A landscape-like picture: sky, sun, hills and a lake.
QImage MakePhoto(int width, int height) {
    QImage photo(width, height, QImage::Format_RGB888);
    QPainter painter(&photo);
    painter.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, height * 0.6);
    sky.setColorAt(0, QColor(70, 120, 200));
    sky.setColorAt(1, QColor(200, 220, 240));
    painter.fillRect(photo.rect(), sky);
    QRadialGradient sun(width * 0.75, height * 0.22, height * 0.12);
    sun.setColorAt(0, QColor(255, 250, 220));
    sun.setColorAt(1, QColor(255, 230, 160, 0));
    painter.fillRect(photo.rect(), sun);
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor(60, 110, 60));
    painter.drawEllipse(QPointF(width * 0.2, height * 0.75), width * 0.5, height * 0.3);
    painter.setBrush(QColor(90, 140, 70));
    painter.drawEllipse(QPointF(width * 0.85, height * 0.8), width * 0.45, height * 0.28);
    painter.setBrush(QColor(80, 130, 170));
    painter.drawRect(QRectF(0, height * 0.82, width, height * 0.18));
    return photo;
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetUpPlatformUi();
    QCommandLineParser parser;
    parser.addOption({"actual", "Start in actual size."});
    parser.addOption({"percent", "Start with the rectangle in percent."});
    parser.addOption({"grab", "Save the dialog to FILE and end.", "FILE"});
    parser.process(app);

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("lake.jpg"));
    if (!CImg(MakePhoto(640, 480)).SaveJpeg(path, 90)) {
        std::fprintf(stderr, "cannot write the photo\n");
        return 1;
    }
    CCropRectDlg dialog(
        CCropRectDlg::LanguageTemplate(), [path] { return path; }, CropModeChoice{});
    dialog.Rect() = CCropRect();
    dialog.Rect().left = 120;
    dialog.Rect().top = 88;
    dialog.Rect().right = 520;
    dialog.Rect().bottom = 392;
    dialog.Rect().color = MakeColorRef(255, 64, 64);
    if (parser.isSet("percent")) {
        dialog.Rect().isPixel = 0;
        dialog.Rect().left = 18.75;
        dialog.Rect().top = 18.3333;
        dialog.Rect().right = 81.25;
        dialog.Rect().bottom = 81.6667;
    }
    dialog.show();
    if (parser.isSet("actual")) {
        auto* box = dialog.findChild<QAbstractButton*>(ControlName(control::kActualSize));
        if (box != nullptr)
            box->click();
    }
    if (!parser.isSet("grab"))
        return dialog.exec();
    const QString out = parser.value("grab");
    QTimer::singleShot(300, &dialog, [&dialog, out] {
        const bool saved = dialog.grab().save(out);
        std::fprintf(stderr, "%s %s\n", saved ? "saved" : "could not save", qPrintable(out));
        QApplication::exit(saved ? 0 : 1);
    });
    return QApplication::exec();
}
