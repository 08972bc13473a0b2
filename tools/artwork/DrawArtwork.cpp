// Draws the program's pictures into the resources folder:
//   pelmora-artwork RESOURCES_DIR
// Every picture is drawn from the palette below, so the look can change in
// one place. The output is committed; run this again after changing it.

#include "ButtonSheets.h"

#include <QColor>
#include <QDir>
#include <QFont>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPainterPath>

#include <cstdio>
#include <functional>
#include <initializer_list>

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

// An open path through the points in order.
QPainterPath Polyline(std::initializer_list<QPointF> points) {
    QPainterPath path;
    for (const QPointF& point : points) {
        if (path.elementCount() == 0) {
            path.moveTo(point);
        } else {
            path.lineTo(point);
        }
    }
    return path;
}

// The product mark: the two interlocking corners of a crop tool around a
// small picture, inside a `size` square at `origin`.
void DrawCropMark(QPainter& painter, QPointF origin, double size) {
    const double u = size / 36.0;
    const auto at = [&](double x, double y) {
        return QPointF(origin.x() + x * u, origin.y() + y * u);
    };
    const QRectF photo(at(10, 10), at(26, 26));
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::kPanel);
    painter.drawRect(photo);
    // A hill and a sun, so the square reads as a photo.
    QPainterPath hill =
        Polyline({at(10, 26), at(15, 18), at(19, 22), at(22, 19), at(26, 23), at(26, 26)});
    hill.closeSubpath();
    painter.setBrush(palette::kMuted.darker(115));
    painter.drawPath(hill);
    painter.setBrush(palette::kAccent.lighter(140));
    painter.drawEllipse(at(21, 14.5), 2.2 * u, 2.2 * u);
    QPen pen(palette::kAccent, 3.2 * u, Qt::SolidLine, Qt::FlatCap, Qt::MiterJoin);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    QPainterPath corners = Polyline({at(10, 2), at(10, 26), at(34, 26)});
    corners.addPath(Polyline({at(2, 10), at(26, 10), at(26, 34)}));
    painter.drawPath(corners);
}

// Bitmap 130 (380 x 50): the mark and the product name on the background
// colour, dark enough to read at half opacity, where the fade ends.
QImage Logo() {
    QImage image(380, 50, QImage::Format_RGB32);
    image.fill(palette::kBackground);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    DrawCropMark(painter, QPointF(14, 7), 36);
    QFont font(QStringLiteral("Liberation Sans"));
    font.setPixelSize(30);
    font.setWeight(QFont::Bold);
    painter.setFont(font);
    painter.setPen(palette::kText);
    const QRectF words(64, 0, 380 - 64 - 12, 50);
    painter.drawText(words, Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Pelmora"));
    // A thin accent rule along the bottom edge.
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette::kAccent);
    painter.drawRect(QRectF(0, 48, 380, 2));
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
        {"bitmaps/130.png", Logo},
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
        {"icons/pelmora.png", ProgramIcon},
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
