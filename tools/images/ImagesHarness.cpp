// Shows the image collection's windows the way the main view lays them out,
// until the main view itself exists:
//   pelmora-images-harness [--select ROWS] [--grab FILE.png] [PATH...]
// PATHs are dropped onto the list (folders searched as a drop searches
// them); ROWS is a comma-separated list of rows to select. The two hints are
// shown while their areas are empty (the rectangles area always is here).
// With --grab the screen area of the window is saved once everything has
// been painted, and the program ends; run it on an X server (xvfb-run) so
// the hint windows, which are windows of their own, are in the picture.

#include "engine/DrawingUtils.h"
#include "images/HelpWnd.h"
#include "images/ImageCollection.h"
#include "images/ImageCollectionUi.h"
#include "images/ImgList.h"
#include "platform/Language.h"
#include "platform/PlatformUi.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>
#include <QWidget>

#include <cstdio>

namespace {

constexpr int kWidth = 984;
constexpr int kHeight = 728;

int Nearest(double value) { return static_cast<int>(value + 0.5); }

// The main view's list areas: images on the left, rectangles upper right.
const QRect kImagesArea(Nearest(kWidth * 0.0125), Nearest(kHeight / 15.0),
                        Nearest(kWidth * 0.45625), Nearest(kHeight * 13.0 / 15.0));
const QRect kRectanglesArea(Nearest(kWidth * 0.5125), Nearest(kHeight / 15.0),
                            Nearest(kWidth * 0.475), Nearest(kHeight * 0.24166666666666667));

class Backdrop : public QWidget {
protected:
    void paintEvent(QPaintEvent*) override {
        QPainter painter(this);
        painter.fillRect(rect(), QColor(245, 250, 254));
        painter.fillRect(kRectanglesArea, ToQColor(kImageRowNormalColor));
    }
};

// A hint of 150 x 80 centred on an area of the window, in screen coordinates.
void PlaceHint(CHelpWnd& hint, const QWidget& window, const QRect& area) {
    const QPoint centre = window.mapToGlobal(area.center());
    hint.setGeometry(centre.x() - 75, centre.y() - 40, 150, 80);
}

}  // namespace

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    SetUpPlatformUi();
    QCommandLineParser parser;
    parser.addOption({"select", "Rows to select, comma-separated.", "rows"});
    parser.addOption({"grab", "Save a picture of the window and end.", "file"});
    parser.addPositionalArgument("paths", "Files or folders to drop onto the list.");
    parser.process(app);

    Backdrop window;
    window.setWindowTitle(ApplicationName());
    window.setFixedSize(kWidth, kHeight);
    ImageCollection images;
    auto* list = new CImgList(&window);
    list->SetCollection(&images);
    list->setGeometry(kImagesArea);
    window.move(0, 0);
    window.show();

    const bool japanese = IsJapaneseLanguage();
    CHelpWnd imagesHint(japanese ? kImagesHintJapanese : kImagesHintEnglish, &window);
    CHelpWnd rectanglesHint(japanese ? kRectanglesHintJapanese : kRectanglesHintEnglish, &window);

    AddDroppedPaths(&window, images, parser.positionalArguments(), {}, list);
    for (const QString& row : parser.value("select").split(u',', Qt::SkipEmptyParts)) {
        list->SetSelected(row.toInt(), true);
    }
    PlaceHint(imagesHint, window, kImagesArea);
    PlaceHint(rectanglesHint, window, kRectanglesArea);
    imagesHint.setVisible(images.Count() == 0);
    rectanglesHint.show();
    QObject::connect(&images, &ImageCollection::CountChanged,
                     [&](int count) { imagesHint.setVisible(count == 0); });

    const QString grab = parser.value("grab");
    if (grab.isEmpty()) return QApplication::exec();
    QTimer::singleShot(1000, [&] {
        const QPixmap shot = window.screen()->grabWindow(0, window.x(), window.y(), kWidth, kHeight);
        const bool saved = shot.save(grab);
        if (!saved) std::fprintf(stderr, "cannot write %s\n", qPrintable(grab));
        QApplication::exit(saved ? 0 : 1);
    });
    return QApplication::exec();
}
