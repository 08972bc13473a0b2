// Draws the program's pictures into the resources folder:
//   pelmora-artwork RESOURCES_DIR
// Every picture is drawn from the palette below, so the look can change in
// one place. The output is committed; run this again after changing it.

#include "ButtonSheets.h"

#include <QColor>
#include <QDir>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>

namespace {

namespace palette {
const QColor kBackground(245, 250, 254);
const QColor kPanel(229, 234, 238);
const QColor kAccent(88, 123, 194);
const QColor kText(64, 64, 72);
const QColor kMuted(192, 192, 192);
}  // namespace palette

// The four arms of a move cross around (c, c), stopping where the arrowheads
// that reach `reach` from the centre begin.
QPainterPath MoveCross(double c, double reach, double head) {
    QPainterPath path;
    path.moveTo(c - reach + head, c);
    path.lineTo(c + reach - head, c);
    path.moveTo(c, c - reach + head);
    path.lineTo(c, c + reach - head);
    return path;
}

QPainterPath ArrowHeads(double c, double reach, double head) {
    const double wing = 4.0;
    QPainterPath heads;
    const auto addHead = [&](QPointF tip, QPointF back, QPointF side) {
        QPolygonF triangle{tip, back + side, back - side};
        heads.addPolygon(triangle);
        heads.closeSubpath();
    };
    addHead({c, c - reach}, {c, c - reach + head}, {wing, 0});
    addHead({c, c + reach}, {c, c + reach - head}, {wing, 0});
    addHead({c - reach, c}, {c - reach + head, c}, {0, wing});
    addHead({c + reach, c}, {c + reach - head, c}, {0, wing});
    return heads;
}

// Cursor 11105: a four-way move cross, dark strokes on a white halo so it
// shows on photos of any colour; the hot spot (16, 16) sits in an accent ring.
QImage MoveCursor() {
    QImage image(32, 32, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const double c = 16.0;
    const double reach = 13.0;
    const double head = 5.0;
    const QPainterPath cross = MoveCross(c, reach, head);
    const QPainterPath heads = ArrowHeads(c, reach, head);
    painter.setPen(QPen(Qt::white, 4.0, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    painter.setBrush(Qt::white);
    painter.drawPath(cross);
    painter.drawPath(heads);
    painter.drawEllipse(QPointF(c, c), 4.5, 4.5);
    painter.setPen(QPen(palette::kText, 2.0, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin));
    painter.setBrush(palette::kText);
    painter.drawPath(cross);
    painter.setPen(Qt::NoPen);
    painter.drawPath(heads);
    painter.setPen(QPen(palette::kAccent, 1.5));
    painter.setBrush(Qt::white);
    painter.drawEllipse(QPointF(c, c), 3.0, 3.0);
    painter.end();
    return image;
}

struct Picture {
    const char* path;  // relative to the resources folder
    std::function<QImage()> draw;
};

}  // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: pelmora-artwork RESOURCES_DIR\n");
        return 2;
    }
    const QDir root(QString::fromLocal8Bit(argv[1]));
    const Picture pictures[] = {
        {"cursors/11105.png", MoveCursor},
        {"bitmaps/131.png", [] { return CaptionStrip(true); }},
        {"bitmaps/158.png", [] { return CaptionStrip(false); }},
        {"bitmaps/132.png", [] { return RectangleButtonsSheet(SheetLanguage::kJapanese); }},
        {"bitmaps/157.png", [] { return RectangleButtonsSheet(SheetLanguage::kEnglish); }},
        {"bitmaps/133.png", [] { return CropButtonsSheet(SheetLanguage::kJapanese); }},
        {"bitmaps/155.png", [] { return CropButtonsSheet(SheetLanguage::kEnglish); }},
        {"bitmaps/134.png", [] { return RemoveButtonsSheet(SheetLanguage::kJapanese); }},
        {"bitmaps/156.png", [] { return RemoveButtonsSheet(SheetLanguage::kEnglish); }},
        {"bitmaps/135.png", StepButtonsSheet},
        {"bitmaps/136.png", CaptionIconsSheet},
        {"bitmaps/219.png", CornerMark},
    };
    int failures = 0;
    for (const Picture& picture : pictures) {
        const QString path = root.filePath(QString::fromLatin1(picture.path));
        QDir().mkpath(QFileInfo(path).absolutePath());
        if (!picture.draw().save(path, "PNG")) {
            std::fprintf(stderr, "pelmora-artwork: cannot write %s\n", qPrintable(path));
            ++failures;
        }
    }
    return failures == 0 ? 0 : 1;
}
